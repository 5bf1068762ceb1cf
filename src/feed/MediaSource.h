#pragma once

#include <QByteArray>
#include <QMimeType>
#include <QString>

// One audio or video file, opened once for everything read from it: its
// kind (a regular file, or refused), its type by content, its tags and
// duration, and its size. Reading by name again and again let a FIFO block,
// a device feed TagLib without end, and a file change between the looks.
class MediaSource {
public:
    // How much TagLib may read, and for how long, before it is stopped.
    struct Budget {
        qint64 bytes = qint64(64) << 20;
        qint64 milliseconds = 5000;
    };

    struct Tags {
        QString title;
        qint64 milliseconds = -1; // -1: no duration found
        bool cutShort = false;    // the budget ran out before TagLib was done
    };

    // path as the file system spells it (QFile::encodeName), so a name that
    // is not UTF-8 still names its file.
    explicit MediaSource(const QByteArray &path);
    MediaSource(const QByteArray &path, Budget budget);
    ~MediaSource();
    MediaSource(const MediaSource &) = delete;
    MediaSource &operator=(const MediaSource &) = delete;

    // Why the file cannot become an episode: the system's reason it could not
    // be opened, not a regular file, empty, or content that is not audio or
    // video. Empty when it can.
    const QString &error() const { return m_error; }
    bool isMedia() const { return m_error.isEmpty(); }
    // The file was read, and is empty or its content is not audio or video.
    bool contentRefused() const { return m_contentRefused; }

    const QByteArray &path() const { return m_path; }
    const Budget &budget() const { return m_budget; }
    // The type its content shows; invalid when the file could not be read.
    const QMimeType &mimeType() const { return m_mime; }
    // The size when it was opened.
    qint64 size() const { return m_size; }

    // The title tag and duration, read through TagLib within the budget.
    Tags readTags() const;

    // Empty when the open file is as it was when opened; otherwise why it
    // cannot be trusted (emptied, grown, deleted while it was read).
    QString changeSinceOpened() const;

private:
    void open();
    void judgeContent();

    QByteArray m_path;
    Budget m_budget;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_modified = 0;
    bool m_linked = true;
    bool m_contentRefused = false;
    QMimeType m_mime;
    QString m_error;
};
