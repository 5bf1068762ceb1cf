#include "feed/FeedFile.h"

#include "support/FullDisk.h"
#include "support/SaveTargets.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

// The file writer on its own: what it replaces, what it refuses, and that a
// failure never leaves a cut-off file or a stray temporary one behind.
class tst_FeedFile : public QObject {
    Q_OBJECT

public:
    enum class Via { NewFile, File, Link, LinkChain };
    Q_ENUM(Via)
    enum class Special { Folder, Fifo, Socket, Device, LinkToFifo, LinkLoop, ReadOnlyFile };
    Q_ENUM(Special)
    enum class Route { BesideTheFile, InPlace };
    Q_ENUM(Route)

private Q_SLOTS:
    void initTestCase();
    void write_replacesWholeFileKeepingModeAndLinks_data();
    void write_replacesWholeFileKeepingModeAndLinks();
    void write_targetNotARegularWritableFile_refusedUntouched_data();
    void write_targetNotARegularWritableFile_refusedUntouched();
    void write_folderTakesNoNewFile_rewritesFileInPlace();
    void write_pieces_fileHoldsTheirText_data();
    void write_pieces_fileHoldsTheirText();
    void write_folderTakesNoNewFile_newFileRefused();
    void write_fullDisk_failsWithReasonOldFileKept_data();
    void write_fullDisk_failsWithReasonOldFileKept();
    void write_notApproved_oldFileKept_data();
    void write_notApproved_oldFileKept();
};

namespace {
const QByteArray OldText = "<rss>the feed that stood there before, a little longer</rss>";
const QByteArray NewText = "<rss>new</rss>";

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes, int mode) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

struct stat statOf(const QString &path, bool follow = true) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if ((follow ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0)
        info.st_mode = 0;
    return info;
}

// Hidden entries included: a temporary file left behind shows up here.
QStringList entries(const QString &folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString expectedError(const QString &path, const QString &reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}
} // namespace

void tst_FeedFile::initTestCase() {
    ::umask(022);
}

void tst_FeedFile::write_replacesWholeFileKeepingModeAndLinks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<Via>("via");
    QTest::addColumn<int>("oldMode");
    QTest::addColumn<int>("newMode");

    const QString feed = QStringLiteral("Podcast.xml");
    QTest::newRow("new file, the umask decides") << feed << Via::NewFile << 0 << 0644;
    QTest::newRow("mode 0640 kept") << feed << Via::File << 0640 << 0640;
    QTest::newRow("mode 0604 kept") << feed << Via::File << 0604 << 0604;
    QTest::newRow("link to a file") << feed << Via::Link << 0640 << 0640;
    QTest::newRow("relative links in a chain") << feed << Via::LinkChain << 0600 << 0600;
    QTest::newRow("250-byte name")
        << QString(246, u'n') + QStringLiteral(".xml") << Via::File << 0644 << 0644;
    QTest::newRow("255-byte name")
        << QString(251, u'n') + QStringLiteral(".xml") << Via::File << 0644 << 0644;
    QTest::newRow("255-byte name of two-byte letters")
        << QStringLiteral("a") + QString(125, u'é') + QStringLiteral(".xml") << Via::File << 0644
        << 0644;
}

