#include "feed/ApplicationFolder.h"
#include "feed/FeedSource.h"
#include "feed/LoadPodcast.h"
#include "feed/Locations.h"
#include "feed/SavePodcast.h"
#include "feed/StepGuard.h"
#include "model/PodcastDocument.h"

#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Episode)

class tst_LoadPodcast : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readingRules_data();
    void readingRules();
    void sharedText_sameValuesAsCopied_data();
    void sharedText_sameValuesAsCopied();
    void largeFile_readBesideTheParseAsFromMemory_data();
    void largeFile_readBesideTheParseAsFromMemory();
    void notLoadable_showsMessageAndChangesNothing_data();
    void notLoadable_showsMessageAndChangesNothing();
    void attributelessElement_reportedWithCommandsStep_data();
    void attributelessElement_reportedWithCommandsStep();
    void loadCommand_dialogSettingsAndCancel();
    void loadTwice_appendsAfterExistingRowsInOneBatch();
    void sampleCommand_askedFirst_data();
    void sampleCommand_askedFirst();
    void sample_loadsAndResavesSameText();
};

namespace {
QByteArray feed(const QByteArray &channel) {
    return R"(<?xml version="1.0" encoding="utf-8"?>)"
           "\r\n"
           R"(<rss xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd" version="2.0">)"
           "<channel>" +
           channel + "</channel></rss>";
}

Episode episode(std::initializer_list<std::pair<int, const char *>> columns) {
    Episode result;
    for (const auto &[column, text] : columns)
        result[column] = QString::fromUtf8(text);
    return result;
}

const QString Old = QStringLiteral("old");

// Every field "old" and one row already in the list, so additive reading shows.
void prefill(PodcastDocument &document) {
    for (int i = 0; i < ChannelField::Count; ++i)
        document.setField(i, Old);
    document.appendEpisode(QStringLiteral("Existing"));
    document.setDocumentChanged(false);
}

QString writeTemp(const QTemporaryDir &dir, const QByteArray &bytes) {
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

struct Run {
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    bool load(const QString &path, PodcastDocument &document,
              LoadCommand command = LoadCommand::LoadFile) {
        StepGuard guard(errors,
                        Locations::form1(command == LoadCommand::LoadFile ? "PushButton7_Click"
                                                                          : "PushButton8_Click"));
        return LoadPodcast(path, document, command, guard, messages);
    }
};
} // namespace

using FieldMap = QMap<int, QString>;

