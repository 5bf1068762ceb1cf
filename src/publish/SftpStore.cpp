#include "SftpStore.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include <fcntl.h>

namespace {
constexpr qsizetype Chunk = 32 * 1024;
// How much of a cut upload's end is compared with the local file before
// going on from there.
constexpr qint64 ResumeCheck = 64 * 1024;
constexpr quint32 RenameRequestId = 0x7ffffff0;

QByteArray temporaryPath(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return path.left(slash + 1) + '.' + path.mid(slash + 1) + ".brindlewood-part";
}

void appendString(QByteArray &packet, const QByteArray &text) {
    char length[4];
    qToBigEndian(quint32(text.size()), length);
    packet.append(length, 4);
    packet.append(text);
}

QString statusText(int code) {
    switch (code) {
    case SSH_FX_NO_SUCH_FILE:
        return QStringLiteral("No such file");
    case SSH_FX_PERMISSION_DENIED:
        return QStringLiteral("Permission denied");
    case SSH_FX_NO_CONNECTION:
    case SSH_FX_CONNECTION_LOST:
        return QStringLiteral("Connection lost");
    case SSH_FX_FILE_ALREADY_EXISTS:
        return QStringLiteral("File already exists");
    case SSH_FX_WRITE_PROTECT:
        return QStringLiteral("The file system is read-only");
    case SSH_FX_NO_MEDIA:
        return QStringLiteral("No space on the server");
    default:
        return QStringLiteral("Failure");
    }
}
} // namespace

SftpStore::SftpStore(const PublishTarget &target, const PublishSettings &settings,
                     TrustHost trustHost)
    : m_target(target)
    , m_settings(settings)
    , m_trustHost(std::move(trustHost)) {}

SftpStore::~SftpStore() {
    close();
}

void SftpStore::close() {
    if (m_sftp != nullptr)
        sftp_free(m_sftp);
    m_sftp = nullptr;
    if (m_session != nullptr) {
        if (ssh_is_connected(m_session))
            ssh_disconnect(m_session);
        ssh_free(m_session);
    }
    m_session = nullptr;
}

QByteArray SftpStore::pathOf(const QString &relative) const {
    return m_target.remotePath(relative).toUtf8();
}

RemoteStore::Failure SftpStore::sftpFailure(const QString &what) const {
    const bool connected = m_session != nullptr && ssh_is_connected(m_session);
    const int code = m_sftp != nullptr ? sftp_get_error(m_sftp) : SSH_FX_FAILURE;
    QString text = connected ? statusText(code) : QStringLiteral("Connection lost");
    const QString detail = QString::fromUtf8(ssh_get_error(m_session)).trimmed();
    if (!detail.isEmpty() && !detail.contains(text, Qt::CaseInsensitive))
        text += QStringLiteral(" (%1)").arg(detail);
    return {QStringLiteral("%1: %2").arg(what, text),
            !connected || code == SSH_FX_CONNECTION_LOST || code == SSH_FX_NO_CONNECTION};
}

RemoteStore::Failure SftpStore::open() {
    close();
    m_session = ssh_new();
    if (m_session == nullptr)
        return {QStringLiteral("cannot start an SSH session"), false};
    const QByteArray host = m_target.host.toUtf8();
    const QByteArray user = m_target.user.toUtf8();
    ssh_options_set(m_session, SSH_OPTIONS_HOST, host.constData());
    ssh_options_set(m_session, SSH_OPTIONS_USER, user.constData());
    if (m_target.port != 0) {
        const unsigned int port = unsigned(m_target.port);
        ssh_options_set(m_session, SSH_OPTIONS_PORT, &port);
    }
    const long timeout = 30;
    ssh_options_set(m_session, SSH_OPTIONS_TIMEOUT, &timeout);
    // Each write waits for its reply; with Nagle's algorithm and delayed
    // acknowledgements every one of them would also wait some 40 ms.
    const int noDelay = 1;
    ssh_options_set(m_session, SSH_OPTIONS_NODELAY, &noDelay);
    if (!m_settings.knownHostsFile.isEmpty()) {
        const QByteArray file = QFile::encodeName(m_settings.knownHostsFile);
        ssh_options_set(m_session, SSH_OPTIONS_KNOWNHOSTS, file.constData());
    }
    if (ssh_connect(m_session) != SSH_OK) {
        const Failure failure{QStringLiteral("%1: %2").arg(
                                  m_target.text(), QString::fromUtf8(ssh_get_error(m_session))),
                              true};
        close();
        return failure;
    }
    Failure failure = checkHostKey();
    if (!failure)
        failure = authenticate();
    if (!failure) {
        m_sftp = sftp_new(m_session);
        if (m_sftp == nullptr || sftp_init(m_sftp) != SSH_OK)
            failure = {QStringLiteral("%1: the server offers no SFTP: %2")
                           .arg(m_target.text(), QString::fromUtf8(ssh_get_error(m_session))),
                       false};
    }
    if (failure) {
        close();
        return failure;
    }
    m_posixRename = sftp_extension_supported(m_sftp, "posix-rename@openssh.com", "1") != 0;
    return {};
}

