#include "feed/FeedSource.h"
#include "feed/LoadPodcast.h"
#include "feed/SourceFeedText.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include "support/FeedFiles.h"
#include "support/RecordingErrorReporter.h"
#include "support/ScriptedMessageService.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using FeedFiles::withoutBuildDate;

// A loaded feed is saved as its own text with only what changed replaced.
class tst_SourceFeedText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void unedited_keepsEveryByteButTheBuildDate_data();
    void unedited_keepsEveryByteButTheBuildDate();
    void secondSave_givesTheSameBytes_data();
    void secondSave_givesTheSameBytes();
    void oneEdit_changesOnlyItsOwnLine_data();
    void oneEdit_changesOnlyItsOwnLine();
    void missingValue_insertsOneElementAtItsPlace_data();
    void missingValue_insertsOneElementAtItsPlace();
    void emptiedElement_staysEmpty_missingEmptyOneIsNotWritten();
    void removedEpisode_goesWithItsLine();
    void movedEpisodes_takeTheirText();
    void addedEpisode_followsTheFilesLayout();
    void textValuedCategoryAndImage_keptUntilTyped();
    void feedWithoutItunes_declaresThePrefixWhenNeeded();
    void laterLoad_bringsNoChannelContent();
    void latin1Feed_writtenAsUtf8();
    void changedChannelTags_fallBackToTheFixedLayout();
    void byteOrderMarkBeforeAnotherEncoding_editedSaveIsUtf8();

private:
    QTemporaryDir m_dir;
};

namespace {
const QString BuildDate = u"Wed, 09 Dec 2026 12:00:00 +0000"_s;

// Two blanks, LF, CDATA and escaped show notes, single quotes, a comment
// between items and one item without a title.
const QByteArray TwoSpaces =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\" xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
    "     xmlns:content=\"http://purl.org/rss/1.0/modules/content/\">\n"
    "  <channel>\n"
    "    <title>Kettle &amp; Crumb</title>\n"
    "    <link>https://kettle.example.org/</link>\n"
    "    <lastBuildDate>Mon, 01 Jan 2024 10:00:00 +0000</lastBuildDate>\n"
    "    <description><![CDATA[<p>Baking, slowly.</p>]]></description>\n"
    "    <itunes:image href='https://kettle.example.org/art.jpg'/>\n"
    "    <item>\n"
    "      <title>Sourdough</title>\n"
    "      <description>&lt;b&gt;Starter&lt;/b&gt; notes</description>\n"
    "      <content:encoded><![CDATA[<p>Long notes.</p>]]></content:encoded>\n"
    "      <enclosure url='https://kettle.example.org/2.mp3' length='200' type='audio/mpeg'/>\n"
    "      <guid isPermaLink='false'>kc-2</guid>\n"
    "      <pubDate>Tue, 02 Jan 2024 10:00:00 +0000</pubDate>\n"
    "    </item>\n"
    "    <!-- older episodes below -->\n"
    "    <item>\n"
    "      <title>Rye</title>\n"
    "      <enclosure url='https://kettle.example.org/1.mp3' length='100' type='audio/mpeg'/>\n"
    "      <guid isPermaLink='false'>kc-1</guid>\n"
    "    </item>\n"
    "    <item><description>A trailer without a title</description></item>\n"
    "    <item>\n"
    "      <title>Pilot</title>\n"
    "      <guid isPermaLink='false'>kc-0</guid>\n"
    "    </item>\n"
    "  </channel>\n"
    "</rss>\n";

// Tabs, CR LF, elements in an unusual order, no build date, a text-valued
// category and image.
const QByteArray TabsCrLf =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" version=\"2.0\">\r\n"
    "<channel>\r\n"
    "\t<itunes:image>https://tabs.example.net/art.png</itunes:image>\r\n"
    "\t<itunes:category>History</itunes:category>\r\n"
    "\t<description>Old maps &#8211; read aloud.</description>\r\n"
    "\t<title>Mapmakers</title>\r\n"
    "\t<itunes:owner>\r\n"
    "\t\t<itunes:email>maps@tabs.example.net</itunes:email>\r\n"
    "\t</itunes:owner>\r\n"
    "\t<item>\r\n"
    "\t\t<guid>https://tabs.example.net/2</guid>\r\n"
    "\t\t<title>The Coast</title>\r\n"
    "\t\t<itunes:duration>31:00</itunes:duration>\r\n"
    "\t</item>\r\n"
    "\t<item>\r\n"
    "\t\t<title>The Hills</title>\r\n"
    "\t\t<itunes:explicit>no</itunes:explicit>\r\n"
    "\t</item>\r\n"
    "</channel>\r\n"
    "</rss>";

// Plain RSS: no itunes: element and no itunes prefix.
const QByteArray PlainRss = "<?xml version=\"1.0\"?>\n"
                            "<rss version=\"2.0\">\n"
                            "  <channel>\n"
                            "    <title>Plain</title>\n"
                            "    <link>https://plain.example.com/</link>\n"
                            "    <description>No extensions.</description>\n"
                            "    <item>\n"
                            "      <title>One</title>\n"
                            "      <link>https://plain.example.com/1</link>\n"
                            "    </item>\n"
                            "  </channel>\n"
                            "</rss>\n";

QByteArray latin1Feed() {
    return QString(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                   "<rss version=\"2.0\">\n"
                   "  <channel>\n"
                   "    <title>Bahnh\u00f6fe</title>\n"
                   "    <description>G\u00f6ttingen-S\u00fcd, Gleis 3.</description>\n"
                   "    <item>\n"
                   "      <title>B\u00e4ckerei</title>\n"
                   "    </item>\n"
                   "  </channel>\n"
                   "</rss>\n"_s)
        .toLatin1();
}

QList<QByteArray> linesOf(const QByteArray &text) {
    return text.split('\n');
}
} // namespace