void tst_LoadPodcast::readingRules_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<FieldMap>("fields"); // fields that change; the rest stay "old"
    QTest::addColumn<QList<Episode>>("episodes");
    QTest::addColumn<QList<int>>("reportedSteps");
    using namespace ChannelField;
    namespace E = EpisodeColumn;

    QTest::newRow("every channel field")
        << feed("<title>T</title><link>L</link><language>en</language><copyright>C</copyright>"
                "<description>D</description><itunes:subtitle>S</itunes:subtitle>"
                "<itunes:author>A</itunes:author><itunes:summary>Y</itunes:summary>"
                R"(<itunes:category text="Arts" /><itunes:owner><itunes:name>N</itunes:name>)"
                "<itunes:email>E</itunes:email></itunes:owner>"
                R"(<itunes:image href="http://i/x.jpg" />)")
        << FieldMap{{Title, u"T"_qs},     {Link, u"L"_qs},        {Language, u"en"_qs},
                    {Copyright, u"C"_qs}, {Description, u"D"_qs}, {Subtitle, u"S"_qs},
                    {Author, u"A"_qs},    {Summary, u"Y"_qs},     {Category, u"Arts"_qs},
                    {OwnerName, u"N"_qs}, {OwnerEmail, u"E"_qs},  {ImageLink, u"http://i/x.jpg"_qs}}
        << QList<Episode>() << QList<int>();
    QTest::newRow("every episode column")
        << feed("<item><title>T</title><itunes:author>A</itunes:author>"
                "<itunes:subtitle>S</itunes:subtitle><itunes:summary>Y</itunes:summary>"
                R"(<enclosure url="u" type="audio/mpeg" length="12" /><guid>G</guid>)"
                "<pubDate>P</pubDate><itunes:duration>1:00</itunes:duration>"
                "<itunes:keywords>K</itunes:keywords><itunes:explicit>no</itunes:explicit>"
                "<category>Cat</category></item>")
        << FieldMap()
        << QList<Episode>{episode({{E::Title, "T"},
                                   {E::Author, "A"},
                                   {E::Subtitle, "S"},
                                   {E::Summary, "Y"},
                                   {E::Url, "u"},
                                   {E::Type, "audio/mpeg"},
                                   {E::Length, "12"},
                                   {E::Guid, "G"},
                                   {E::PubDate, "P"},
                                   {E::Duration, "1:00"},
                                   {E::Keywords, "K"},
                                   {E::Explicit, "no"},
                                   {E::Category, "Cat"}})}
        << QList<int>();
    QTest::newRow("missing channel summary keeps the old text")
        << feed("<title>T</title>") << FieldMap{{Title, u"T"_qs}} << QList<Episode>()
        << QList<int>();
    QTest::newRow("first match only")
        << feed("<title>one</title><title>two</title><item><title>a</title><title>b</title>"
                "<guid>g1</guid><guid>g2</guid></item>")
        << FieldMap{{Title, u"one"_qs}}
        << QList<Episode>{episode({{E::Title, "a"}, {E::Guid, "g1"}})} << QList<int>();
    QTest::newRow("category: first attribute, subcategory not read")
        << feed(
               R"(<itunes:category text="Arts"><itunes:category text="Design" /></itunes:category>)")
        << FieldMap{{Category, u"Arts"_qs}} << QList<Episode>() << QList<int>();
    // The attribute written back (text, href) wins; without it, the first.
    QTest::newRow("category: text wherever it stands")
        << feed(R"(<itunes:category label="X" text="Arts" />)") << FieldMap{{Category, u"Arts"_qs}}
        << QList<Episode>() << QList<int>();
    QTest::newRow("category: first attribute without text")
        << feed(R"(<itunes:category label="X" name="Arts" />)") << FieldMap{{Category, u"X"_qs}}
        << QList<Episode>() << QList<int>();
    QTest::newRow("image: href wherever it stands")
        << feed(R"(<itunes:image title="T" href="h" />)") << FieldMap{{ImageLink, u"h"_qs}}
        << QList<Episode>() << QList<int>();
    QTest::newRow("namespace re-declared on the category is no attribute")
        << feed(R"(<itunes:category xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd" )"
                R"(text="Arts" />)")
        << FieldMap{{Category, u"Arts"_qs}} << QList<Episode>() << QList<int>();
    QTest::newRow("image without attributes: one report, episodes still read")
        << feed("<title>T</title><itunes:image /><item><title>a</title></item>")
        << FieldMap{{Title, u"T"_qs}} << QList<Episode>{episode({{E::Title, "a"}})}
        << QList<int>{186};
    QTest::newRow("enclosure attributes in any order")
        << feed(R"(<item><title>a</title><enclosure length="9" type="t" url="u" /></item>)")
        << FieldMap()
        << QList<Episode>{episode(
               {{E::Title, "a"}, {E::Url, "u"}, {E::Type, "t"}, {E::Length, "9"}})}
        << QList<int>();
    QTest::newRow("enclosure: capitals, prefix, later one wins")
        << feed(R"(<item><title>a</title><enclosure xmlns:m="urn:m" URL="first" m:url="second" )"
                R"(TYPE="t" /></item>)")
        << FieldMap()
        << QList<Episode>{episode({{E::Title, "a"}, {E::Url, "second"}, {E::Type, "t"}})}
        << QList<int>();
    QTest::newRow("only the first enclosure")
        << feed(R"(<item><title>a</title><enclosure url="one" /><enclosure url="two" )"
                R"(type="t" length="2" /></item>)")
        << FieldMap() << QList<Episode>{episode({{E::Title, "a"}, {E::Url, "one"}})}
        << QList<int>();
    QTest::newRow("item without title skipped entirely")
        << feed("<item><guid>lost</guid><itunes:author>lost</itunes:author></item>"
                "<item><title>kept</title></item>")
        << FieldMap() << QList<Episode>{episode({{E::Title, "kept"}})} << QList<int>();
    // Held as written back: markup characters stay references, whatever
    // form they had in the file; every other character is itself.
    QTest::newRow("references held as written, white space around trimmed")
        << feed("<title>Tom &amp; Jerry &#8217;</title><description>\r\n      Deep\r\n    "
                "</description>"
                "<item><title><![CDATA[<b>x</b>]]></title></item>")
        << FieldMap{{Title, u"Tom &amp; Jerry \u2019"_qs}, {Description, u"Deep"_qs}}
        << QList<Episode>{episode({{E::Title, "&lt;b&gt;x&lt;/b&gt;"}})} << QList<int>();
    QTest::newRow("CDATA trimmed as text is")
        << feed("<item><title><![CDATA[ Episode 1 ]]></title><itunes:summary><![CDATA[\n"
                "<p>Hi</p>\n]]></itunes:summary><guid> <![CDATA[ g ]]> </guid></item>")
        << FieldMap()
        << QList<Episode>{episode(
               {{E::Title, "Episode 1"}, {E::Summary, "&lt;p&gt;Hi&lt;/p&gt;"}, {E::Guid, "g"}})}
        << QList<int>();
    QTest::newRow("other prefix: plain fields only")
        << QByteArray(R"(<rss xmlns:it="http://www.itunes.com/dtds/podcast-1.0.dtd"><channel>)"
                      "<title>T</title><it:author>A</it:author><item><title>a</title>"
                      R"(<it:author>A</it:author><enclosure url="u" /><category>c</category>)"
                      "</item></channel></rss>")
        << FieldMap{{Title, u"T"_qs}}
        << QList<Episode>{episode({{E::Title, "a"}, {E::Url, "u"}, {E::Category, "c"}})}
        << QList<int>();
    QTest::newRow("another root changes nothing")
        << QByteArray(
               "<feed><channel><title>T</title><item><title>a</title></item></channel></feed>")
        << FieldMap() << QList<Episode>() << QList<int>();
    QTest::newRow("ISO-8859-1 feed")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel>"
                      "<title>Caf\xe9</title></channel></rss>")
        << FieldMap{{Title, u"Café"_qs}} << QList<Episode>() << QList<int>();
    QTest::newRow("windows-1252 feed")
        << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?><rss><channel>"
                      "<title>\x93Quoted\x94 \x80</title></channel></rss>")
        << FieldMap{{Title, u"“Quoted” €"_qs}} << QList<Episode>() << QList<int>();
}

