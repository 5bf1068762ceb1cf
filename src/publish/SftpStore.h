#pragma once

#include "PublishSettings.h"
#include "PublishTarget.h"
#include "RemoteStore.h"

#include <functional>
#include <libssh/libssh.h>
#include <libssh/sftp.h>

// An SSH server's SFTP subsystem through libssh. The host key must be in
// known_hosts; a changed one is always refused. Uploads go to a hidden name
// beside the file and are renamed over it, with OpenSSH's POSIX rename where
// the server offers it so that the old file is replaced in one step.
class SftpStore : public RemoteStore {
public:
    // Asked about a host key that known_hosts does not hold, with its SHA256
    // fingerprint; true adds it there. Without one, such a host is refused.
    using TrustHost = std::function<bool(const QString &host, const QString &fingerprint)>;

    SftpStore(const PublishTarget &target, const PublishSettings &settings,
              TrustHost trustHost = {});
    ~SftpStore() override;

    Failure open() override;
    Failure size(const QString &relative, qint64 *bytes) override;
    Failure put(QIODevice &data, const Upload &upload, const Progress &progress,
                const std::atomic<bool> &cancel) override;

private:
    void close();
    Failure checkHostKey();
    Failure authenticate();
    Failure sftpFailure(const QString &what) const;
    Failure stat(const QByteArray &path, qint64 *bytes);
    Failure makeFolders(const QByteArray &path);
    Failure rename(const QByteArray &from, const QByteArray &to);
    Failure posixRename(const QByteArray &from, const QByteArray &to);
    qint64 resumeOffset(QIODevice &data, const QByteArray &temporary, qint64 size);
    QByteArray pathOf(const QString &relative) const;

    PublishTarget m_target;
    PublishSettings m_settings;
    TrustHost m_trustHost;
    ssh_session m_session = nullptr;
    sftp_session m_sftp = nullptr;
    bool m_posixRename = false;
};
