#include "app/EditorHarness.h"

#include "support/FullDisk.h"
#include "support/SaveTargets.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>
#include <sys/stat.h>

// Saving from the editor onto targets that cannot take the feed: each save is
// refused with the system's reason at step 182, "Done Saved." never shows,
// the document keeps its changes, and whatever stood at the path is unchanged.
class tst_HostileSaves : public QObject {
    Q_OBJECT

public:
    enum class Target { FullDisk, Fifo, Device, ReadOnlyFile, Folder };
    Q_ENUM(Target)

private Q_SLOTS:
    void saveButton_hostileTarget_refusedWithReasonNothingLost_data();
    void saveButton_hostileTarget_refusedWithReasonNothingLost();
};

namespace {
const QByteArray OldFeed = "<rss><channel><title>The feed saved last week</title></channel></rss>";

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes, mode_t mode) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

struct stat lstatOf(const QString &path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}
} // namespace

void tst_HostileSaves::saveButton_hostileTarget_refusedWithReasonNothingLost_data() {
    QTest::addColumn<Target>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("full disk") << Target::FullDisk << QStringLiteral("No space left on device");
    QTest::newRow("FIFO") << Target::Fifo
                          << QStringLiteral("Is a named pipe (FIFO), not a regular file");
    QTest::newRow("device node") << Target::Device
                                 << QStringLiteral("Is a device, not a regular file");
    QTest::newRow("file without write permission")
        << Target::ReadOnlyFile << QStringLiteral("Permission denied: the file is read-only");
    QTest::newRow("folder") << Target::Folder << QStringLiteral("Is a folder");
}

void tst_HostileSaves::saveButton_hostileTarget_refusedWithReasonNothingLost() {
    QFETCH(Target, target);
    QFETCH(QString, reason);
    EditorHarness editor;
    std::unique_ptr<FullDisk> disk;
    QString path = editor.filePath(QStringLiteral("Podcast.xml"));
    switch (target) {
    case Target::FullDisk:
        disk = std::make_unique<FullDisk>();
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->reason()));
        path = disk->filePath(QStringLiteral("Podcast.xml"));
        QVERIFY(writeFile(path, OldFeed, 0644));
        QVERIFY(disk->fill());
        break;
    case Target::Fifo:
        QVERIFY(SaveTargets::makeFifo(path));
        break;
    case Target::Device:
        if (!SaveTargets::makeNullDevice(path))
            QSKIP("making a device node needs root");
        break;
    case Target::ReadOnlyFile:
        QVERIFY(writeFile(path, OldFeed, 0444));
        break;
    case Target::Folder:
        QVERIFY(QDir().mkpath(path));
        break;
    }
    const struct stat before = lstatOf(path);
    const QStringList entries =
        QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    // A feed of a few hundred bytes: small enough to wait in a write buffer.
    editor.document().setField(ChannelField::Title, QStringLiteral("Unsaved work"));
    editor.addEpisodes({QStringLiteral("Typed today")});
    QVERIFY(editor.document().DocumentChanged());
    editor.dialogs.paths = {path};
    auto *save = editor.window->findChild<QPushButton *>(QStringLiteral("PushButton3"));
    QVERIFY(save);
    QTest::mouseClick(save, Qt::LeftButton);

    QCOMPARE(editor.messages.texts(), QStringList()); // above all, no "Done Saved."
    QVERIFY(!editor.window->SaveSucceeded());
    QVERIFY(editor.document().DocumentChanged());
    QCOMPARE(editor.errors.reports.size(), 1);
    QCOMPARE(editor.errors.reports.first().step, 182);
    QCOMPARE(editor.errors.reports.first().description,
             QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason);

    const struct stat after = lstatOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_rdev, before.st_rdev);
    if (S_ISREG(after.st_mode))
        QCOMPARE(readAll(path), OldFeed);
    QCOMPARE(QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System),
             entries);
}

QTEST_MAIN(tst_HostileSaves)
#include "tst_hostilesaves.moc"