void tst_LoadPodcast::readingRules() {
    QFETCH(QByteArray, xml);
    QFETCH(FieldMap, fields);
    QFETCH(QList<Episode>, episodes);
    QFETCH(QList<int>, reportedSteps);
    QTemporaryDir dir;
    PodcastDocument document;
    QAbstractItemModelTester tester(&document);
    prefill(document);

    Run run;
    QVERIFY(run.load(writeTemp(dir, xml), document));
    QVERIFY(run.messages.shown.isEmpty());
    QList<int> steps;
    for (const RecordingErrorReporter::Report &report : run.errors.reports)
        steps.append(report.step);
    QCOMPARE(steps, reportedSteps);
    for (int i = 0; i < ChannelField::Count; ++i)
        QCOMPARE(document.field(i), fields.value(i, Old));
    QCOMPARE(document.DocumentChanged(), !fields.isEmpty());
    QCOMPARE(document.episodeCount(), 1 + episodes.size());
    QCOMPARE(document.episode(1)[EpisodeColumn::Title], QStringLiteral("Existing"));
    for (qsizetype n = 0; n < episodes.size(); ++n)
        QCOMPARE(document.episode(n + 2).columns(), episodes[n].columns());
}

// A file loaded into a blank document becomes its text, and values found
// in it byte for byte are held as places in it; any other value is copied.
// Either way the episode holds what a load into a filled document holds.
void tst_LoadPodcast::sharedText_sameValuesAsCopied_data() {
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<bool>("shared");      // every value found in the file's text
    QTest::addColumn<bool>("extraShared"); // and every kept node
    QTest::newRow("plain values, white space around")
        << QByteArray("<title>  Zürich — één  </title><itunes:author>Zoë</itunes:author>"
                      "<guid>g-1</guid>")
        << true << false;
    QTest::newRow("escaped ampersand stays as written")
        << QByteArray("<title>Q &amp; A</title><itunes:summary>1 &lt; 2</itunes:summary>") << true
        << false;
    QTest::newRow("character reference")
        << QByteArray("<title>Tom&#8217;s</title>") << false << false;
    QTest::newRow("raw '>'") << QByteArray("<title>t</title><itunes:summary>a > b</itunes:summary>")
                             << false << false;
    QTest::newRow("CDATA with white space around")
        << QByteArray("<title><![CDATA[ <b>x</b>\n]]></title>") << false << false;
    QTest::newRow("CDATA") << QByteArray("<title><![CDATA[<b>x</b>]]></title>") << false << false;
    QTest::newRow("CRLF") << QByteArray(
                                 "<title>t</title><itunes:summary>one\r\ntwo</itunes:summary>")
                          << false << false;
    QTest::newRow("enclosure attributes")
        << QByteArray(R"(<title>t</title><enclosure url="https://e.org/a.mp3?x=1&amp;y=2" )"
                      R"(type="audio/mpeg" length="10" />)")
        << true << false;
    QTest::newRow("reference in an attribute")
        << QByteArray(R"(<title>t</title><enclosure url="u" length="1&#48;" />)") << false << false;
    QTest::newRow("only the first title, another prefix")
        << QByteArray(R"(<title>one</title><title>two</title>)"
                      R"(<it:author xmlns:it="http://www.itunes.com/dtds/podcast-1.0.dtd">A)"
                      "</it:author>")
        << true << false;
    QTest::newRow("markup in a summary")
        << QByteArray("<title>t</title><itunes:summary><p>One <b>two</b></p></itunes:summary>")
        << true << false;
    QTest::newRow("kept elements")
        << QByteArray("<title>t</title>\n  <description><![CDATA[<p>One & two</p>]]></description>"
                      "\n  <comments>https://e.org/c</comments>"
                      R"(<itunes:image href="https://e.org/1.jpg" />)")
        << true << true;
    QTest::newRow("kept comment stays in the text")
        << QByteArray("<title>t</title><comments>c</comments><!-- note -->") << true << true;
    QTest::newRow("kept comment of a CRLF item is copied")
        << QByteArray("<title>t</title>\r\n<comments>c</comments>\r\n<!-- one\r\ntwo -->") << true
        << false;
    QTest::newRow("kept elements of a CRLF item")
        << QByteArray("<title>t</title>\r\n<comments>c</comments>\r\n<itunes:image href=\"i\" />")
        << true << true;
    QTest::newRow("kept elements of an episode with a copied value")
        << QByteArray("<title>Tom&#8217;s</title><comments>c</comments>") << false << false;
    QTest::newRow("addition to a written element is copied")
        << QByteArray(R"(<title>t</title><guid isPermaLink="false">g</guid><comments>c</comments>)")
        << true << false;
}

void tst_LoadPodcast::sharedText_sameValuesAsCopied() {
    QFETCH(QByteArray, item);
    QFETCH(bool, shared);
    QFETCH(bool, extraShared);
    // Twice, so the second item's places are not the first one's.
    const QByteArray xml =
        feed("<title>T</title><item>" + item + "</item><item>" + item + "</item>");
    QTemporaryDir dir;
    const QString path = writeTemp(dir, xml);
    PodcastDocument blank;
    PodcastDocument filled;
    prefill(filled);
    Run run;
    QVERIFY(run.load(path, blank));
    QVERIFY(run.load(path, filled));
    QVERIFY(blank.source());
    QCOMPARE(blank.episodeCount(), 2);
    const QByteArray &text = blank.source()->text();
    for (qsizetype n = 1; n <= 2; ++n) {
        const Episode &episode = blank.episode(n);
        QCOMPARE(episode.columns(), filled.episode(n + 1).columns());
        const QByteArrayView title = episode.view(EpisodeColumn::Title);
        QCOMPARE(title.data() >= text.constData() && title.data() < text.constEnd(), shared);
        QCOMPARE(episode.extra(), filled.episode(n + 1).extra());
        const QList<QByteArrayView> pieces = episode.extraPieces();
        QCOMPARE(!pieces.isEmpty() && pieces.first().data() >= text.constData() &&
                     pieces.first().data() < text.constEnd(),
                 extraShared);
    }
    QVERIFY(blank.episode(1).view(EpisodeColumn::Title).data() !=
            blank.episode(2).view(EpisodeColumn::Title).data());
}

void tst_LoadPodcast::largeFile_readBesideTheParseAsFromMemory_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR LF") << QByteArray("\r\n");
}

// A megabyte and more of items, read a piece at a time while the parse runs: an item
// that the parse reaches before the read is done must read exactly as the
// same item of a text already in memory.
void tst_LoadPodcast::largeFile_readBesideTheParseAsFromMemory() {
    QFETCH(QByteArray, lineEnd);
    QByteArray items = "<title>T</title>" + lineEnd;
    for (int i = 0; items.size() < 1200 * 1024; ++i) {
        const QByteArray n = QByteArray::number(i);
        items += "<item>" + lineEnd + "<title>Episode " + n + " &amp; more</title>" + lineEnd +
                 "<description><![CDATA[<p>" + QByteArray(i % 700, 'x') + "</p>]]></description>" +
                 lineEnd + "<enclosure url=\"https://example.org/" + n + ".mp3\" length=\"" + n +
                 "\" type=\"audio/mpeg\" />" + lineEnd +
                 "<itunes:image href=\"https://example.org/" + n + ".jpg\" />" + lineEnd +
                 "<!-- note " + n + " --></item>" + lineEnd;
    }
    const QByteArray xml = feed(items);
    QTemporaryDir dir;
    const QString path = writeTemp(dir, xml);
    PodcastDocument fromFile;
    PodcastDocument fromMemory;
    Run run;
    QVERIFY(run.load(path, fromFile));
    StepGuard guard(run.errors, Locations::form1("PushButton7_Click"));
    QVERIFY(loadPodcastText(xml, fromMemory, LoadCommand::LoadFile, guard, run.messages));
    QCOMPARE(fromFile.episodeCount(), fromMemory.episodeCount());
    QVERIFY(fromFile.episodeCount() > 500);
    for (qsizetype n = 1; n <= fromFile.episodeCount(); ++n) {
        QCOMPARE(fromFile.episode(n).columns(), fromMemory.episode(n).columns());
        QCOMPARE(fromFile.episode(n).extra(), fromMemory.episode(n).extra());
    }
    QVERIFY(fromFile.source());
    QCOMPARE(fromFile.source()->text(), xml);
}

void tst_LoadPodcast::notLoadable_showsMessageAndChangesNothing_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("relative"); // where the command is pointed
    const QByteArray good = feed("<title>T</title><item><title>a</title></item>");
    QTest::newRow("not XML") << QByteArray("just some text") << QStringLiteral("Podcast.xml");
    QTest::newRow("truncated") << good.left(good.size() - 20) << QStringLiteral("Podcast.xml");
    QTest::newRow("broken after the last item")
        << QByteArray(good).replace("</channel>", "<x></channel>") << QStringLiteral("Podcast.xml");
    QTest::newRow("NUL bytes") << QByteArray(good).replace("<title>T", QByteArray("<title>\0T", 9))
                               << QStringLiteral("Podcast.xml");
    QTest::newRow("missing file") << good << QStringLiteral("missing.xml");
    QTest::newRow("folder") << good << QStringLiteral("folder");
}

