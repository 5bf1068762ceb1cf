#include "feed/FeedCheck.h"
#include "feed/FeedFix.h"
#include "model/PodcastDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_FeedFix : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fix_mendsItsFindingOnly_data();
    void fix_mendsItsFindingOnly();
    void fixAll_mendsEveryFindingOfTheRule();
    void unsafe_offersNoFix_data();
    void unsafe_offersNoFix();
    void mediaBesideFeed_givesLengthAndDuration();
    void refusal_fixedOnlyWhenEverythingIsMended();
};

namespace {
Episode episode(int number) {
    Episode e;
    const QString n = QString::number(number);
    e[EpisodeColumn::Title] = u"Episode "_qs + n;
    e[EpisodeColumn::Url] = u"https://example.org/audio/"_qs + n + u".mp3"_qs;
    e[EpisodeColumn::Type] = u"audio/mpeg"_qs;
    e[EpisodeColumn::Length] = u"1234"_qs;
    e[EpisodeColumn::Guid] = u"https://example.org/e/"_qs + n;
    e[EpisodeColumn::PubDate] = u"Mon, 05 Feb 2024 06:00:00 +0000"_qs;
    e[EpisodeColumn::Explicit] = u"false"_qs;
    return e;
}

void fill(PodcastDocument &document, int episodes) {
    document.setField(ChannelField::Title, u"Owls"_qs);
    QList<Episode> list;
    for (int n = 1; n <= episodes; ++n)
        list.append(episode(n));
    document.appendEpisodes(list);
    document.setChannelExtra("<itunes:explicit>false</itunes:explicit>");
}

const FeedFinding *findingOf(const QList<FeedFinding> &findings, const QString &rule) {
    for (const FeedFinding &finding : findings) {
        if (finding.rule == rule)
            return &finding;
    }
    return nullptr;
}

// A document with the same value broken in episodes 1 and 2 (or the
// channel), fixed at the first finding.
struct FixCase {
    int column = -1; // episode column broken, or -1
    int field = -1;  // channel field broken, or -1
    QString value;
    QByteArray channelExtra = "<itunes:explicit>false</itunes:explicit>";
    QByteArray firstExtra;
};
} // namespace
Q_DECLARE_METATYPE(FixCase)

void tst_FeedFix::fix_mendsItsFindingOnly_data() {
    QTest::addColumn<QString>("rule");
    QTest::addColumn<FixCase>("broken");
    QTest::addColumn<QString>("fixedValue");
    QTest::addColumn<QByteArray>("fixedChannelExtra");
    QTest::addColumn<QByteArray>("fixedFirstExtra");
    const QByteArray explicitFalse = "<itunes:explicit>false</itunes:explicit>";
    QTest::newRow("yes is true") << u"explicit-legacy"_qs
                                 << FixCase{EpisodeColumn::Explicit, -1, u"Yes"_qs} << u"true"_qs
                                 << explicitFalse << QByteArray();
    QTest::newRow("clean is false")
        << u"explicit-legacy"_qs << FixCase{EpisodeColumn::Explicit, -1, u"clean"_qs} << u"false"_qs
        << explicitFalse << QByteArray();
    QTest::newRow("bare ampersand in a title")
        << u"save-refused"_qs << FixCase{EpisodeColumn::Title, -1, u"Q&A &amp; more"_qs}
        << u"Q&amp;A &amp; more"_qs << explicitFalse << QByteArray();
    QTest::newRow("quotation mark in an address")
        << u"save-refused"_qs
        << FixCase{EpisodeColumn::Url, -1, u"https://example.org/\"1\".mp3"_qs}
        << u"https://example.org/&quot;1&quot;.mp3"_qs << explicitFalse << QByteArray();
    QTest::newRow("bare ampersand in a channel field")
        << u"save-refused"_qs << FixCase{-1, ChannelField::Description, u"Tips & tricks"_qs}
        << u"Tips &amp; tricks"_qs << explicitFalse << QByteArray();
    QTest::newRow("channel explicit no")
        << u"channel-explicit-value"_qs
        << FixCase{-1, -1, {}, "<itunes:explicit>no</itunes:explicit>"} << QString()
        << explicitFalse << QByteArray();
    QTest::newRow("channel explicit missing, no episode explicit")
        << u"channel-explicit-missing"_qs << FixCase{-1, -1, {}, QByteArray()} << QString()
        << explicitFalse << QByteArray();
    QTest::newRow("channel explicit missing, an episode explicit")
        << u"channel-explicit-missing"_qs
        << FixCase{EpisodeColumn::Explicit, -1, u"true"_qs, QByteArray()} << u"true"_qs
        << QByteArray("<itunes:explicit>true</itunes:explicit>") << QByteArray();
    QTest::newRow("itunes:title after a new Title")
        << u"itunes-title"_qs
        << FixCase{-1, -1, {}, explicitFalse, "<itunes:title>Old name</itunes:title>"} << QString()
        << explicitFalse << QByteArray("<itunes:title>Episode 1</itunes:title>");
}

