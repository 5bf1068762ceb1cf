#include "feed/LoadPodcast.h"
#include "feed/SavePodcast.h"
#include "model/PodcastDocument.h"

#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

class tst_SavePodcast : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void outcomes_data();
    void outcomes();
    void dialogSettings_setOnEveryCall();
    void bareAmpersand_refusedOnceAndEarlierFileKept();
    void unwritablePath_reportedAtStep182_data();
    void unwritablePath_reportedAtStep182();
    void nonAscii_utf8WithoutBomNoExtensionAdded();
    void savingTwice_replacesWholeFile();
    void saveThenLoad_roundTrip();
};

namespace {
QDateTime fixedMoment() {
    return QDateTime(QDate(2026, 12, 7), QTime(9, 10, 3), QTimeZone(7200));
}

void fillDocument(PodcastDocument &document) {
    for (int i = 0; i < ChannelField::Count; ++i)
        document.setField(i, QStringLiteral("Field %1 ÄÖÜ ß €").arg(i));
    for (int n = 1; n <= 2; ++n) {
        const auto number = document.appendEpisode(QStringLiteral("Episode %1 – Łódź").arg(n));
        for (int c = 1; c < EpisodeColumn::Count; ++c)
            document.setEpisodeColumn(number, c, QStringLiteral("E%1 C%2 ✓").arg(n).arg(c));
    }
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct Harness {
    ScriptedFileDialogs dialogs;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    SaveServices services{dialogs, messages, errors, fixedMoment};

    bool save(const PodcastDocument &document, const QString &path) {
        dialogs.paths = {path};
        return SavePodcast(document, services);
    }
};
} // namespace

void tst_SavePodcast::outcomes_data() {
    QTest::addColumn<QString>("chosen"); // "@" stands for the temporary folder
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<bool>("fileWritten");

    QTest::newRow("cancelled") << QString() << false << false;
    QTest::newRow("blank name") << QStringLiteral("   ") << false << false;
    QTest::newRow("valid document") << QStringLiteral("@/Podcast.xml") << true << true;
}

void tst_SavePodcast::outcomes() {
    QFETCH(QString, chosen);
    QFETCH(bool, succeeded);
    QFETCH(bool, fileWritten);
    QTemporaryDir dir;
    chosen.replace(u'@', dir.path());
    PodcastDocument document;
    fillDocument(document);
    document.setDocumentChanged(true);
    Harness harness;
    QCOMPARE(harness.save(document, chosen), succeeded);
    QVERIFY(harness.messages.shown.isEmpty());
    QVERIFY(harness.errors.reports.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), fileWritten ? 1 : 0);
    QVERIFY(document.DocumentChanged()); // the calling command decides about the flag
    if (fileWritten) {
        const QByteArray bytes = readAll(chosen);
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
        QVERIFY(bytes.endsWith("</rss>"));
        QVERIFY(bytes.contains("<lastBuildDate>Mon, 07 Dec 2026 09:10:03 +0200</lastBuildDate>"));
    }
}

void tst_SavePodcast::dialogSettings_setOnEveryCall() {
    PodcastDocument document;
    Harness harness;
    harness.save(document, QString());
    harness.save(document, QString());
    QCOMPARE(harness.dialogs.opened.size(), 2);
    for (const ScriptedFileDialogs::Opened &opened : harness.dialogs.opened) {
        QVERIFY(opened.save);
        QCOMPARE(opened.settings.fileName, QStringLiteral("Podcast.xml"));
        QCOMPARE(opened.settings.title, QStringLiteral("Save Podcast.xml"));
        QCOMPARE(opened.settings.filter, QStringLiteral("Podcast.xml (*.xml)|*.xml"));
    }
}