void tst_LoadPodcast::notLoadable_showsMessageAndChangesNothing() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, relative);
    QTemporaryDir dir;
    writeTemp(dir, xml);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    PodcastDocument document;
    prefill(document);
    QSignalSpy fieldSpy(&document, &PodcastDocument::fieldChanged);
    QSignalSpy rowSpy(&document, &PodcastDocument::rowsInserted);

    for (const LoadCommand command : {LoadCommand::LoadFile, LoadCommand::LoadSample}) {
        Run run;
        QVERIFY(!run.load(dir.filePath(relative), document, command));
        QCOMPARE(run.messages.texts(), QStringList{QStringLiteral("Fail to load XML.")});
        QVERIFY(!run.messages.shown.first().detail.isEmpty());
        QVERIFY(run.errors.reports.isEmpty());
    }
    QCOMPARE(fieldSpy.count(), 0);
    QCOMPARE(rowSpy.count(), 0);
    QCOMPARE(document.field(ChannelField::Title), Old);
    QCOMPARE(document.episodeCount(), 1);
    QVERIFY(!document.DocumentChanged());
}

void tst_LoadPodcast::attributelessElement_reportedWithCommandsStep_data() {
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("loadStep");
    QTest::addColumn<int>("sampleStep");
    QTest::newRow("category") << QByteArray("<itunes:category />") << int(ChannelField::Category)
                              << 168 << 162;
    QTest::newRow("image") << QByteArray("<itunes:image></itunes:image>")
                           << int(ChannelField::ImageLink) << 186 << 180;
}

