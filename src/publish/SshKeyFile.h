#pragma once

#include <QString>
#include <QStringList>

// The SSH private keys a login may use without ssh-agent, and whether one
// needs its passphrase before libssh can sign with it.
namespace SshKeyFile {
// True when `path` is a private key protected by a passphrase.
bool needsPassphrase(const QString &path);
// The usual ~/.ssh/id_* keys that exist, in the order libssh tries them.
QStringList defaultKeys();
} // namespace SshKeyFile