void tst_FeedFile::write_replacesWholeFileKeepingModeAndLinks() {
    QFETCH(QString, name);
    QFETCH(Via, via);
    QFETCH(int, oldMode);
    QFETCH(int, newMode);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString path = dir.filePath(name);
    QString file = path;
    QByteArray linkText;
    if (via == Via::Link || via == Via::LinkChain) {
        file = dir.filePath(QStringLiteral("real/") + name);
        linkText = via == Via::Link ? "real/" + QFile::encodeName(name) : QByteArray("hop");
        QVERIFY(::symlink(linkText.constData(), QFile::encodeName(path).constData()) == 0);
        if (via == Via::LinkChain)
            QVERIFY(::symlink(("real/" + QFile::encodeName(name)).constData(),
                              QFile::encodeName(dir.filePath(QStringLiteral("hop")))) == 0);
    }
    if (via != Via::NewFile)
        QVERIFY(writeFile(file, OldText, oldMode));
    const QStringList before = entries(dir.path());
    const QStringList beforeReal = entries(dir.filePath(QStringLiteral("real")));

    QString error;
    QVERIFY2(FeedFile::write(path, NewText, &error), qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(readAll(file), NewText);
    QCOMPARE(int(statOf(file).st_mode & 07777), newMode);
    if (!linkText.isEmpty()) {
        QVERIFY(S_ISLNK(statOf(path, false).st_mode));
        QByteArray target(4096, '\0');
        const ssize_t length =
            ::readlink(QFile::encodeName(path).constData(), target.data(), size_t(target.size()));
        QCOMPARE(target.left(length), linkText);
    }
    if (via == Via::NewFile)
        QCOMPARE(entries(dir.path()), QStringList({name, QStringLiteral("real")}));
    else
        QCOMPARE(entries(dir.path()), before);
    QCOMPARE(entries(dir.filePath(QStringLiteral("real"))), beforeReal);
}

void tst_FeedFile::write_targetNotARegularWritableFile_refusedUntouched_data() {
    QTest::addColumn<Special>("special");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder") << Special::Folder << QStringLiteral("Is a folder");
    // Opening a FIFO for writing would wait for a reader that never comes.
    QTest::newRow("FIFO") << Special::Fifo
                          << QStringLiteral("Is a named pipe (FIFO), not a regular file");
    QTest::newRow("link to a FIFO")
        << Special::LinkToFifo << QStringLiteral("Is a named pipe (FIFO), not a regular file");
    QTest::newRow("socket") << Special::Socket << QStringLiteral("Is a socket, not a regular file");
    QTest::newRow("device node") << Special::Device
                                 << QStringLiteral("Is a device, not a regular file");
    QTest::newRow("links in a loop")
        << Special::LinkLoop << QStringLiteral("Too many levels of symbolic links");
    // Refused for root too, who could write it: the missing bits are the user's lock.
    QTest::newRow("file without write permission")
        << Special::ReadOnlyFile << QStringLiteral("Permission denied: the file is read-only");
}

void tst_FeedFile::write_targetNotARegularWritableFile_refusedUntouched() {
    QFETCH(Special, special);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("target"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    switch (special) {
    case Special::Folder:
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target")));
        break;
    case Special::Fifo:
        QVERIFY(SaveTargets::makeFifo(path));
        break;
    case Special::LinkToFifo:
        QVERIFY(SaveTargets::makeFifo(fifo));
        QVERIFY(QFile::link(fifo, path));
        break;
    case Special::Socket:
        QVERIFY(SaveTargets::makeSocket(path));
        break;
    case Special::Device:
        if (!SaveTargets::makeNullDevice(path))
            QSKIP("making a device node needs root");
        break;
    case Special::LinkLoop:
        QVERIFY(QFile::link(path, fifo));
        QVERIFY(QFile::link(fifo, path));
        break;
    case Special::ReadOnlyFile:
        QVERIFY(writeFile(path, OldText, 0444));
        break;
    }
    const struct stat before = statOf(path, false);
    const QStringList beforeEntries = entries(dir.path());

    QString error;
    QVERIFY(!FeedFile::write(path, NewText, &error));
    QCOMPARE(error, expectedError(path, reason));
    const struct stat after = statOf(path, false);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_rdev, before.st_rdev);
    QCOMPARE(entries(dir.path()), beforeEntries);
    if (special == Special::ReadOnlyFile)
        QCOMPARE(readAll(path), OldText);
}

void tst_FeedFile::write_pieces_fileHoldsTheirText_data() {
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("through a temporary file") << false;
    QTest::newRow("rewritten in place") << true;
}

// A save writes the loaded text's kept parts where they stand, between its
// own bytes: long and short pieces, one after the other.
void tst_FeedFile::write_pieces_fileHoldsTheirText() {
    QFETCH(bool, inPlace);
    QByteArray kept;
    for (int i = 0; kept.size() < 300000; ++i)
        kept += "<item><title>" + QByteArray::number(i) + "</title></item>\n";
    TextPieces pieces;
    pieces.appendView(QByteArrayView(kept).first(100000));
    pieces.append("<changed/>");
    pieces.appendView(QByteArrayView(kept).sliced(100000, 20));
    pieces.append(QByteArray(40000, 'x'));
    pieces.appendView(QByteArrayView(kept).sliced(100020));
    const QByteArray expected = kept.first(100000) + "<changed/>" + kept.sliced(100000, 20) +
                                QByteArray(40000, 'x') + kept.sliced(100020);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(writeFile(path, OldText + QByteArray(500000, ' '), 0644));
    if (inPlace && !SaveTargets::lockFolder(dir.path()))
        QSKIP("this file system cannot lock a folder against new files");
    const auto unlock = qScopeGuard([&] {
        if (inPlace)
            SaveTargets::unlockFolder(dir.path());
    });
    QString error;
    QVERIFY2(FeedFile::write(path, pieces, &error), qPrintable(error));
    QCOMPARE(readAll(path), expected);
}

void tst_FeedFile::write_folderTakesNoNewFile_rewritesFileInPlace() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(writeFile(path, OldText, 0640));
    const struct stat before = statOf(path);
    if (!SaveTargets::lockFolder(dir.path()))
        QSKIP("this file system cannot lock a folder against new files");
    const auto unlock = qScopeGuard([&] { SaveTargets::unlockFolder(dir.path()); });

    QString error;
    QVERIFY2(FeedFile::write(path, NewText, &error), qPrintable(error));
    QCOMPARE(readAll(path), NewText); // the longer old text cut off at the new end
    const struct stat after = statOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Podcast.xml")});
}