class Loaded {
public:
    explicit Loaded(const QByteArray &bytes, const QString &folder) {
        static int counter = 0;
        path = folder + u"/feed%1.xml"_s.arg(++counter);
        FeedFiles::writeAll(path, bytes);
        load(path);
    }
    void load(const QString &file) {
        QVERIFY(loadPodcastFile(file, document, messages, errors));
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join(u'\n')));
    }
    QByteArray save() const {
        const QByteArray bytes = SourceFeedText::buildUtf8(document, BuildDate);
        // A save writes the same text in pieces.
        if (SourceFeedText::buildPieces(document, BuildDate).joined() != bytes)
            QTest::qFail("the pieces a save writes differ from the text", __FILE__, __LINE__);
        const QString problem = XmlDocument::checkWellFormed(bytes);
        if (!problem.isEmpty())
            qWarning("%s\n%s", qPrintable(problem), bytes.constData());
        return bytes;
    }
    QString path;
    PodcastDocument document;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
};

void tst_SourceFeedText::unedited_keepsEveryByteButTheBuildDate_data() {
    QTest::addColumn<QByteArray>("feed");
    QTest::newRow("two blanks, LF") << TwoSpaces;
    QTest::newRow("tabs, CR LF") << TabsCrLf;
    QTest::newRow("plain RSS") << PlainRss;
}

void tst_SourceFeedText::unedited_keepsEveryByteButTheBuildDate() {
    QFETCH(QByteArray, feed);
    Loaded loaded(feed, m_dir.path());
    QVERIFY(loaded.document.source());
    const QByteArray saved = loaded.save();
    QCOMPARE(withoutBuildDate(saved), withoutBuildDate(feed));
    QCOMPARE(saved.count("<lastBuildDate>" + BuildDate.toUtf8() + "</lastBuildDate>"), 1);
    // One line at most is added, at the top of the channel.
    QVERIFY(linesOf(saved).size() - linesOf(feed).size() <= 1);
}

void tst_SourceFeedText::secondSave_givesTheSameBytes_data() {
    unedited_keepsEveryByteButTheBuildDate_data();
    QTest::newRow("ISO-8859-1") << latin1Feed();
}

void tst_SourceFeedText::secondSave_givesTheSameBytes() {
    QFETCH(QByteArray, feed);
    Loaded first(feed, m_dir.path());
    first.document.setField(ChannelField::Copyright,
                            u"\u00a9 2026 & co\r\nline two"_s.replace(u"&"_s, u"&amp;"_s));
    const QByteArray once = first.save();
    Loaded second(once, m_dir.path());
    QCOMPARE(second.save(), once);
    QCOMPARE(second.document.field(ChannelField::Copyright),
             first.document.field(ChannelField::Copyright));
}

