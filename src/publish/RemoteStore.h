#pragma once

#include <QString>

#include <atomic>
#include <functional>

class QIODevice;

// One publishing target's server, seen as a folder of files addressed by
// their path under the target. Implementations: SFTP, S3 and FTP(S).
class RemoteStore {
public:
    // What went wrong, in the server's or the system's words. A transient
    // failure (a dropped connection, a busy server) is worth another try;
    // a refusal (bad credentials, an unknown host key) is not.
    struct Failure {
        QString text;
        bool transient = false;
        explicit operator bool() const { return !text.isEmpty(); }
    };

    // Bytes of the current upload sent so far.
    using Progress = std::function<void(qint64 sent)>;

    // What an upload sends besides the bytes; used by stores that keep it.
    struct Upload {
        QString relative;
        qint64 size = 0;
        QString contentType;
        QString cacheControl;
        // A cut upload may go on from where it stopped (media, not the feed).
        bool resumable = false;
    };

    virtual ~RemoteStore() = default;

    // Connects and logs in, or reconnects after a failure.
    virtual Failure open() = 0;
    // The size of the file at `relative`, or -1 when there is none.
    virtual Failure size(const QString &relative, qint64 *bytes) = 0;
    // Puts `upload.size` bytes from `data` at `upload.relative` so that a
    // reader sees the old file or the whole new one, never a part: a
    // temporary name beside it, its size checked, then a rename (or a PUT,
    // which is atomic by itself). Stops early when *cancel becomes true.
    virtual Failure put(QIODevice &data, const Upload &upload, const Progress &progress,
                        const std::atomic<bool> &cancel) = 0;

protected:
    // The server holds another size than was sent, after `step` ("upload",
    // "rename"): worth another try.
    static Failure sizeMismatch(const Upload &upload, qint64 stored, const char *step) {
        return {QStringLiteral("%1: the server holds %2 bytes after the %3, not %4")
                    .arg(upload.relative)
                    .arg(stored)
                    .arg(QLatin1StringView(step))
                    .arg(upload.size),
                true};
    }
};