RemoteStore::Failure SftpStore::checkHostKey() {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(m_session, &key) != SSH_OK)
        return {QStringLiteral("%1: the server sent no host key").arg(m_target.host), false};
    unsigned char *hash = nullptr;
    size_t hashLength = 0;
    QString fingerprint;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLength) == SSH_OK) {
        char *text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hashLength);
        fingerprint = QString::fromUtf8(text);
        ssh_string_free_char(text);
        ssh_clean_pubkey_hash(&hash);
    }
    ssh_key_free(key);
    const QString knownHosts = m_settings.knownHostsFile.isEmpty()
                                   ? QStringLiteral("~/.ssh/known_hosts")
                                   : QDir::toNativeSeparators(m_settings.knownHostsFile);
    switch (ssh_session_is_known_server(m_session)) {
    case SSH_KNOWN_HOSTS_OK:
        return {};
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        return {QStringLiteral("WARNING: the host key of %1 has CHANGED; it is now %2. Someone may "
                               "be intercepting the connection, or the server was reinstalled. "
                               "Nothing was sent. If the change is expected, remove the old key "
                               "from %3 and check the new one with the server's administrator.")
                    .arg(m_target.host, fingerprint, knownHosts),
                false};
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        if (m_trustHost && m_trustHost(m_target.host, fingerprint)) {
            if (ssh_session_update_known_hosts(m_session) != SSH_OK)
                return {QStringLiteral("%1: cannot add the host key to %2: %3")
                            .arg(m_target.host, knownHosts,
                                 QString::fromUtf8(ssh_get_error(m_session))),
                        false};
            return {};
        }
        return {QStringLiteral("the host key of %1 is not known: %2 is not in %3. Check the "
                               "fingerprint with the server's administrator and add the key "
                               "(connect once with ssh, or give --known-hosts FILE).")
                    .arg(m_target.host, fingerprint, knownHosts),
                false};
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    return {QStringLiteral("%1: cannot check the host key: %2")
                .arg(m_target.host, QString::fromUtf8(ssh_get_error(m_session))),
            false};
}

RemoteStore::Failure SftpStore::authenticate() {
    const QByteArray passphrase = m_settings.keyPassphrase.toUtf8();
    const char *secret = passphrase.isEmpty() ? nullptr : passphrase.constData();
    int result = SSH_AUTH_DENIED;
    if (!m_settings.identityFile.isEmpty()) {
        ssh_key key = nullptr;
        const QByteArray file = QFile::encodeName(m_settings.identityFile);
        if (ssh_pki_import_privkey_file(file.constData(), secret, nullptr, nullptr, &key) != SSH_OK)
            return {QStringLiteral("cannot read the key %1: it is missing, not a private key, "
                                   "or needs a passphrase (add it to ssh-agent)")
                        .arg(QDir::toNativeSeparators(m_settings.identityFile)),
                    false};
        result = ssh_userauth_publickey(m_session, nullptr, key);
        ssh_key_free(key);
    } else {
        result = ssh_userauth_publickey_auto(m_session, nullptr, secret);
    }
    if (result == SSH_AUTH_SUCCESS)
        return {};
    if (result == SSH_AUTH_ERROR)
        return {QStringLiteral("%1: %2").arg(m_target.text(),
                                             QString::fromUtf8(ssh_get_error(m_session))),
                !ssh_is_connected(m_session)};
    return {QStringLiteral("%1@%2 refused the login: no key offered was accepted (%3)")
                .arg(m_target.user, m_target.host,
                     m_settings.identityFile.isEmpty()
                         ? QStringLiteral("ssh-agent and ~/.ssh/id_*")
                         : QDir::toNativeSeparators(m_settings.identityFile)),
            false};
}

