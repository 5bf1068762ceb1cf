#pragma once

#include "LoopbackServer.h"

#include <csignal>

// OpenSSH's sshd with a fresh host key, one authorised client key, no
// passwords and only internal-sftp, whose start folder stands in for the
// login's home. Needs root.
class SshServer : public LoopbackServer {
public:
    QString home() const { return folder() + QStringLiteral("/home"); }
    QString clientKey() const { return folder() + QStringLiteral("/client_key"); }
    QString otherKey() const { return folder() + QStringLiteral("/other_key"); }
    QString knownHosts() const { return folder() + QStringLiteral("/known_hosts"); }
    // A known_hosts naming another key for this server.
    QString changedKnownHosts() const { return folder() + QStringLiteral("/changed_hosts"); }

    bool start() {
        if (::geteuid() != 0)
            return skip(QStringLiteral("sshd needs root"));
        if (!QFile::exists(QStringLiteral("/usr/sbin/sshd")))
            return skip(QStringLiteral("sshd is not installed (openssh-server)"));
        const QString dir = folder();
        QDir().mkpath(home());
        QDir().mkpath(QStringLiteral("/run/sshd"));
        for (const QString &key : {QStringLiteral("host_key"), QStringLiteral("client_key"),
                                   QStringLiteral("other_key")}) {
            if (!run(QStringLiteral("ssh-keygen"),
                     {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                      QStringLiteral("-N"), QString(), QStringLiteral("-f"), dir + u'/' + key}))
                return skip(QStringLiteral("ssh-keygen failed"));
        }
        QFile::copy(clientKey() + QStringLiteral(".pub"), dir + QStringLiteral("/authorized_keys"));
        const QByteArray hostEntry = "[127.0.0.1]:" + QByteArray::number(m_port) + ' ';
        writeFile(knownHosts(), hostEntry + publicKey(dir + QStringLiteral("/host_key.pub")));
        writeFile(changedKnownHosts(),
                  hostEntry + publicKey(dir + QStringLiteral("/other_key.pub")));
        writeFile(dir + QStringLiteral("/sshd_config"),
                  "Port " + QByteArray::number(m_port) +
                      "\nListenAddress 127.0.0.1\n"
                      "HostKey " +
                      dir.toUtf8() +
                      "/host_key\n"
                      "PidFile none\n"
                      "AuthorizedKeysFile " +
                      dir.toUtf8() +
                      "/authorized_keys\n"
                      "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                      "PubkeyAuthentication yes\nUsePAM no\nPermitRootLogin prohibit-password\n"
                      "StrictModes no\nSubsystem sftp internal-sftp\n"
                      "ForceCommand internal-sftp -d " +
                      home().toUtf8() + "\n");
        return restart();
    }

    // Starts sshd again with the same keys and port, after cut().
    bool restart() {
        return launch(QStringLiteral("/usr/sbin/sshd"),
                      {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                       folder() + QStringLiteral("/sshd_config")});
    }

    // Cuts the network: the listener and every session it started end.
    void cut() {
        const qint64 listener = m_process.processId();
        QList<qint64> sessions;
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString &entry : entries) {
            bool number = false;
            const qint64 pid = entry.toLongLong(&number);
            if (!number)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces.
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields[1].toLongLong() == listener)
                sessions.append(pid);
        }
        stop();
        for (const qint64 pid : std::as_const(sessions))
            ::kill(pid_t(pid), SIGKILL);
    }

private:
    static QByteArray publicKey(const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QList<QByteArray> parts = file.readAll().split(' ');
        return parts.size() >= 2 ? parts[0] + ' ' + parts[1] + '\n' : QByteArray();
    }
};