void tst_SourceFeedText::oneEdit_changesOnlyItsOwnLine_data() {
    QTest::addColumn<QByteArray>("feed");
    QTest::addColumn<int>("field");   // -1 for a column
    QTest::addColumn<int>("episode"); // 1-based
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("channel title")
        << TwoSpaces << int(ChannelField::Title) << 0 << 0 << u"Kettle &amp; Loaf"_s
        << QByteArray("    <title>Kettle &amp; Loaf</title>");
    QTest::newRow("CDATA description becomes text")
        << TwoSpaces << int(ChannelField::Description) << 0 << 0 << u"&lt;p&gt;New&lt;/p&gt;"_s
        << QByteArray("    <description>&lt;p&gt;New&lt;/p&gt;</description>");
    QTest::newRow("single-quoted image")
        << TwoSpaces << int(ChannelField::ImageLink) << 0 << 0 << u"https://k.example/it's.png"_s
        << QByteArray("    <itunes:image href='https://k.example/it&apos;s.png'/>");
    QTest::newRow("episode 2 guid")
        << TwoSpaces << -1 << 2 << int(EpisodeColumn::Guid) << u"kc-1b"_s
        << QByteArray("      <guid isPermaLink='false'>kc-1b</guid>");
    QTest::newRow("enclosure type, attributes out of order")
        << TwoSpaces << -1 << 1 << int(EpisodeColumn::Type) << u"audio/x-m4a"_s
        << QByteArray("      <enclosure url='https://kettle.example.org/2.mp3' length='200' "
                      "type='audio/x-m4a'/>");
    QTest::newRow("tabs, episode explicit")
        << TabsCrLf << -1 << 2 << int(EpisodeColumn::Explicit) << u"false"_s
        << QByteArray("\t\t<itunes:explicit>false</itunes:explicit>\r");
    QTest::newRow("owner e-mail")
        << TabsCrLf << int(ChannelField::OwnerEmail) << 0 << 0 << u"atlas@tabs.example.net"_s
        << QByteArray("\t\t<itunes:email>atlas@tabs.example.net</itunes:email>\r");
}

void tst_SourceFeedText::oneEdit_changesOnlyItsOwnLine() {
    QFETCH(QByteArray, feed);
    QFETCH(int, field);
    QFETCH(int, episode);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    Loaded loaded(feed, m_dir.path());
    const QList<QByteArray> before = linesOf(loaded.save());
    if (field >= 0)
        loaded.document.setField(field, value);
    else
        loaded.document.setEpisodeColumn(episode, column, value);
    const QList<QByteArray> after = linesOf(loaded.save());
    QCOMPARE(after.size(), before.size());
    QList<QByteArray> changed;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (after[i] != before[i])
            changed.append(after[i]);
    }
    QCOMPARE(changed, QList<QByteArray>{line});
}

void tst_SourceFeedText::missingValue_insertsOneElementAtItsPlace_data() {
    QTest::addColumn<QByteArray>("feed");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("column"); // of episode 1, when field is -1
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("previous"); // the line it follows
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("channel author after description")
        << TwoSpaces << int(ChannelField::Author) << 0 << u"Ada"_s
        << QByteArray("    <description><![CDATA[<p>Baking, slowly.</p>]]></description>")
        << QByteArray("    <itunes:author>Ada</itunes:author>");
    QTest::newRow("language after link")
        << TwoSpaces << int(ChannelField::Language) << 0 << u"en"_s
        << QByteArray("    <link>https://kettle.example.org/</link>")
        << QByteArray("    <language>en</language>");
    QTest::newRow("owner name before the e-mail's owner child, tabs")
        << TabsCrLf << int(ChannelField::OwnerName) << 0 << u"Atlas"_s
        << QByteArray("\t<itunes:owner>\r") << QByteArray("\t\t<itunes:name>Atlas</itunes:name>\r");
    QTest::newRow("episode duration after pubDate")
        << TwoSpaces << -1 << int(EpisodeColumn::Duration) << u"12:00"_s
        << QByteArray("      <pubDate>Tue, 02 Jan 2024 10:00:00 +0000</pubDate>")
        << QByteArray("      <itunes:duration>12:00</itunes:duration>");
    QTest::newRow("episode author after title, tabs")
        << TabsCrLf << -1 << int(EpisodeColumn::Author) << u"Mer"_s
        << QByteArray("\t\t<title>The Coast</title>\r")
        << QByteArray("\t\t<itunes:author>Mer</itunes:author>\r");
}

void tst_SourceFeedText::missingValue_insertsOneElementAtItsPlace() {
    QFETCH(QByteArray, feed);
    QFETCH(int, field);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QByteArray, previous);
    QFETCH(QByteArray, line);
    Loaded loaded(feed, m_dir.path());
    const QList<QByteArray> before = linesOf(loaded.save());
    if (field >= 0)
        loaded.document.setField(field, value);
    else
        loaded.document.setEpisodeColumn(1, column, value);
    QList<QByteArray> after = linesOf(loaded.save());
    const qsizetype at = after.indexOf(line);
    QVERIFY2(at > 0, line.constData());
    QCOMPARE(after[at - 1], previous);
    after.removeAt(at);
    QCOMPARE(after, before);
}

