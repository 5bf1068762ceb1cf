#include "feed/FeedFault.h"
#include "feed/FeedText.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include <QTest>

// A refused save names the value that broke the feed and how to write it.
using namespace Qt::StringLiterals;

class tst_FeedFault : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void locate_namesFieldOrEpisodeAndColumn_data();
    void locate_namesFieldOrEpisodeAndColumn();
    void locate_agreesWithTheCheck_data();
    void locate_agreesWithTheCheck();
    void locate_manyPrefixes_blamesTheRootPastItsLimit_data();
    void locate_manyPrefixes_blamesTheRootPastItsLimit();
    void problem_sameFromUtf8_data();
    void problem_sameFromUtf8();
};

namespace {
struct Setup {
    int field = -1;        // a channel field to set, or -1
    qsizetype episode = 0; // an episode (1-based) whose column to set, or 0
    int column = 0;
    QString value;
    QByteArray extra; // kept content of episode 2
};

void fill(PodcastDocument &document, const Setup &setup) {
    document.setField(ChannelField::Title, QStringLiteral("Show"));
    for (int n = 1; n <= 3; ++n)
        document.appendEpisode(QStringLiteral("Episode %1").arg(n));
    if (setup.field >= 0)
        document.setField(setup.field, setup.value);
    if (setup.episode > 0)
        document.setEpisodeColumn(setup.episode, setup.column, setup.value);
    if (!setup.extra.isEmpty()) {
        Episode episode = document.episode(2);
        episode.setExtra(setup.extra);
        document.setEpisode(2, episode);
    }
}
} // namespace

void tst_FeedFault::locate_namesFieldOrEpisodeAndColumn_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<qsizetype>("episode");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QString>("expected");
    using E = EpisodeColumn::Index;
    const QByteArray none;
    QTest::newRow("bare ampersand in an episode title")
        << -1 << qsizetype(3) << int(E::Title) << u"Tom & Jerry"_qs << none
        << u"Episode 3, Title: \"&\" must be written as \"&amp;\"."_qs;
    QTest::newRow("less-than in the podcast description")
        << int(ChannelField::Description) << qsizetype(0) << 0 << u"a < b"_qs << none
        << u"Description: \"<\" must be written as \"&lt;\"."_qs;
    QTest::newRow("quotation mark in an enclosure address")
        << -1 << qsizetype(1) << int(E::Url) << u"https://x.org/a\"b.mp3"_qs << none
        << u"Episode 1, URL: '\"' must be written as \"&quot;\"."_qs;
    QTest::newRow("HTML name in the category")
        << int(ChannelField::Category) << qsizetype(0) << 0 << u"Caf&eacute;"_qs << none
        << u"Category: \"&eacute;\" is not an XML reference; write the character itself."_qs;
    QTest::newRow("control character in a GUID")
        << -1 << qsizetype(2) << int(E::Guid) << u"a\u0001b"_qs << none
        << u"Episode 2, GUID: the character U+0001 is not allowed in XML."_qs;
    QTest::newRow("broken More Tags of an episode")
        << -1 << qsizetype(0) << 0 << QString() << QByteArray("<podcast:locked>yes")
        << u"Episode 2, More Tags: "_qs;
    // Held markup of a loaded feed is fine while it is whole.
    QTest::newRow("whole markup is no fault")
        << int(ChannelField::Description) << qsizetype(0) << 0 << u"<b>bold</b> &amp; &#8217;"_qs
        << none << QString();
}

void tst_FeedFault::locate_namesFieldOrEpisodeAndColumn() {
    QFETCH(int, field);
    QFETCH(qsizetype, episode);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QByteArray, extra);
    QFETCH(QString, expected);
    PodcastDocument document;
    fill(document, {field, episode, column, value, extra});
    const QString located = FeedFault::locate(document);
    if (expected.endsWith(u' '))
        QVERIFY2(located.startsWith(expected), qPrintable(located));
    else
        QCOMPARE(located, expected);
}

