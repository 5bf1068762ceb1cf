#include "feed/FeedText.h"
#include "model/PodcastDocument.h"

#include <QRegularExpression>
#include <QTest>

class tst_FeedText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneEpisode_exactGoldenText();
    void twoEpisodes_inListOrder();
    void markupCharacters_insertedUnchanged_data();
    void markupCharacters_insertedUnchanged();
    void buildUtf8_sameBytesAsEncodedText_data();
    void buildUtf8_sameBytesAsEncodedText();
};

namespace {
QString joinCrLf(const QStringList &lines) {
    return lines.join(QStringLiteral("\r\n"));
}
} // namespace

void tst_FeedText::oneEpisode_exactGoldenText() {
    PodcastDocument document;
    document.setField(ChannelField::Title, QStringLiteral("Night Owls"));
    document.setField(ChannelField::Category, QStringLiteral("Arts"));
    document.setField(ChannelField::OwnerEmail, QStringLiteral("owl@example.org"));
    document.appendEpisode(QStringLiteral("Pilot"));
    document.setEpisodeColumn(1, EpisodeColumn::Url, QStringLiteral("https://e.org/1.mp3"));
    document.setEpisodeColumn(1, EpisodeColumn::Type, QStringLiteral("audio/mpeg"));
    document.setEpisodeColumn(1, EpisodeColumn::Length, QStringLiteral("1234"));
    document.setEpisodeColumn(1, EpisodeColumn::Explicit, QStringLiteral("no"));

    const QString golden = joinCrLf({
        QString::fromUtf8(R"(<?xml version="1.0" encoding="utf-8"?>)"),
        QString::fromUtf8(
            R"(<rss xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd" version="2.0">)"),
        QString::fromUtf8(R"(     <channel>)"),
        QString::fromUtf8(
            R"(          <lastBuildDate>Mon, 07 Dec 2026 09:10:03 +0200</lastBuildDate>)"),
        QString::fromUtf8(R"(          <title>Night Owls</title>)"),
        QString::fromUtf8(R"(          <link></link>)"),
        QString::fromUtf8(R"(          <language></language>)"),
        QString::fromUtf8(R"(          <copyright></copyright>)"),
        QString::fromUtf8(R"(          <description></description>)"),
        QString::fromUtf8(R"(          <itunes:subtitle></itunes:subtitle>)"),
        QString::fromUtf8(R"(          <itunes:author></itunes:author>)"),
        QString::fromUtf8(R"(          <itunes:summary></itunes:summary>)"),
        QString::fromUtf8(R"(          <itunes:category text="Arts" />)"),
        QString::fromUtf8(R"(          <itunes:owner>)"),
        QString::fromUtf8(R"(               <itunes:name></itunes:name>)"),
        QString::fromUtf8(R"(               <itunes:email>owl@example.org</itunes:email>)"),
        QString::fromUtf8(R"(          </itunes:owner>)"),
        QString::fromUtf8(R"(          <itunes:image href="" />)"),
        QString::fromUtf8(R"(          <item>)"),
        QString::fromUtf8(R"(               <title>Pilot</title>)"),
        QString::fromUtf8(R"(               <itunes:author></itunes:author>)"),
        QString::fromUtf8(R"(               <itunes:subtitle></itunes:subtitle>)"),
        QString::fromUtf8(R"(               <itunes:summary></itunes:summary>)"),
        QString::fromUtf8(
            R"(               <enclosure url="https://e.org/1.mp3" type="audio/mpeg" length="1234" />)"),
        QString::fromUtf8(R"(               <guid></guid>)"),
        QString::fromUtf8(R"(               <pubDate></pubDate>)"),
        QString::fromUtf8(R"(               <itunes:duration></itunes:duration>)"),
        QString::fromUtf8(R"(               <itunes:keywords></itunes:keywords>)"),
        QString::fromUtf8(R"(               <itunes:explicit>no</itunes:explicit>)"),
        QString::fromUtf8(R"(               <category></category>)"),
        QString::fromUtf8(R"(          </item>)"),
        QString::fromUtf8(R"(     </channel>)"),
        QString::fromUtf8(R"(</rss>)"),
    });
    const QString text =
        FeedText::build(document, QStringLiteral("Mon, 07 Dec 2026 09:10:03 +0200"));
    QCOMPARE(text.split(QStringLiteral("\r\n")).size(), 33);
    QCOMPARE(text, golden);
    QVERIFY(text.endsWith(QStringLiteral("</rss>")));
    QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
}

void tst_FeedText::twoEpisodes_inListOrder() {
    PodcastDocument document;
    document.appendEpisode(QStringLiteral("First"));
    document.appendEpisode(QStringLiteral("Second"));
    const QString text = FeedText::build(document, QStringLiteral("x"));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 18 + 13 + 13 + 2);
    QCOMPARE(lines[18], QStringLiteral("          <item>"));
    QCOMPARE(lines[19], QStringLiteral("               <title>First</title>"));
    QCOMPARE(lines[30], QStringLiteral("          </item>"));
    QCOMPARE(lines[31], QStringLiteral("          <item>"));
    QCOMPARE(lines[32], QStringLiteral("               <title>Second</title>"));
    QCOMPARE(lines[43], QStringLiteral("          </item>"));
}

