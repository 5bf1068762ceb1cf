#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A server the tests start on 127.0.0.1 and stop again; it never listens
// anywhere else. Subclasses write their configuration into folder().
class LoopbackServer {
public:
    virtual ~LoopbackServer() { stop(); }

    // Empty when running, otherwise why the tests that need it are skipped.
    const QString &skipReason() const { return m_skipReason; }
    bool isRunning() const { return m_skipReason.isEmpty(); }
    int port() const { return m_port; }
    QString folder() const { return m_folder.path(); }
    QString log() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // A port nobody listens on now, on loopback.
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    static bool accepts(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(quint16(port));
        const bool connected =
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        return connected;
    }

    static bool run(const QString &program, const QStringList &arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    static void writeFile(const QString &path, const QByteArray &bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

protected:
    // Starts the program and waits until the port takes connections.
    bool launch(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
        if (!m_process.waitForStarted(10000))
            return skip(QStringLiteral("%1 did not start").arg(program));
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            if (m_process.state() == QProcess::NotRunning)
                return skip(
                    QStringLiteral("%1 stopped: %2")
                        .arg(program, QString::fromLocal8Bit(m_process.readAllStandardError())));
            if (accepts(m_port)) {
                m_skipReason.clear();
                return true;
            }
            QThread::msleep(20);
        }
        stop();
        return skip(QStringLiteral("%1 took no connection on port %2").arg(program).arg(m_port));
    }

    bool skip(const QString &reason) {
        m_skipReason = reason;
        return false;
    }

    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = freePort();
    QString m_skipReason = QStringLiteral("not started");
};