void tst_FeedFix::fix_mendsItsFindingOnly() {
    QFETCH(QString, rule);
    QFETCH(FixCase, broken);
    QFETCH(QString, fixedValue);
    QFETCH(QByteArray, fixedChannelExtra);
    QFETCH(QByteArray, fixedFirstExtra);
    PodcastDocument document;
    fill(document, 2);
    document.setChannelExtra(broken.channelExtra);
    if (broken.field >= 0)
        document.setField(broken.field, broken.value);
    for (qsizetype n : {1, 2}) {
        if (broken.column >= 0)
            document.setEpisodeColumn(n, broken.column, broken.value);
        document.setEpisodeExtra(n, broken.firstExtra);
    }
    const QList<FeedFinding> findings = FeedCheck::check(document);
    const FeedFinding *finding = findingOf(findings, rule);
    QVERIFY(finding);
    QVERIFY(FeedFix::canFix(document, *finding, {}));
    const std::optional<PodcastContent> fixed = FeedFix::fix(document, *finding, {});
    QVERIFY(fixed);
    if (broken.field >= 0)
        QCOMPARE(fixed->fields[size_t(broken.field)], fixedValue);
    if (broken.column >= 0) {
        QCOMPARE(fixed->episodes[0][broken.column], fixedValue);
        // Only the finding's own place: Fix All is for the rest.
        QCOMPARE(fixed->episodes[1][broken.column],
                 rule == u"channel-explicit-missing" ? fixedValue : broken.value);
    }
    QCOMPARE(fixed->channelExtra, fixedChannelExtra);
    if (!broken.firstExtra.isEmpty()) {
        QCOMPARE(fixed->episodes[0].extra(), fixedFirstExtra);
        QCOMPARE(fixed->episodes[1].extra(), broken.firstExtra);
    }
    // The fixed feed no longer has the finding there.
    PodcastDocument after;
    after.replaceContent(*fixed);
    for (const FeedFinding &left : FeedCheck::check(after))
        QVERIFY2(!(left.rule == rule && left.place == finding->place), qPrintable(left.message));
}

void tst_FeedFix::fixAll_mendsEveryFindingOfTheRule() {
    // More than a check lists of one rule: Fix All reaches those left out.
    PodcastDocument document;
    fill(document, FeedCheck::FindingsPerRule + 50);
    for (qsizetype n = 1; n <= document.episodeCount(); ++n)
        document.setEpisodeColumn(n, EpisodeColumn::Explicit, n % 2 ? u"no"_qs : u"yes"_qs);
    const QList<FeedFinding> findings = FeedCheck::check(document);
    const FeedFinding *finding = findingOf(findings, u"explicit-legacy"_qs);
    QVERIFY(finding);
    const std::optional<PodcastContent> fixed =
        FeedFix::fixAll(document, finding->rule, FeedFix::Context());
    QVERIFY(fixed);
    for (qsizetype n = 1; n <= document.episodeCount(); ++n)
        QCOMPARE(fixed->episodes[n - 1][EpisodeColumn::Explicit], n % 2 ? u"false"_qs : u"true"_qs);
    QVERIFY(!FeedFix::fixAll(document, u"no-such-rule"_qs, FeedFix::Context()));
}