void tst_FeedText::markupCharacters_insertedUnchanged_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("ampersand in title") << int(ChannelField::Title) << QStringLiteral("Tom & Jerry")
                                        << QStringLiteral("          <title>Tom & Jerry</title>");
    QTest::newRow("less-than in description")
        << int(ChannelField::Description) << QStringLiteral("a<b")
        << QStringLiteral("          <description>a<b</description>");
    QTest::newRow("quote in image link")
        << int(ChannelField::ImageLink) << QStringLiteral("a\"b")
        << QStringLiteral("          <itunes:image href=\"a\"b\" />");
    QTest::newRow("blanks kept") << int(ChannelField::Link) << QStringLiteral("  x  ")
                                 << QStringLiteral("          <link>  x  </link>");
}

void tst_FeedText::markupCharacters_insertedUnchanged() {
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, line);
    PodcastDocument document;
    document.setField(field, value);
    const QStringList lines = FeedText::build(document, {}).split(QStringLiteral("\r\n"));
    QVERIFY2(lines.contains(line), qPrintable(lines.join(u'\n')));
}

void tst_FeedText::buildUtf8_sameBytesAsEncodedText_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("accents and CJK") << QStringLiteral("Zoë, Ærø, 東京, Москва");
    QTest::newRow("surrogate pair") << QStringLiteral("mic \U0001F399 on");
    QTest::newRow("lone high surrogate at the end") << (QStringLiteral("a") + QChar(0xD83C));
    QTest::newRow("lone low surrogate first") << (QChar(0xDF99) + QStringLiteral("b"));
    QTest::newRow("replacement character") << QStringLiteral("x\uFFFDy");
    QTest::newRow("long non-ASCII") << QStringLiteral("ü€").repeated(5000);
}

void tst_FeedText::buildUtf8_sameBytesAsEncodedText() {
    QFETCH(QString, value);
    PodcastDocument document;
    for (int i = 0; i < ChannelField::Count; ++i)
        document.setField(i, value + QString::number(i));
    for (int n = 1; n <= 3; ++n) {
        document.appendEpisode(value);
        for (int column = 1; column < EpisodeColumn::Count; ++column)
            document.setEpisodeColumn(n, column, value);
    }
    const QString date = QStringLiteral("Fri, 01 Mar 2024 06:30:00 +0000");
    QCOMPARE(FeedText::buildUtf8(document, date), FeedText::build(document, date).toUtf8());
}

QTEST_GUILESS_MAIN(tst_FeedText)
#include "tst_feedtext.moc"
