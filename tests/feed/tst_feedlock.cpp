#include "feed/FeedFile.h"
#include "feed/FeedLock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

// The lock seen from outside: another open file description stands for
// another program, as flock() does not tell them apart.
class tst_FeedLock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void heldElsewhere_busyAfterTheWait();
    void releasedWhileWaiting_taken();
    void sameProcess_shared();
    void replacedWhileWaiting_locksTheFileNowThere();
    void noRegularFile_nothingToLock_data();
    void noRegularFile_nothingToLock();
};

namespace {
QByteArray writeFile(const QTemporaryDir &dir, const char *name, const QByteArray &bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return QFile::encodeName(path);
}

// A lock held as another program holds it; -1 when it could not be had.
int holdLock(const QByteArray &path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether another program could lock the file at path now.
bool freeForOthers(const QByteArray &path) {
    const int fd = holdLock(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}
} // namespace

void tst_FeedLock::heldElsewhere_busyAfterTheWait() {
    QTemporaryDir dir;
    const QByteArray path = writeFile(dir, "Podcast.xml", "<rss/>");
    const int other = holdLock(path);
    QVERIFY(other >= 0);
    FeedLock lock;
    QCOMPARE(lock.lock(path, 100ms), FeedLock::State::Busy);
    // What the editor's save does then, after the wait every save gives:
    // nothing is written, and it says why.
    QString error;
    QVERIFY(!FeedFile::write(QFile::decodeName(path), "<rss>new</rss>", &error));
    QVERIFY2(error.endsWith(FeedLock::busyReason()), qPrintable(error));
    ::close(other);
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("<rss/>"));
}

void tst_FeedLock::releasedWhileWaiting_taken() {
    QTemporaryDir dir;
    const QByteArray path = writeFile(dir, "Podcast.xml", "<rss/>");
    const int other = holdLock(path);
    QVERIFY(other >= 0);
    std::thread releaser([other] {
        std::this_thread::sleep_for(200ms);
        ::close(other);
    });
    FeedLock lock;
    const FeedLock::State state = lock.lock(path, 5s);
    releaser.join();
    QCOMPARE(state, FeedLock::State::Locked);
    QVERIFY(!freeForOthers(path));
}

void tst_FeedLock::sameProcess_shared() {
    QTemporaryDir dir;
    const QByteArray path = writeFile(dir, "Podcast.xml", "<rss/>");
    {
        FeedLock outer;
        QCOMPARE(outer.lock(path, 0ms), FeedLock::State::Locked);
        {
            // The save inside `add`: it must not wait for its own caller.
            FeedLock inner;
            QCOMPARE(inner.lock(path, 0ms), FeedLock::State::Locked);
            QString error;
            QVERIFY2(FeedFile::write(QFile::decodeName(path), "<rss>new</rss>", &error),
                     qPrintable(error));
        }
    }
    QVERIFY(freeForOthers(path));
    FeedLock again;
    QCOMPARE(again.lock(path, 0ms), FeedLock::State::Locked);
}

void tst_FeedLock::replacedWhileWaiting_locksTheFileNowThere() {
    QTemporaryDir dir;
    const QByteArray path = writeFile(dir, "Podcast.xml", "<rss>old</rss>");
    const QByteArray next = writeFile(dir, "next.xml", "<rss>new</rss>");
    const int oldHolder = holdLock(path);
    QVERIFY(oldHolder >= 0);

    FeedLock lock;
    FeedLock::State state = FeedLock::State::Busy;
    std::thread waiter([&] { state = lock.lock(path, 5s); });
    // Another program's save: it locks its new file, renames it over the
    // feed and lets go of the old one, then keeps the new one a while.
    std::this_thread::sleep_for(100ms);
    const int newHolder = holdLock(next);
    QVERIFY(newHolder >= 0);
    QCOMPARE(::rename(next.constData(), path.constData()), 0);
    ::close(oldHolder);
    std::this_thread::sleep_for(200ms);
    ::close(newHolder);
    waiter.join();

    QCOMPARE(state, FeedLock::State::Locked);
    // The lock is on the file now at the name, not on the one renamed over.
    QVERIFY(!freeForOthers(path));
}

void tst_FeedLock::noRegularFile_nothingToLock_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("folder") << "folder";
}

void tst_FeedLock::noRegularFile_nothingToLock() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(kind));
    if (kind == u"fifo")
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    else if (kind == u"folder")
        QCOMPARE(::mkdir(path.constData(), 0700), 0);
    FeedLock lock;
    // Without waiting: a FIFO opened for the lock would block on its writer.
    QCOMPARE(lock.lock(path, 5s), FeedLock::State::NothingToLock);
}

QTEST_GUILESS_MAIN(tst_FeedLock)
#include "tst_feedlock.moc"