RemoteStore::Failure SftpStore::stat(const QByteArray &path, qint64 *bytes) {
    sftp_attributes attributes = sftp_stat(m_sftp, path.constData());
    if (attributes == nullptr) {
        if (sftp_get_error(m_sftp) == SSH_FX_NO_SUCH_FILE && ssh_is_connected(m_session)) {
            *bytes = -1;
            return {};
        }
        return sftpFailure(QString::fromUtf8(path));
    }
    *bytes = attributes->type == SSH_FILEXFER_TYPE_REGULAR ? qint64(attributes->size) : -2;
    sftp_attributes_free(attributes);
    if (*bytes == -2)
        return {
            QStringLiteral("%1: is not a regular file on the server").arg(QString::fromUtf8(path)),
            false};
    return {};
}

RemoteStore::Failure SftpStore::size(const QString &relative, qint64 *bytes) {
    if (m_sftp == nullptr)
        return {QStringLiteral("not connected"), true};
    return stat(pathOf(relative), bytes);
}

RemoteStore::Failure SftpStore::makeFolders(const QByteArray &path) {
    const QList<QByteArray> parts = path.split('/');
    QByteArray folder = path.startsWith('/') ? QByteArrayLiteral("/") : QByteArray();
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty())
            continue;
        folder += parts[i];
        sftp_attributes attributes = sftp_stat(m_sftp, folder.constData());
        if (attributes != nullptr) {
            sftp_attributes_free(attributes);
        } else if (sftp_get_error(m_sftp) != SSH_FX_NO_SUCH_FILE ||
                   sftp_mkdir(m_sftp, folder.constData(), 0755) != SSH_OK) {
            return sftpFailure(QString::fromUtf8(folder));
        }
        folder += '/';
    }
    return {};
}

RemoteStore::Failure SftpStore::posixRename(const QByteArray &from, const QByteArray &to) {
    // libssh 0.10 has no call for this extension, so the request goes out
    // on the SFTP channel as it is; nothing else is waiting for a reply.
    QByteArray body;
    body.append(char(SSH_FXP_EXTENDED));
    char id[4];
    qToBigEndian(RenameRequestId, id);
    body.append(id, 4);
    appendString(body, QByteArrayLiteral("posix-rename@openssh.com"));
    appendString(body, from);
    appendString(body, to);
    QByteArray packet(4, '\0');
    qToBigEndian(quint32(body.size()), packet.data());
    packet += body;
    const QString what = QString::fromUtf8(to);
    for (qsizetype done = 0; done < packet.size();) {
        const int written = ssh_channel_write(m_sftp->channel, packet.constData() + done,
                                              uint32_t(packet.size() - done));
        if (written <= 0)
            return {QStringLiteral("%1: Connection lost").arg(what), true};
        done += written;
    }
    const auto readExactly = [&](char *buffer, quint32 count) {
        for (quint32 done = 0; done < count;) {
            const int read = ssh_channel_read(m_sftp->channel, buffer + done, count - done, 0);
            if (read <= 0)
                return false;
            done += quint32(read);
        }
        return true;
    };
    char header[4];
    if (!readExactly(header, 4))
        return {QStringLiteral("%1: Connection lost").arg(what), true};
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length < 9 || length > 256 * 1024)
        return {QStringLiteral("%1: the server's reply to the rename is malformed").arg(what),
                false};
    QByteArray reply(qsizetype(length), '\0');
    if (!readExactly(reply.data(), length))
        return {QStringLiteral("%1: Connection lost").arg(what), true};
    const auto type = uchar(reply[0]);
    const quint32 replyId = qFromBigEndian<quint32>(reply.constData() + 1);
    const quint32 status = qFromBigEndian<quint32>(reply.constData() + 5);
    if (type != SSH_FXP_STATUS || replyId != RenameRequestId)
        return {QStringLiteral("%1: the server's reply to the rename is malformed").arg(what),
                false};
    if (status == SSH_FX_OK)
        return {};
    QString message = statusText(int(status));
    if (length >= 13) {
        const quint32 textLength = qFromBigEndian<quint32>(reply.constData() + 9);
        if (13 + qint64(textLength) <= qint64(length) && textLength > 0)
            message = QString::fromUtf8(reply.mid(13, textLength));
    }
    return {QStringLiteral("%1: %2").arg(what, message), false};
}

