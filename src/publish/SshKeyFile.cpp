#include "SshKeyFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libssh/libssh.h>

namespace {
// libssh asks for the passphrase only of an encrypted key: being asked is
// the answer, and the import is then refused.
int noteAsked(const char *, char *, size_t, int, int, void *userdata) {
    *static_cast<bool *>(userdata) = true;
    return -1;
}
} // namespace

namespace SshKeyFile {
bool needsPassphrase(const QString &path) {
    if (!QFileInfo(path).isFile())
        return false;
    bool asked = false;
    ssh_key key = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (ssh_pki_import_privkey_file(file.constData(), nullptr, noteAsked, &asked, &key) == SSH_OK)
        ssh_key_free(key);
    return asked;
}

QStringList defaultKeys() {
    QStringList keys;
    const QDir ssh(QDir::homePath() + QStringLiteral("/.ssh"));
    for (const QString &name :
         {QStringLiteral("id_ed25519"), QStringLiteral("id_ecdsa"), QStringLiteral("id_rsa")}) {
        if (QFileInfo(ssh.filePath(name)).isFile())
            keys.append(ssh.filePath(name));
    }
    return keys;
}
} // namespace SshKeyFile
