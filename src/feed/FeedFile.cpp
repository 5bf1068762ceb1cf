#include "FeedFile.h"

#include "FeedLock.h"
#include "xml/WorkProgress.h"

#include "xml/XmlDocument.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Written with POSIX calls rather than QSaveFile: in Qt 6.4 QSaveFile::commit()
// renames its temporary file over the target even when a buffered write
// failed (on a full disk the old feed became an empty file and the save was
// reported as done), and its temporary name, the target's name plus seven
// characters, cannot exist beside a file whose name has 249 to 255 bytes.

namespace FeedFile {
namespace {
// Long enough to recognise the file it belongs to, short enough to always fit.
constexpr qsizetype TemporaryNameKeep = 32;
constexpr int MaxLinkHops = 40;

QString failure(const QString &path, const QString &reason) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray folderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray &path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// Follows symbolic links to the path they end at, so that the file there is
// replaced and the links stay links. Returns 0 or an errno value.
int followLinks(QByteArray &path) {
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat link {};
        if (::lstat(path.constData(), &link) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(link.st_mode))
            return 0;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            return errno;
        if (length >= target.size())
            return ENAMETOOLONG;
        target.truncate(length);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    return ELOOP;
}

// Why an existing file may not be replaced; empty when it may.
QString refusal(const QByteArray &path, const struct stat &info) {
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("Is a folder");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("Is a named pipe (FIFO), not a regular file");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return QStringLiteral("Is a device, not a regular file");
    if (S_ISSOCK(info.st_mode))
        return QStringLiteral("Is a socket, not a regular file");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("Is not a regular file");
    // Root may write anything; a file nobody may write is still the user's lock.
    if ((info.st_mode & 0222) == 0)
        return QStringLiteral("Permission denied: the file is read-only");
    if (::geteuid() != 0 && ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return systemReason(errno);
    return {};
}

mode_t currentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Every byte or an errno value: short writes and interruptions go on. Work
// that shows its progress writes in smaller pieces, so the bar moves.
int writeAll(int fd, const TextPieces &text) {
    WorkProgress *progress = WorkProgress::current();
    const qsizetype step = progress ? qsizetype(1) << 20 : qsizetype(1) << 30;
    if (progress)
        progress->setTotal(text.size());
    qsizetype done = 0;
    for (const QByteArrayView piece : text.pieces()) {
        for (qsizetype at = 0; at < piece.size();) {
            if (progress)
                progress->setDone(done);
            const size_t chunk = size_t(std::min<qsizetype>(piece.size() - at, step));
            const ssize_t written = ::pwrite(fd, piece.data() + at, chunk, off_t(done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (written == 0)
                return EIO;
            at += written;
            done += written;
        }
    }
    return 0;
}

void syncFolder(const QByteArray &folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QByteArray temporaryTemplate(const QByteArray &target) {
    const QByteArray name = nameOf(target);
    qsizetype keep = std::min(name.size(), TemporaryNameKeep);
    while (keep > 0 && keep < name.size() && (uchar(name[keep]) & 0xC0) == 0x80)
        --keep;
    return folderOf(target) + "/." + name.left(keep) + ".XXXXXX";
}

// Returns 0, or an errno value when the folder took no temporary file
// (*created false) or a later step failed (*created true, nothing replaced).
// A save whose text was not approved: no errno, nothing replaced.
constexpr int NotApproved = -1;

int replaceThroughTemporary(const QByteArray &target, const TextPieces &bytes, mode_t mode,
                            const struct stat *old, bool *created,
                            const std::function<bool()> &approved) {
    QByteArray temporary = temporaryTemplate(target);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    *created = fd >= 0;
    if (fd < 0)
        return errno;
    int code = writeAll(fd, bytes);
    if (code == 0 && old != nullptr) {
        // Best effort: only root can hand the file back to another owner.
        const int owned = ::fchown(fd, old->st_uid, old->st_gid);
        Q_UNUSED(owned)
    }
    if (code == 0 && ::fchmod(fd, mode) != 0)
        code = errno;
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0 && approved && !approved())
        code = NotApproved;
    // The last moment a cancelled save can leave the old file as it was.
    if (code == 0 && WorkProgress::currentCancelled())
        code = ECANCELED;
    if (code == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(temporary.constData());
        return code;
    }
    syncFolder(folderOf(target));
    return 0;
}

// For a writable file in a folder that takes no new file. Returns a reason or
// an empty text.
QString rewriteInPlace(const QByteArray &target, const TextPieces &bytes, const struct stat &old) {
    // Should something other than the checked file stand there by now (a
    // FIFO), opening must not wait for a reader.
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return systemReason(errno);
    QString reason;
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        reason = systemReason(errno);
    else if (!S_ISREG(now.st_mode) || now.st_dev != old.st_dev || now.st_ino != old.st_ino)
        reason = QStringLiteral("Was replaced by another file during the save");
    // Reserving the whole size first makes a full disk fail before the old
    // text changes; file systems without reservation go on unprotected.
    if (reason.isEmpty() && !bytes.isEmpty()) {
        const int code = ::posix_fallocate(fd, 0, off_t(bytes.size()));
        if (code != 0 && code != EOPNOTSUPP && code != EINVAL) {
            reason = systemReason(code);
            // A reservation that ran out part way may have lengthened the file.
            const int restored = ::ftruncate(fd, old.st_size);
            Q_UNUSED(restored)
        }
    }
    int code = 0;
    if (reason.isEmpty() && WorkProgress::currentCancelled())
        reason = WorkProgress::cancelledReason();
    if (reason.isEmpty())
        code = writeAll(fd, bytes);
    if (reason.isEmpty() && code == 0 && ::ftruncate(fd, off_t(bytes.size())) != 0)
        code = errno;
    if (reason.isEmpty() && code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && reason.isEmpty() && code == 0)
        code = errno;
    if (reason.isEmpty() && code != 0)
        reason = systemReason(code);
    return reason;
}
} // namespace

QString wellFormednessError(const QByteArray &bytes) {
    return XmlDocument::checkWellFormed(bytes);
}

QString wellFormednessError(const TextPieces &text) {
    return XmlDocument::checkWellFormed(text);
}

bool write(const QString &path, const QByteArray &bytes, QString *error,
           const std::function<bool()> &approved) {
    return write(path, TextPieces(bytes), error, approved);
}

bool write(const QString &path, const TextPieces &bytes, QString *error,
           const std::function<bool()> &approved) {
    const auto fail = [&](const QString &reason) {
        *error = failure(path, reason);
        return false;
    };
    QByteArray target = QFile::encodeName(path);
    if (target.isEmpty())
        return fail(systemReason(ENOENT));
    if (const int code = followLinks(target))
        return fail(systemReason(code));

    // Held until the new text has replaced the old, so that a save never
    // lands in the middle of another program's read-change-write. Where
    // locks are not to be had the save goes on as it always did.
    FeedLock lock;
    if (lock.lock(target) == FeedLock::State::Busy)
        return fail(FeedLock::busyReason());

    // Decided on stat() alone: opening a FIFO would wait for a reader.
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return fail(systemReason(errno));
    if (exists) {
        if (const QString reason = refusal(target, old); !reason.isEmpty())
            return fail(reason);
    } else if (target.endsWith('/')) {
        return fail(systemReason(EISDIR));
    }

    const mode_t mode = exists ? old.st_mode & 07777 : 0666 & ~currentUmask();
    bool created = false;
    const int code =
        replaceThroughTemporary(target, bytes, mode, exists ? &old : nullptr, &created, approved);
    if (code == 0)
        return true;
    if (code == NotApproved) {
        error->clear();
        return false;
    }
    if (!created && exists && (code == EACCES || code == EPERM)) {
        // Nothing is rewritten before the text is approved.
        if (approved && !approved()) {
            error->clear();
            return false;
        }
        const QString reason = rewriteInPlace(target, bytes, old);
        return reason.isEmpty() || fail(reason);
    }
    return fail(systemReason(code));
}
} // namespace FeedFile