// Whatever the locator blames, the whole text must really be refused, and
// whatever it passes must really be well-formed.
void tst_FeedFault::locate_agreesWithTheCheck_data() {
    QTest::addColumn<QString>("value");
    for (const char *value :
         {"plain", "a & b", "a &amp; b", "&#38;", "&#0;", "&#x1F600;", "<i>x</i>", "<i>x", "]]>",
          "x > y", "&nbsp;", "\"quoted\"", "&lt;&gt;"})
        QTest::newRow(value) << QString::fromUtf8(value);
}

void tst_FeedFault::locate_agreesWithTheCheck() {
    QFETCH(QString, value);
    for (const int column : {int(EpisodeColumn::Summary), int(EpisodeColumn::Type)}) {
        PodcastDocument document;
        fill(document, {-1, 2, column, value, {}});
        const bool wellFormed =
            XmlDocument::checkWellFormed(FeedText::buildUtf8(document, u"now"_qs)).isEmpty();
        QCOMPARE(FeedFault::locate(document).isEmpty(), wellFormed);
    }
}

// The root declares every prefix; only when they are more than one element
// may hold is the root at fault, never the blocks that use them.
void tst_FeedFault::problem_sameFromUtf8_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << u"Zürich — 東京, \"quoted\""_s;
    QTest::newRow("bare ampersand") << u"Q & A"_s;
    QTest::newRow("reference") << u"Q &amp; A &#8217;"_s;
    QTest::newRow("HTML name") << u"caf&eacute;"_s;
    QTest::newRow("whole markup") << u"<p>one</p>"_s;
    QTest::newRow("broken markup") << u"1 < 2"_s;
    QTest::newRow("end of CDATA") << u"a]]>b"_s;
    QTest::newRow("control character") << u"a\u0001b"_s;
    QTest::newRow("tab and line ends") << u"a\tb\r\nc"_s;
    QTest::newRow("U+FFFE") << u"a\uFFFEb"_s;
    QTest::newRow("full-width letter") << u"\uFF21"_s;
    QTest::newRow("beyond the BMP") << u"\U0001F399"_s;
}

void tst_FeedFault::problem_sameFromUtf8() {
    QFETCH(QString, value);
    for (const bool attribute : {false, true})
        QCOMPARE(FeedFault::problem(QByteArrayView(value.toUtf8()), attribute),
                 FeedFault::problem(value, attribute));
}

void tst_FeedFault::locate_manyPrefixes_blamesTheRootPastItsLimit_data() {
    QTest::addColumn<int>("prefixes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("5,000") << 5000 << QString();
    // With itunes, as many as are taken.
    QTest::newRow("5,999") << 5999 << QString();
    QTest::newRow("6,000")
        << 6000 << u"The root element declares 6001 namespace prefixes; at most 6000 are taken."_qs;
}

void tst_FeedFault::locate_manyPrefixes_blamesTheRootPastItsLimit() {
    QFETCH(int, prefixes);
    QFETCH(QString, expected);
    PodcastDocument::Namespaces namespaces;
    for (int n = 0; n < prefixes; ++n)
        namespaces.append({u"p"_qs + QString::number(n), u"urn:"_qs + QString::number(n)});
    PodcastDocument document;
    fill(document, {-1, 0, 0, {}, "<p" + QByteArray::number(prefixes - 1) + ":x>1</p0:x>"});
    document.setNamespaces(namespaces);
    // The block itself is broken: it is named while the root holds.
    if (expected.isEmpty())
        QVERIFY(FeedFault::locate(document).startsWith(u"Episode 2, More Tags: "_qs));

    Episode episode = document.episode(2);
    episode.setExtra("<p" + QByteArray::number(prefixes - 1) + ":x>1</p" +
                     QByteArray::number(prefixes - 1) + ":x>");
    document.setEpisode(2, episode);
    QCOMPARE(FeedFault::locate(document), expected);
    const bool wellFormed =
        XmlDocument::checkWellFormed(FeedText::buildUtf8(document, u"now"_qs)).isEmpty();
    QCOMPARE(wellFormed, expected.isEmpty());
}

QTEST_GUILESS_MAIN(tst_FeedFault)
#include "tst_feedfault.moc"
