#include "FeedLock.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPair>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using FileKey = QPair<quint64, quint64>;

// Locks this process holds, by file, with how many holders share each.
QMutex registryMutex;
QHash<FileKey, int> &registry() {
    static QHash<FileKey, int> held;
    return held;
}

constexpr std::chrono::milliseconds PollInterval{25};

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

bool notHonoured(int code) {
    return code == EINVAL || code == ENOLCK || code == EOPNOTSUPP || code == ENOSYS;
}

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
} // namespace

FeedLock::~FeedLock() {
    release();
}

void FeedLock::release() {
    if (m_held) {
        const QMutexLocker locker(&registryMutex);
        const FileKey key{quint64(m_device), quint64(m_inode)};
        if (--registry()[key] == 0)
            registry().remove(key);
        m_held = false;
    }
    if (m_fd >= 0) {
        ::close(m_fd); // closing lets go of the lock
        m_fd = -1;
    }
}

FeedLock::State FeedLock::lock(const QString &path, std::chrono::milliseconds wait) {
    return lock(QFile::encodeName(path), wait);
}

FeedLock::Attempt FeedLock::tryLock(int fd, const QByteArray &path, int *lockedFd) {
    *lockedFd = fd;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Attempt::Taken;
    if (errno == EWOULDBLOCK || errno == EINTR)
        return Attempt::Busy;
    if (!notHonoured(errno)) {
        m_problem = systemReason(errno);
        return Attempt::Failed;
    }
    // Some network file systems take only POSIX record locks, and a write
    // lock wants a descriptor open for writing. Open file description locks
    // are not dropped when another descriptor of the file is closed.
    const int writable = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (writable < 0) {
        m_problem = systemReason(errno);
        return Attempt::Failed;
    }
    ::close(fd);
    *lockedFd = writable;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(writable, F_OFD_SETLK, &range) == 0)
        return Attempt::Taken;
    if (errno == EAGAIN || errno == EACCES || errno == EINTR)
        return Attempt::Busy;
    m_problem = systemReason(errno);
    return Attempt::Failed;
}

FeedLock::State FeedLock::lock(const QByteArray &path, std::chrono::milliseconds wait) {
    release();
    m_problem.clear();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Decided on stat() first: opening a FIFO or a device can act on it.
        struct stat named {};
        if (::stat(path.constData(), &named) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return State::NothingToLock;
            m_problem = systemReason(errno);
            return State::Unsupported;
        }
        if (!S_ISREG(named.st_mode))
            return State::NothingToLock;
        {
            const QMutexLocker locker(&registryMutex);
            const FileKey key{quint64(named.st_dev), quint64(named.st_ino)};
            if (const auto held = registry().find(key); held != registry().end()) {
                ++*held;
                m_device = named.st_dev;
                m_inode = named.st_ino;
                m_held = true;
                return State::Locked;
            }
        }
        // Any access mode takes a flock(); a file only its owner may write
        // (or only read) still opens one way or the other.
        int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0 && errno == EACCES)
            fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            if (errno == ENOENT && std::chrono::steady_clock::now() < deadline)
                continue; // replaced between the looks
            // A file this user can neither read nor write: the load or save
            // refuses it with the system's reason, and there is no work to lose.
            if (errno == EACCES || errno == EPERM)
                return State::NothingToLock;
            m_problem = systemReason(errno);
            return State::Unsupported;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            if (std::chrono::steady_clock::now() >= deadline)
                return State::Busy;
            continue;
        }
        int lockedFd = fd;
        const Attempt attempt = tryLock(fd, path, &lockedFd);
        if (attempt == Attempt::Failed) {
            ::close(lockedFd);
            return State::Unsupported;
        }
        if (attempt == Attempt::Busy) {
            ::close(lockedFd);
            if (std::chrono::steady_clock::now() >= deadline)
                return State::Busy;
            std::this_thread::sleep_for(PollInterval);
            continue;
        }
        // Still the file at the name? The holder before may have replaced it.
        struct stat now {};
        if (::stat(path.constData(), &now) != 0 || !sameFile(now, opened)) {
            ::close(lockedFd);
            if (std::chrono::steady_clock::now() >= deadline)
                return State::Busy;
            continue;
        }
        m_fd = lockedFd;
        m_device = opened.st_dev;
        m_inode = opened.st_ino;
        m_held = true;
        const QMutexLocker locker(&registryMutex);
        ++registry()[FileKey{quint64(m_device), quint64(m_inode)}];
        return State::Locked;
    }
}

QString FeedLock::busyReason(std::chrono::milliseconds wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
    return QStringLiteral("Another program is changing this file and holds its lock; gave up "
                          "after waiting %1 seconds")
        .arg(seconds);
}
