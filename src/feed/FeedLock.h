#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <sys/types.h>

// An exclusive advisory lock on a feed file for the whole of a
// read-change-write, so that two saves of one feed (two `add` runs, the
// editor and a script) follow each other instead of one losing the other's
// work. Every program that rewrites feeds here takes it; others are not
// stopped by it.
//
// The lock is on the feed file itself, not on a lock file beside it and not
// on the temporary file a save writes: that one is renamed over the feed, so
// a lock on it would guard nothing, and a lock file would be left beside
// every feed and cannot be made in a folder that takes no new file (where
// the save rewrites the feed in place). A save replaces the feed by rename,
// so the inode a waiting run locked may no longer be the feed once it gets
// the lock; it then looks again and locks the file that stands there now.
// The holder renames as the last step of its save, so whatever is found at
// the name afterwards is complete.
//
// Within one process the lock is shared: a save inside a held lock (the
// command's `add` around the editor's save code) goes straight on.
class FeedLock {
public:
    enum class State {
        Locked,        // held until destroyed
        Busy,          // another program kept it for the whole wait
        NothingToLock, // no regular file there yet (a new feed), or one the save refuses
                       // anyway (a FIFO, a file this user may neither read nor write)
        Unsupported,   // the file system takes no locks, or the file cannot be opened
    };

    static constexpr std::chrono::milliseconds DefaultWait{5000};

    FeedLock() = default;
    ~FeedLock();
    FeedLock(const FeedLock &) = delete;
    FeedLock &operator=(const FeedLock &) = delete;

    // path as the file system spells it (QFile::encodeName).
    State lock(const QByteArray &path, std::chrono::milliseconds wait = DefaultWait);
    State lock(const QString &path, std::chrono::milliseconds wait = DefaultWait);

    // Why a Busy lock stopped the work, for "path: reason".
    static QString busyReason(std::chrono::milliseconds wait = DefaultWait);
    // Why an Unsupported lock could not be taken.
    const QString &problem() const { return m_problem; }

private:
    enum class Attempt { Taken, Busy, Failed };
    Attempt tryLock(int fd, const QByteArray &path, int *lockedFd);
    void release();

    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_held = false;
    QString m_problem;
};