RemoteStore::Failure SftpStore::rename(const QByteArray &from, const QByteArray &to) {
    if (m_posixRename)
        return posixRename(from, to);
    // Plain SFTP rename will not replace a file: without the extension the
    // old one goes first, and for a moment there is none (never a torn one).
    if (sftp_unlink(m_sftp, to.constData()) != SSH_OK &&
        sftp_get_error(m_sftp) != SSH_FX_NO_SUCH_FILE)
        return sftpFailure(QString::fromUtf8(to));
    if (sftp_rename(m_sftp, from.constData(), to.constData()) != SSH_OK)
        return sftpFailure(QString::fromUtf8(to));
    return {};
}

qint64 SftpStore::resumeOffset(QIODevice &data, const QByteArray &temporary, qint64 size) {
    qint64 have = -1;
    if (stat(temporary, &have) || have <= 0 || have >= size)
        return 0;
    // Only a part that ends as the local file does at that point goes on.
    const qint64 start = std::max<qint64>(0, have - ResumeCheck);
    sftp_file file = sftp_open(m_sftp, temporary.constData(), O_RDONLY, 0);
    if (file == nullptr)
        return 0;
    QByteArray remote(have - start, '\0');
    bool same = sftp_seek64(file, quint64(start)) == 0;
    for (qsizetype done = 0; same && done < remote.size();) {
        const ssize_t read = sftp_read(file, remote.data() + done, size_t(remote.size() - done));
        same = read > 0;
        done += read > 0 ? read : 0;
    }
    sftp_close(file);
    if (!same || !data.seek(start) || data.read(have - start) != remote)
        return 0;
    return have;
}

RemoteStore::Failure SftpStore::put(QIODevice &data, const Upload &upload, const Progress &progress,
                                    const std::atomic<bool> &cancel) {
    if (m_sftp == nullptr)
        return {QStringLiteral("not connected"), true};
    const QByteArray target = pathOf(upload.relative);
    const QByteArray temporary = temporaryPath(target);
    if (Failure failure = makeFolders(target))
        return failure;

    const qint64 offset = upload.resumable ? resumeOffset(data, temporary, upload.size) : 0;
    sftp_file file = sftp_open(m_sftp, temporary.constData(),
                               offset > 0 ? O_WRONLY : O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file == nullptr)
        return sftpFailure(upload.relative);
    if (offset > 0 && (sftp_seek64(file, quint64(offset)) != 0 || !data.seek(offset))) {
        sftp_close(file);
        return {QStringLiteral("%1: cannot go on from byte %2").arg(upload.relative).arg(offset),
                false};
    }
    if (!upload.resumable || offset == 0)
        data.seek(0);
    qint64 sent = offset;
    QByteArray buffer(Chunk, '\0');
    while (sent < upload.size) {
        if (cancel.load()) {
            sftp_close(file);
            return {QStringLiteral("cancelled"), false};
        }
        const qint64 read = data.read(buffer.data(), std::min<qint64>(Chunk, upload.size - sent));
        if (read <= 0) {
            sftp_close(file);
            return {QStringLiteral("%1: %2").arg(upload.relative,
                                                 read < 0 ? data.errorString()
                                                          : QStringLiteral("the file got shorter")),
                    false};
        }
        for (qint64 done = 0; done < read;) {
            const ssize_t written =
                sftp_write(file, buffer.constData() + done, size_t(read - done));
            if (written <= 0) {
                const Failure failure = sftpFailure(upload.relative);
                sftp_close(file);
                return failure;
            }
            done += written;
        }
        sent += read;
        if (progress)
            progress(sent);
    }
    if (sftp_close(file) != SSH_OK)
        return sftpFailure(upload.relative);

    qint64 stored = -1;
    if (Failure failure = stat(temporary, &stored))
        return failure;
    if (stored != upload.size) {
        sftp_unlink(m_sftp, temporary.constData());
        return sizeMismatch(upload, stored, "upload");
    }
    if (Failure failure = rename(temporary, target))
        return failure;
    if (Failure failure = stat(target, &stored))
        return failure;
    if (stored != upload.size)
        return sizeMismatch(upload, stored, "rename");
    return {};
}
