#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

// Special files and locked folders that a save has to refuse or get around.
namespace SaveTargets {
inline QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

inline bool makeFifo(const QString &path) {
    return ::mkfifo(native(path).constData(), 0644) == 0;
}

// The numbers of /dev/null: a save that took it for a file would replace it.
inline bool makeNullDevice(const QString &path) {
    return ::mknod(native(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

inline bool makeSocket(const QString &path) {
    const QByteArray name = native(path);
    sockaddr_un address{};
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// A folder marked immutable takes no new file, even from root, while the
// files already in it stay writable: the read-only folder that root meets.
inline bool setImmutable(const QString &folder, bool on) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// Locks a folder against new files for the caller: permissions for a user,
// the immutable flag for root, who ignores permissions.
inline bool lockFolder(const QString &folder) {
    if (::geteuid() == 0)
        return setImmutable(folder, true);
    return ::chmod(native(folder).constData(), 0555) == 0;
}

inline void unlockFolder(const QString &folder) {
    if (::geteuid() == 0)
        setImmutable(folder, false);
    else
        ::chmod(native(folder).constData(), 0755);
}
} // namespace SaveTargets