void tst_LoadPodcast::attributelessElement_reportedWithCommandsStep() {
    QFETCH(QByteArray, element);
    QFETCH(int, field);
    QFETCH(int, loadStep);
    QFETCH(int, sampleStep);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Samples")));
    const QString samplePath = dir.filePath(QStringLiteral("Samples/Podcast.xml"));
    QFile sample(samplePath);
    QVERIFY(sample.open(QIODevice::WriteOnly));
    sample.write(feed(element + "<itunes:email>late</itunes:email><item><title>a</title></item>"));
    sample.close();

    PodcastDocument viaDialog;
    prefill(viaDialog);
    ScriptedFileDialogs dialogs;
    dialogs.paths = {samplePath};
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    loadPodcastCommand(viaDialog, dialogs, messages, errors);
    QCOMPARE(errors.reports.size(), 1);
    QCOMPARE(errors.reports[0].step, loadStep);
    QCOMPARE(errors.reports[0].location,
             QStringLiteral("in Fernhollow2021/08/31.Form1.PushButton7_Click "));
    QVERIFY(!errors.reports[0].description.isEmpty());
    QCOMPARE(viaDialog.field(field), Old);
    QCOMPARE(viaDialog.episodeCount(), 2);

    PodcastDocument viaSample;
    prefill(viaSample);
    ScriptedMessageService sampleMessages;
    sampleMessages.answers = {MessageService::Answer::Yes};
    RecordingErrorReporter sampleErrors;
    loadSampleCommand(viaSample, dir.path(), sampleMessages, sampleErrors);
    QCOMPARE(sampleErrors.reports.size(), 1);
    QCOMPARE(sampleErrors.reports[0].step, sampleStep);
    QCOMPARE(sampleErrors.reports[0].location,
             QStringLiteral("in Fernhollow2021/08/31.Form1.PushButton8_Click "));
    QCOMPARE(viaSample.field(field), Old);
    QCOMPARE(viaSample.episodeCount(), 2);
}