void tst_SourceFeedText::emptiedElement_staysEmpty_missingEmptyOneIsNotWritten() {
    Loaded loaded(TwoSpaces, m_dir.path());
    loaded.document.setField(ChannelField::Link, QString());
    loaded.document.setEpisodeColumn(1, EpisodeColumn::PubDate, QString());
    const QByteArray saved = loaded.save();
    QVERIFY(saved.contains("\n    <link></link>\n"));
    QVERIFY(saved.contains("\n      <pubDate></pubDate>\n"));
    // Never had: not written, though the fixed layout always writes them.
    for (const char *absent : {"<itunes:author", "<category", "<itunes:summary", "<copyright"})
        QVERIFY2(!saved.contains(absent), absent);
}

void tst_SourceFeedText::removedEpisode_goesWithItsLine() {
    Loaded loaded(TwoSpaces, m_dir.path());
    const QByteArray before = loaded.save();
    loaded.document.removeEpisode(2); // Rye
    const QByteArray after = loaded.save();
    // Items fill the places in list order: Pilot moves up to Rye's place and
    // its own lines go; the comment and the untitled item stay.
    QVERIFY(!after.contains("Rye"));
    QCOMPARE(linesOf(before).size() - linesOf(after).size(), 5); // Rye had 5, Pilot 4
    QVERIFY(after.contains(
        "    <!-- older episodes below -->\n    <item>\n      <title>Pilot</title>"));
    QVERIFY(after.contains("<item><description>A trailer without a title</description></item>\n"
                           "  </channel>"));
}

void tst_SourceFeedText::movedEpisodes_takeTheirText() {
    Loaded loaded(TwoSpaces, m_dir.path());
    const QByteArray before = loaded.save();
    QVERIFY(loaded.document.moveEpisodes(3, 1, 1)); // Pilot first
    const QByteArray after = loaded.save();
    QCOMPARE(after.size(), before.size());
    QVERIFY(after.indexOf("<title>Pilot</title>") < after.indexOf("<title>Sourdough</title>"));
    QVERIFY(after.indexOf("<title>Sourdough</title>") < after.indexOf("<title>Rye</title>"));
    QVERIFY(after.contains("<content:encoded><![CDATA[<p>Long notes.</p>]]></content:encoded>"));
    // Moving back gives the file again.
    QVERIFY(loaded.document.moveEpisodes(1, 1, 3));
    QCOMPARE(loaded.save(), before);
}

void tst_SourceFeedText::addedEpisode_followsTheFilesLayout() {
    Loaded loaded(TabsCrLf, m_dir.path());
    Episode episode;
    episode[EpisodeColumn::Title] = u"The Rivers"_s;
    episode[EpisodeColumn::Url] = u"https://tabs.example.net/3.mp3"_s;
    episode[EpisodeColumn::Type] = u"audio/mpeg"_s;
    episode[EpisodeColumn::Length] = u"3000"_s;
    episode[EpisodeColumn::Duration] = u"40:00"_s;
    loaded.document.appendEpisodes({episode});
    const QByteArray saved = loaded.save();
    const QByteArray expected = "\t</item>\r\n"
                                "\t<item>\r\n"
                                "\t\t<title>The Rivers</title>\r\n"
                                "\t\t<enclosure url=\"https://tabs.example.net/3.mp3\" "
                                "type=\"audio/mpeg\" length=\"3000\" />\r\n"
                                "\t\t<itunes:duration>40:00</itunes:duration>\r\n"
                                "\t</item>\r\n"
                                "</channel>";
    QVERIFY2(saved.contains(expected), saved.constData());
}

void tst_SourceFeedText::textValuedCategoryAndImage_keptUntilTyped() {
    Loaded loaded(TabsCrLf, m_dir.path());
    // The value is not where Apple reads it: no field, and the step report.
    QCOMPARE(loaded.document.field(ChannelField::Category), QString());
    QCOMPARE(loaded.errors.reports.size(), 2);
    QByteArray saved = loaded.save();
    QVERIFY(saved.contains("\t<itunes:category>History</itunes:category>\r\n"));
    QVERIFY(saved.contains("\t<itunes:image>https://tabs.example.net/art.png</itunes:image>\r\n"));
    loaded.document.setField(ChannelField::Category, u"History"_s);
    saved = loaded.save();
    QVERIFY(saved.contains("\t<itunes:category text=\"History\">History</itunes:category>\r\n"));
}

