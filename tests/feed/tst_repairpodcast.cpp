#include "feed/FeedSource.h"
#include "feed/LoadPodcast.h"
#include "feed/Locations.h"
#include "feed/RepairPodcast.h"
#include "feed/SavePodcast.h"
#include "feed/StepGuard.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_RepairPodcast : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void offer_yesOpensRepairedCopyAsChanged();
    void offer_noOrNothingToRepair_endsAsToday_data();
    void offer_noOrNothingToRepair_endsAsToday();
    void saveAfterRepair_strictlyLoadableWithSameEpisodes();
    void changeList_firstFiftyThenCount();
};

namespace {
using Answer = MessageService::Answer;

// Blank line, undeclared itunes, a Windows-1252 quote, a bare & and &nbsp;:
// one of each kind a server or an old tool leaves in a feed.
const QByteArray Almost =
    "\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\"><channel><title>Tom & Jerry</title>\n"
    "<itunes:author>Ann\x92s</itunes:author>\n"
    "<item><title>One&nbsp;1</title><enclosure url=\"https://a.example/1.mp3\""
    " type=\"audio/mpeg\" length=\"1\"/></item>\n"
    "<item><title>Two</title></item></channel></rss>\n";

const QByteArray Mended = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<rss version=\"2.0\" "
                          "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"><channel>"
                          "<title>Tom &amp; Jerry</title>\n"
                          "<itunes:author>Ann\xE2\x80\x99s</itunes:author>\n"
                          "<item><title>One\xC2\xA0"
                          "1</title><enclosure url=\"https://a.example/1.mp3\""
                          " type=\"audio/mpeg\" length=\"1\"/></item>\n"
                          "<item><title>Two</title></item></channel></rss>\n";

QString write(const QTemporaryDir &dir, const QByteArray &bytes) {
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

void tst_RepairPodcast::offer_yesOpensRepairedCopyAsChanged() {
    QTemporaryDir dir;
    const QString path = write(dir, Almost);
    PodcastDocument document;
    ScriptedMessageService messages;
    messages.answers = {Answer::Yes};
    RecordingErrorReporter errors;
    QVERIFY(loadPodcastFile(path, document, messages, errors, RepairOffer::Ask));

    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown[0].text, u"Fail to load XML."_qs);
    QVERIFY(!messages.shown[0].detail.isEmpty());
    QCOMPARE(messages.shown[1].text, u"This file is not well-formed XML, but it can be repaired: "
                                     "5 changes. Open a repaired copy?"_qs);
    QVERIFY(messages.shown[1].isQuestion);
    QCOMPARE(messages.shown[1].detail.split(u'\n').size(), 5);
    QVERIFY(messages.shown[1].detail.startsWith(
        u"line 1: \"\\n\" \u2192 \"\": text before the XML declaration removed\n"_qs));
    QVERIFY(errors.reports.isEmpty());

    QCOMPARE(document.field(ChannelField::Title), u"Tom &amp; Jerry"_qs); // held as written
    QCOMPARE(document.field(ChannelField::Author), u"Ann\u2019s"_qs);
    QCOMPARE(document.episodeCount(), 2);
    QCOMPARE(document.episode(1)[EpisodeColumn::Title], u"One\u00A01"_qs);
    QVERIFY(document.DocumentChanged());
    QVERIFY(document.source());
    QCOMPARE(document.source()->text(), Mended);
    QCOMPARE(readAll(path), Almost);
}

void tst_RepairPodcast::offer_noOrNothingToRepair_endsAsToday_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("shown");
    const QString failed = u"Fail to load XML."_qs;
    const QString asked = u"This file is not well-formed XML, but it can be repaired: 5 changes. "
                          "Open a repaired copy?"_qs;
    QTest::newRow("answered No") << Almost << QStringList{failed, asked};
    QTest::newRow("crossed tags") << QByteArray("<rss><channel><title>&</channel></title></rss>")
                                  << QStringList{failed};
    QTest::newRow("not a feed at all")
        << QByteArray("<html><body>Moved & gone") << QStringList{failed};
    QTest::newRow("empty file") << QByteArray() << QStringList{failed};
    QTest::newRow("well-formed") << QByteArray("<rss><channel><title>T</title></channel></rss>")
                                 << QStringList();
}

void tst_RepairPodcast::offer_noOrNothingToRepair_endsAsToday() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, shown);
    QTemporaryDir dir;
    const QString path = write(dir, bytes);
    PodcastDocument document;
    ScriptedMessageService messages;
    messages.answers = {Answer::No};
    RecordingErrorReporter errors;
    const bool loaded = loadPodcastFile(path, document, messages, errors, RepairOffer::Ask);
    QCOMPARE(messages.texts(), shown);
    QCOMPARE(loaded, shown.isEmpty());
    QCOMPARE(document.isBlank(), !loaded);
    if (!loaded)
        QVERIFY(!document.DocumentChanged());
    QCOMPARE(readAll(path), bytes);
}

void tst_RepairPodcast::saveAfterRepair_strictlyLoadableWithSameEpisodes() {
    QTemporaryDir dir;
    const QString path = write(dir, Almost);
    PodcastDocument document;
    ScriptedMessageService messages;
    messages.answers = {Answer::Yes};
    RecordingErrorReporter errors;
    QVERIFY(loadPodcastFile(path, document, messages, errors, RepairOffer::Ask));

    const QString saved = dir.filePath(QStringLiteral("Saved.xml"));
    ScriptedFileDialogs dialogs;
    dialogs.paths = {saved};
    SaveServices services{dialogs, messages, errors};
    QVERIFY(SavePodcast(document, services));
    const QByteArray written = readAll(saved);
    QCOMPARE(XmlDocument::checkWellFormed(written), QString());

    PodcastDocument reloaded;
    ScriptedMessageService quiet;
    QVERIFY(loadPodcastFile(saved, reloaded, quiet, errors));
    QVERIFY(quiet.shown.isEmpty());
    QCOMPARE(reloaded.episodes(), document.episodes());
    for (int i = 0; i < ChannelField::Count; ++i)
        QCOMPARE(reloaded.field(i), document.field(i));
    QVERIFY(errors.reports.isEmpty());
}

void tst_RepairPodcast::changeList_firstFiftyThenCount() {
    QList<RepairPodcast::Change> changes;
    for (int line = 1; line <= 53; ++line)
        changes.append({line, u"&"_qs, u"&amp;"_qs, u"bare & escaped"_qs});
    const QStringList lines = RepairPodcast::changeList(changes).split(u'\n');
    QCOMPARE(lines.size(), 51);
    QCOMPARE(lines[49], u"line 50: \"&\" \u2192 \"&amp;\": bare & escaped"_qs);
    QCOMPARE(lines[50], u"and 3 more changes."_qs);
    QCOMPARE(RepairPodcast::changeList(changes.mid(0, 51)).split(u'\n').last(),
             u"and 1 more change."_qs);
    QCOMPARE(RepairPodcast::changeList(changes.mid(0, 50)).split(u'\n').size(), 50);
}

QTEST_GUILESS_MAIN(tst_RepairPodcast)
#include "tst_repairpodcast.moc"
