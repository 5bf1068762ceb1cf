#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

// A small tmpfs mounted on a temporary folder, to be filled up so that the
// next write of any size fails with "No space left on device". Mounting needs
// root; when it cannot be done, reason() says why, for QSKIP.
class FullDisk {
public:
    FullDisk() {
        if (::geteuid() != 0) {
            m_reason = QStringLiteral("mounting a tmpfs needs root");
            return;
        }
        if (!m_folder.isValid()) {
            m_reason = m_folder.errorString();
            return;
        }
        if (::mount("tmpfs", QFile::encodeName(m_folder.path()).constData(), "tmpfs",
                    MS_NOSUID | MS_NODEV | MS_NOEXEC, "size=64k,mode=0755") != 0) {
            m_reason = QStringLiteral("cannot mount a tmpfs: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }
    ~FullDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString reason() const { return m_reason; }
    QString path() const { return m_folder.path(); }
    QString filePath(const QString &name) const { return m_folder.filePath(name); }

    // Takes every free byte with one filler file; true once the disk is full.
    bool fill() {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral(".filler"))).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) == block.size()) {
        }
        while (::write(fd, "f", 1) == 1) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QTemporaryDir m_folder;
    QString m_reason;
    bool m_mounted = false;
};