void tst_LoadPodcast::loadCommand_dialogSettingsAndCancel() {
    PodcastDocument document;
    prefill(document);
    ScriptedFileDialogs dialogs; // no path: cancelled
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    loadPodcastCommand(document, dialogs, messages, errors);
    QCOMPARE(dialogs.opened.size(), 1);
    QVERIFY(!dialogs.opened[0].save);
    QCOMPARE(dialogs.opened[0].settings.fileName, QStringLiteral("Podcast.xml"));
    QCOMPARE(dialogs.opened[0].settings.title, QStringLiteral("Open Podcast.xml"));
    QCOMPARE(dialogs.opened[0].settings.filter, QStringLiteral("Podcast.xml (*.xml)|*.xml"));
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(errors.reports.isEmpty());
    QCOMPARE(document.field(ChannelField::Title), Old);
    QCOMPARE(document.episodeCount(), 1);
}

void tst_LoadPodcast::loadTwice_appendsAfterExistingRowsInOneBatch() {
    QTemporaryDir dir;
    const QString path =
        writeTemp(dir, feed("<item><title>a</title></item><item><title>b</title></item>"
                            "<item><title>c</title></item>"));
    PodcastDocument document;
    prefill(document);
    QSignalSpy rows(&document, &PodcastDocument::rowsInserted);
    Run run;
    QVERIFY(run.load(path, document));
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows[0][1].toInt(), 1);
    QCOMPARE(rows[0][2].toInt(), 3);
    QVERIFY(run.load(path, document));
    QCOMPARE(rows.count(), 2);
    QStringList titles;
    for (const Episode &episode : document.episodes())
        titles.append(episode[EpisodeColumn::Title]);
    QCOMPARE(titles,
             (QStringList{u"Existing"_qs, u"a"_qs, u"b"_qs, u"c"_qs, u"a"_qs, u"b"_qs, u"c"_qs}));
    QVERIFY(!document.DocumentChanged()); // rows alone do not mark the document
}