void tst_FeedFix::unsafe_offersNoFix_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("rule");
    // The character meant is the user's to choose.
    QTest::newRow("HTML name") << int(EpisodeColumn::Title) << u"Caf&eacute;"_qs
                               << u"save-refused"_qs;
    QTest::newRow("broken markup")
        << int(EpisodeColumn::Summary) << u"<b>bold"_qs << u"save-refused"_qs;
    QTest::newRow("no media file beside an unsaved feed")
        << int(EpisodeColumn::Length) << u""_qs << u"enclosure-length"_qs;
}

void tst_FeedFix::unsafe_offersNoFix() {
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, rule);
    PodcastDocument document;
    fill(document, 1);
    document.setEpisodeColumn(1, column, value);
    const QList<FeedFinding> findings = FeedCheck::check(document);
    const FeedFinding *finding = findingOf(findings, rule);
    QVERIFY(finding);
    QVERIFY(!FeedFix::canFix(document, *finding, {}));
    QVERIFY(!FeedFix::fix(document, *finding, {}));
}

void tst_FeedFix::mediaBesideFeed_givesLengthAndDuration() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(qEnvironmentVariable("BRINDLEWOOD_TEST_DATA") + u"/media/untagged.mp3"_qs,
                        dir.filePath(u"Episode 1.mp3"_qs)));
    PodcastDocument document;
    fill(document, 2);
    document.setEpisodeColumn(1, EpisodeColumn::Url, u"https://example.org/a/Episode%201.mp3"_qs);
    document.setEpisodeColumn(1, EpisodeColumn::Length, u"0"_qs);
    document.setEpisodeColumn(2, EpisodeColumn::Length, u""_qs); // no file beside the feed
    const QList<FeedFinding> findings = FeedCheck::check(document);
    const FeedFinding *zero = findingOf(findings, u"enclosure-length-zero"_qs);
    const FeedFinding *missing = findingOf(findings, u"enclosure-length"_qs);
    QVERIFY(zero && missing);
    const FeedFix::Context context{dir.path()};
    QVERIFY(FeedFix::canFix(document, *zero, context));
    QVERIFY(!FeedFix::canFix(document, *missing, context));
    const std::optional<PodcastContent> fixed = FeedFix::fix(document, *zero, context);
    QVERIFY(fixed);
    QCOMPARE(fixed->episodes[0][EpisodeColumn::Length], u"3384"_qs);
    QCOMPARE(fixed->episodes[0][EpisodeColumn::Duration], u"00:00:03"_qs);
    QCOMPARE(fixed->episodes[1][EpisodeColumn::Length], u""_qs);
}

void tst_FeedFix::refusal_fixedOnlyWhenEverythingIsMended() {
    PodcastDocument document;
    fill(document, 2);
    document.setField(ChannelField::Description, u"Tips & tricks"_qs);
    document.setEpisodeColumn(2, EpisodeColumn::Title, u"Q&A"_qs);
    std::optional<PodcastContent> fixed = FeedFix::fixRefusal(document);
    QVERIFY(fixed);
    QCOMPARE(fixed->fields[ChannelField::Description], u"Tips &amp; tricks"_qs);
    QCOMPARE(fixed->episodes[1][EpisodeColumn::Title], u"Q&amp;A"_qs);
    document.setEpisodeColumn(1, EpisodeColumn::Title, u"Caf&eacute;"_qs);
    QVERIFY(!FeedFix::fixRefusal(document));
}

QTEST_GUILESS_MAIN(tst_FeedFix)
#include "tst_feedfix.moc"