void tst_FeedFile::write_folderTakesNoNewFile_newFileRefused() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!SaveTargets::lockFolder(dir.path()))
        QSKIP("this file system cannot lock a folder against new files");
    const auto unlock = qScopeGuard([&] { SaveTargets::unlockFolder(dir.path()); });
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));

    QString error;
    QVERIFY(!FeedFile::write(path, NewText, &error));
    // Permissions refuse a user, the immutable flag refuses root.
    QVERIFY2(error == expectedError(path, QStringLiteral("Permission denied")) ||
                 error == expectedError(path, QStringLiteral("Operation not permitted")),
             qPrintable(error));
    QVERIFY(entries(dir.path()).isEmpty());
}

void tst_FeedFile::write_fullDisk_failsWithReasonOldFileKept_data() {
    QTest::addColumn<Route>("route");
    QTest::newRow("temporary file beside it") << Route::BesideTheFile;
    QTest::newRow("in place, the folder takes no new file") << Route::InPlace;
}

void tst_FeedFile::write_fullDisk_failsWithReasonOldFileKept() {
    QFETCH(Route, route);
    FullDisk disk;
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.reason()));
    const QString path = disk.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(writeFile(path, OldText, 0644));
    QVERIFY(disk.fill());
    if (route == Route::InPlace && !SaveTargets::setImmutable(disk.path(), true))
        QSKIP("this tmpfs cannot lock a folder against new files");
    const auto unlock = qScopeGuard([&] { SaveTargets::setImmutable(disk.path(), false); });
    const QStringList before = entries(disk.path());

    // Well under 16 KiB: small enough to sit in a write buffer until closed.
    const QByteArray feed = "<rss>" + QByteArray(12'000, 'x') + "</rss>";
    QString error;
    QVERIFY(!FeedFile::write(path, feed, &error));
    QCOMPARE(error, expectedError(path, QStringLiteral("No space left on device")));
    QCOMPARE(readAll(path), OldText);
    QCOMPARE(entries(disk.path()), before);
}

void tst_FeedFile::write_notApproved_oldFileKept_data() {
    QTest::addColumn<Route>("route");
    QTest::addColumn<bool>("approve");
    QTest::newRow("temporary file, refused") << Route::BesideTheFile << false;
    QTest::newRow("temporary file, approved") << Route::BesideTheFile << true;
    QTest::newRow("in place, refused") << Route::InPlace << false;
    QTest::newRow("in place, approved") << Route::InPlace << true;
}

void tst_FeedFile::write_notApproved_oldFileKept() {
    QFETCH(Route, route);
    QFETCH(bool, approve);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(writeFile(path, OldText, 0644));
    if (route == Route::InPlace && !SaveTargets::lockFolder(dir.path()))
        QSKIP("this file system cannot lock a folder against new files");
    const auto unlock = qScopeGuard([&] {
        if (route == Route::InPlace)
            SaveTargets::unlockFolder(dir.path());
    });

    int asked = 0;
    QString error = QStringLiteral("unset");
    // Asked once all is written and before anything is replaced.
    const bool written = FeedFile::write(path, NewText, &error, [&] {
        ++asked;
        if (route == Route::BesideTheFile)
            [&] { QCOMPARE(entries(dir.path()).size(), 2); }();
        return approve;
    });
    QCOMPARE(asked, 1);
    QCOMPARE(written, approve);
    QCOMPARE(readAll(path), approve ? NewText : OldText);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Podcast.xml")});
    if (!approve)
        QVERIFY(error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_FeedFile)
#include "tst_feedfile.moc"