void tst_LoadPodcast::sampleCommand_askedFirst_data() {
    QTest::addColumn<MessageService::Answer>("answer");
    QTest::addColumn<bool>("sampleThere");
    QTest::addColumn<QStringList>("boxes");
    const QString question = QStringLiteral(
        "Loading this sample will clear out all textboxes below. Are you sure you wish to load?");
    QTest::newRow("No") << MessageService::Answer::No << true << QStringList{question};
    QTest::newRow("Yes") << MessageService::Answer::Yes << true << QStringList{question};
    QTest::newRow("Yes, sample missing")
        << MessageService::Answer::Yes << false
        << QStringList{question, QStringLiteral("Fail to load XML.")};
}

void tst_LoadPodcast::sampleCommand_askedFirst() {
    QFETCH(MessageService::Answer, answer);
    QFETCH(bool, sampleThere);
    QFETCH(QStringList, boxes);
    QTemporaryDir dir;
    if (sampleThere) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Samples")));
        QFile sample(dir.filePath(QStringLiteral("Samples/Podcast.xml")));
        QVERIFY(sample.open(QIODevice::WriteOnly));
        sample.write(feed("<title>Sample</title><item><title>s</title></item>"));
    }
    PodcastDocument document;
    prefill(document);
    ScriptedMessageService messages;
    messages.answers = {answer};
    RecordingErrorReporter errors;
    loadSampleCommand(document, QDir::toNativeSeparators(dir.path()), messages, errors);

    QCOMPARE(messages.texts(), boxes);
    const ScriptedMessageService::Shown &asked = messages.shown.first();
    QVERIFY(asked.isQuestion);
    QVERIFY(asked.caption.isEmpty()); // the application title
    QCOMPARE(asked.buttons, MessageService::Buttons::YesNo);
    QCOMPARE(asked.defaultAnswer, MessageService::Answer::Yes);
    QVERIFY(errors.reports.isEmpty());
    const bool loaded = answer == MessageService::Answer::Yes && sampleThere;
    QCOMPARE(document.field(ChannelField::Title), loaded ? QStringLiteral("Sample") : Old);
    QCOMPARE(document.episodeCount(), loaded ? 2 : 1);
}

void tst_LoadPodcast::sample_loadsAndResavesSameText() {
    // The build puts the sample beside the executables, tests included.
    const QString folder = ApplicationFolder::path();
    const QString shipped = folder + QStringLiteral("/Samples/Podcast.xml");
    QVERIFY2(QFile::exists(shipped), qPrintable(shipped));
    QFile source(qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") +
                 QStringLiteral("/Samples/Podcast.xml"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray original = source.readAll();
    QFile copied(shipped);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), original);

    PodcastDocument document;
    ScriptedMessageService messages;
    messages.answers = {MessageService::Answer::Yes};
    RecordingErrorReporter errors;
    loadSampleCommand(document, folder, messages, errors);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(errors.reports.isEmpty());
    QVERIFY(document.episodeCount() >= 3);
    for (int i = 0; i < ChannelField::Count; ++i)
        QVERIFY2(!document.field(i).isEmpty(), qPrintable(ChannelField::caption(i)));
    for (const Episode &episode : document.episodes()) {
        for (const QString &column : episode.columns())
            QVERIFY(!column.isEmpty());
    }
    QVERIFY(
        QString::fromUtf8(original).contains(QRegularExpression(QStringLiteral("[^\\x00-\\x7f]"))));

    QTemporaryDir dir;
    const QString resaved = dir.filePath(QStringLiteral("Podcast.xml"));
    ScriptedFileDialogs dialogs;
    dialogs.paths = {resaved};
    SaveServices services{dialogs, messages, errors};
    QVERIFY(SavePodcast(document, services));
    QFile result(resaved);
    QVERIFY(result.open(QIODevice::ReadOnly));
    const QRegularExpression buildDate(QStringLiteral("<lastBuildDate>[^<]*</lastBuildDate>"));
    QCOMPARE(QString::fromUtf8(result.readAll()).remove(buildDate),
             QString::fromUtf8(original).remove(buildDate));
}

QTEST_GUILESS_MAIN(tst_LoadPodcast)
#include "tst_loadpodcast.moc"