void tst_SavePodcast::bareAmpersand_refusedOnceAndEarlierFileKept() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    writeFile(path, "earlier feed");
    PodcastDocument document;
    fillDocument(document);
    document.setField(ChannelField::Description, QStringLiteral("Fish & Chips"));

    Harness harness;
    QVERIFY(!harness.save(document, path));
    QCOMPARE(harness.messages.texts(), QStringList{QStringLiteral("XML is not valid.")});
    const QString detail = harness.messages.shown.first().detail;
    QCOMPARE(detail, QStringLiteral("Description: \"&\" must be written as \"&amp;\"."));
    QVERIFY(harness.errors.reports.isEmpty());
    QCOMPARE(readAll(path), QByteArray("earlier feed"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Podcast.xml")});
    QCOMPARE(document.field(ChannelField::Description), QStringLiteral("Fish & Chips"));

    // Corrected, the same path takes the new feed.
    document.setField(ChannelField::Description, QStringLiteral("Fish &amp; Chips"));
    QVERIFY(harness.save(document, path));
    QVERIFY(readAll(path).contains("<description>Fish &amp; Chips</description>"));
}

void tst_SavePodcast::unwritablePath_reportedAtStep182_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("readOnlyFile");
    QTest::newRow("missing folder") << QStringLiteral("nowhere/Podcast.xml") << false;
    QTest::newRow("path is a folder") << QStringLiteral("folder") << false;
    // Refused for root too, who could write it.
    QTest::newRow("read-only file") << QStringLiteral("locked.xml") << true;
}

void tst_SavePodcast::unwritablePath_reportedAtStep182() {
    QFETCH(QString, relative);
    QFETCH(bool, readOnlyFile);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString path = dir.filePath(relative);
    if (readOnlyFile) {
        writeFile(path, "locked");
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

    PodcastDocument document;
    fillDocument(document);
    Harness harness;
    QVERIFY(!harness.save(document, path));
    QCOMPARE(harness.errors.reports.size(), 1);
    const RecordingErrorReporter::Report report = harness.errors.reports.first();
    QCOMPARE(report.step, 182);
    QCOMPARE(report.location, QStringLiteral("in Fernhollow2021/08/31.Form1.SavePodcast "));
    QVERIFY2(report.description.contains(QDir::toNativeSeparators(path)),
             qPrintable(report.description));
    QVERIFY(harness.messages.shown.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    if (readOnlyFile)
        QCOMPARE(readAll(path), QByteArray("locked"));
}

void tst_SavePodcast::nonAscii_utf8WithoutBomNoExtensionAdded() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("feed"));
    PodcastDocument document;
    fillDocument(document);
    document.setField(ChannelField::Title, QStringLiteral("Ærø – 𝄞 Nachtmusik"));
    Harness harness;
    QVERIFY(harness.save(document, path));
    QVERIFY(!QFile::exists(path + QStringLiteral(".xml")));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.startsWith("<?xml"));
    QVERIFY(bytes.contains(
        "<title>\xc3\x86r\xc3\xb8 \xe2\x80\x93 \xf0\x9d\x84\x9e Nachtmusik</title>"));
}

void tst_SavePodcast::savingTwice_replacesWholeFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    PodcastDocument document;
    fillDocument(document);
    Harness harness;
    QVERIFY(harness.save(document, path));
    const qint64 longer = QFileInfo(path).size();
    document.removeEpisode(2);
    document.removeEpisode(1);
    QVERIFY(harness.save(document, path));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.size() < longer);
    QVERIFY(bytes.endsWith("</rss>"));
    QVERIFY(!bytes.contains("<item>"));
}

void tst_SavePodcast::saveThenLoad_roundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    PodcastDocument document;
    fillDocument(document);
    document.setEpisodeColumn(1, EpisodeColumn::Summary, QStringLiteral("Line one\nline two"));
    document.setEpisodeColumn(2, EpisodeColumn::Explicit, QString());
    Harness harness;
    QVERIFY(harness.save(document, path));

    PodcastDocument loaded;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    QVERIFY(loadPodcastFile(path, loaded, messages, errors));
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(errors.reports.isEmpty());
    for (int i = 0; i < ChannelField::Count; ++i)
        QCOMPARE(loaded.field(i), document.field(i));
    QCOMPARE(loaded.episodes(), document.episodes());
}

QTEST_GUILESS_MAIN(tst_SavePodcast)
#include "tst_savepodcast.moc"