void tst_SourceFeedText::feedWithoutItunes_declaresThePrefixWhenNeeded() {
    Loaded loaded(PlainRss, m_dir.path());
    loaded.document.setEpisodeColumn(1, EpisodeColumn::Duration, u"5:00"_s);
    const QByteArray saved = loaded.save();
    QVERIFY(XmlDocument::checkWellFormed(saved).isEmpty());
    QVERIFY(saved.contains("<rss version=\"2.0\" xmlns:itunes=\"http://www.itunes.com/dtds/"
                           "podcast-1.0.dtd\">\n"));
    // The layout puts it after the title; link is not in the layout.
    QVERIFY(saved.contains("      <title>One</title>\n"
                           "      <itunes:duration>5:00</itunes:duration>\n"
                           "      <link>"));
}

void tst_SourceFeedText::laterLoad_bringsNoChannelContent() {
    const QByteArray other = "<?xml version=\"1.0\"?>\n"
                             "<rss version=\"2.0\" xmlns:itunes=\"http://www.itunes.com/dtds/"
                             "podcast-1.0.dtd\"><channel>"
                             "<title>Other</title><itunes:block>Yes</itunes:block>"
                             "<itunes:new-feed-url>https://elsewhere.example/</itunes:new-feed-url>"
                             "<item><title>Theirs</title></item></channel></rss>";
    Loaded loaded(TwoSpaces, m_dir.path());
    const QByteArray kept = loaded.document.channelExtra();
    Loaded second(other, m_dir.path());
    loaded.load(second.path);
    QCOMPARE(loaded.document.channelExtra(), kept);
    QCOMPARE(loaded.document.field(ChannelField::Title), u"Other"_s);
    QCOMPARE(loaded.document.episodeCount(), 4);
    const QByteArray saved = loaded.save();
    QVERIFY(!saved.contains("itunes:block"));
    QVERIFY(!saved.contains("new-feed-url"));
    QVERIFY(saved.contains("    <title>Other</title>\n"));
    QVERIFY(saved.contains("    <item>\n      <title>Theirs</title>\n    </item>\n  </channel>"));
}

void tst_SourceFeedText::latin1Feed_writtenAsUtf8() {
    const QByteArray feed = latin1Feed();
    Loaded loaded(feed, m_dir.path());
    const QByteArray saved = loaded.save();
    QByteArray expected = QString::fromLatin1(feed).toUtf8();
    expected.replace("encoding=\"ISO-8859-1\"", "encoding=\"utf-8\"");
    QCOMPARE(withoutBuildDate(saved), expected);
}

void tst_SourceFeedText::changedChannelTags_fallBackToTheFixedLayout() {
    Loaded loaded(TwoSpaces, m_dir.path());
    loaded.document.setChannelExtra(loaded.document.channelExtra() +
                                    "\n<itunes:type>serial</itunes:type>");
    const QByteArray saved = loaded.save();
    QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
    QVERIFY(saved.contains("<itunes:type>serial</itunes:type>"));
    QVERIFY(XmlDocument::checkWellFormed(saved).isEmpty());
}

// A UTF-8 byte-order mark before a declaration of Shift_JIS: the parser
// reads Shift_JIS, and so must the kept text, or an edit would put UTF-8
// into a text still declared Shift_JIS (found by fuzzing).
void tst_SourceFeedText::byteOrderMarkBeforeAnotherEncoding_editedSaveIsUtf8() {
    const QByteArray feed = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"
                            "<rss version=\"2.0\"><channel><title>\x93\xfa\x96\x7b</title>"
                            "<item><title>One</title></item></channel></rss>";
    Loaded loaded(feed, m_dir.path());
    QCOMPARE(loaded.document.field(ChannelField::Title), u"\u65e5\u672c"_s);
    loaded.document.setField(ChannelField::Title,
                             loaded.document.field(ChannelField::Title) + u"!"_s);
    const QByteArray saved = SourceFeedText::buildUtf8(loaded.document, BuildDate);
    QVERIFY(XmlDocument::checkWellFormed(saved).isEmpty());
    QVERIFY(saved.startsWith("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>"));
    QVERIFY(saved.contains("<title>\xE6\x97\xA5\xE6\x9C\xAC!</title>"));
}

QTEST_GUILESS_MAIN(tst_SourceFeedText)
#include "tst_sourcefeedtext.moc"
