#include "feed/FeedCheck.h"
#include "feed/LoadPodcast.h"
#include "model/PodcastDocument.h"

#include "support/RecordingErrorReporter.h"
#include "support/ScriptedMessageService.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using Changes = QMap<int, QString>;

class tst_FeedCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void feed_givesExactlyItsFindings_data();
    void feed_givesExactlyItsFindings();
    void everyRule_hasCaseThatTripsIt();
    void rules_haveUniqueIdsAndNamedSources();
    void findings_carryTheirRulesSeverityAndSource();
    void keptContent_readByNamespaceNotPrefix_data();
    void keptContent_readByNamespaceNotPrefix();
    void repeatedTag_countedByNamespace_data();
    void repeatedTag_countedByNamespace();
    void place_readsAsTheWindowNamesIt_data();
    void place_readsAsTheWindowNamesIt();
    void loadedFeed_judgedAsItWillBeWritten_data();
    void loadedFeed_judgedAsItWillBeWritten();
    void manyFindings_firstOfEachRuleThenACount_data();
    void manyFindings_firstOfEachRuleThenACount();
    void keptContent_readAmongThousandsOfPrefixes();
    void messages_sayWhatIsWrong_data();
    void messages_sayWhatIsWrong();
    void validatorErrors_eachHaveAnError_data();
    void validatorErrors_eachHaveAnError();
};

namespace {
const QDateTime Now(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);

// One small feed: what differs from a feed that passes every rule, and the
// findings it has to produce, as "rule @ where".
struct Case {
    const char *name;
    Changes fields;
    Changes first;  // episode 1
    Changes second; // episode 2
    QByteArray channelExtra = "<itunes:explicit>false</itunes:explicit>";
    QByteArray firstExtra;
    QStringList expected;
};

const QByteArray GoodChannel = "<itunes:explicit>false</itunes:explicit>";

// The table reads one feed to a row; the formatter would spread each over a dozen lines.
// clang-format off
QList<Case> cases() {
    using namespace ChannelField;
    using E = EpisodeColumn::Index;
    return {
        {"passes every rule", {}, {}, {}, GoodChannel, {}, {}},
        {"passes: other good forms",
         {{Language, u"pt-BR"_qs},
          {Category, u"Society &amp; Culture"_qs},
          {ImageLink, u"https://example.org/art/cover.PNG?v=2"_qs},
          {Link, u"http://example.org"_qs}},
         {{E::Duration, u"3600"_qs},
          {E::Explicit, u"true"_qs},
          {E::PubDate, u"5 Feb 2024 06:00 GMT"_qs},
          {E::Type, u"audio/x-m4a"_qs},
          {E::Url, u"https://example.org/a/one.m4a"_qs}},
         {{E::Duration, u"59:59"_qs}, {E::Explicit, u"False"_qs}},
         "<itunes:explicit>true</itunes:explicit><itunes:type>episodic</itunes:type>"
         "<itunes:category><itunes:category text=\"Documentary\"/></itunes:category>"
         "<itunes:category text=\"Arts\"><itunes:category text=\"Books\"/></itunes:category>"
         "<podcast:locked>yes</podcast:locked>"
         "<podcast:guid>917393e3-1b1e-5cef-ace4-edaa54e1f810</podcast:guid>"
         "<podcast:funding url=\"https://example.org/support\">Support</podcast:funding>"
         "<atom:link href=\"https://example.org/feed.xml\" rel=\"self\"/>",
         "<guid isPermaLink=\"false\"/><itunes:episode>1</itunes:episode>"
         "<itunes:season>2</itunes:season><itunes:episodeType>trailer</itunes:episodeType>"
         "<podcast:transcript url=\"https://example.org/t.vtt\" type=\"text/vtt\"/>",
         {}},

        // Channel
        {"title missing", {{Title, u"  "_qs}}, {}, {}, GoodChannel, {},
         {u"channel-title-missing @ Podcast, Title"_qs}},
        {"link missing", {{Link, u""_qs}}, {}, {}, GoodChannel, {},
         {u"channel-link-missing @ Podcast, Link"_qs}},
        {"link relative", {{Link, u"/about"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-link-address @ Podcast, Link"_qs}},
        {"link not http: any scheme will do", {{Link, u"ftp://example.org/"_qs}}, {}, {},
         GoodChannel, {}, {}},
        {"language missing", {{Language, u""_qs}}, {}, {}, GoodChannel, {},
         {u"channel-language-missing @ Podcast, Language"_qs}},
        {"language a name", {{Language, u"English"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-language-code @ Podcast, Language"_qs}},
        {"language with underscore", {{Language, u"en_GB"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-language-code @ Podcast, Language"_qs}},
        {"description missing", {{Description, u""_qs}}, {}, {}, GoodChannel, {},
         {u"channel-description-missing @ Podcast, Description"_qs}},
        {"category missing", {{Category, u""_qs}}, {}, {}, GoodChannel, {},
         {u"channel-category-missing @ Podcast, Category"_qs}},
        {"category unknown", {{Category, u"Gardening"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-category-unknown @ Podcast, Category"_qs}},
        {"category in other case", {{Category, u"leisure"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-category-unknown @ Podcast, Category"_qs}},
        {"category ampersand bare", {{Category, u"Society & Culture"_qs}}, {}, {}, GoodChannel, {},
         {u"save-refused @ Podcast, Category"_qs, u"channel-category-unknown @ Podcast, Category"_qs}},
        {"category a sub-category", {{Category, u"Design"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-category-unknown @ Podcast, Category"_qs}},
        {"second category unknown", {}, {}, {},
         GoodChannel + "<itunes:category text=\"Gardening\"/>", {},
         {u"channel-category-unknown @ Podcast, itunes:category"_qs}},
        {"category retired", {{Category, u"Games &amp; Hobbies"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-category-retired @ Podcast, Category"_qs}},
        {"retired sub-category", {{Category, u"Technology"_qs}}, {}, {},
         GoodChannel + "<itunes:category><itunes:category text=\"Podcasting\"/></itunes:category>",
         {}, {u"channel-category-retired @ Podcast, itunes:category"_qs}},
        {"former sub-category as category", {{Category, u"Tech News"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-category-unknown @ Podcast, Category"_qs}},
        {"sub-category of another category", {}, {}, {},
         GoodChannel + "<itunes:category><itunes:category text=\"Books\"/></itunes:category>", {},
         {u"channel-subcategory-unknown @ Podcast, itunes:category"_qs}},
        {"sub-category of a second category", {}, {}, {},
         GoodChannel + "<itunes:category text=\"News\"><itunes:category text=\"Golf\"/>"
                       "</itunes:category>",
         {}, {u"channel-subcategory-unknown @ Podcast, itunes:category"_qs}},
        {"owner e-mail not an address", {{OwnerEmail, u"hello at example.org"_qs}}, {}, {},
         GoodChannel, {}, {u"channel-owner-email @ Podcast, Owner Email"_qs}},
        {"owner e-mail without domain", {{OwnerEmail, u"hello@example"_qs}}, {}, {}, GoodChannel,
         {}, {u"channel-owner-email @ Podcast, Owner Email"_qs}},
        {"owner e-mail empty", {{OwnerEmail, u""_qs}}, {}, {}, GoodChannel, {},
         {u"empty-element @ Podcast, Owner Email"_qs}},
        {"image missing", {{ImageLink, u""_qs}}, {}, {}, GoodChannel, {},
         {u"channel-image-missing @ Podcast, Image Link"_qs}},
        {"image relative", {{ImageLink, u"cover.jpg"_qs}}, {}, {}, GoodChannel, {},
         {u"channel-image-address @ Podcast, Image Link"_qs}},
        {"image a gif", {{ImageLink, u"https://example.org/cover.gif"_qs}}, {}, {}, GoodChannel,
         {}, {u"channel-image-extension @ Podcast, Image Link"_qs}},
        {"explicit missing", {}, {}, {}, QByteArray(), {},
         {u"channel-explicit-missing @ Podcast, itunes:explicit"_qs}},
        {"explicit no", {}, {}, {}, "<itunes:explicit>no</itunes:explicit>", {},
         {u"channel-explicit-value @ Podcast, itunes:explicit"_qs}},
        {"type unknown", {}, {}, {}, GoodChannel + "<itunes:type>daily</itunes:type>", {},
         {u"channel-type @ Podcast, itunes:type"_qs}},
        {"locked unknown", {}, {}, {}, GoodChannel + "<podcast:locked>true</podcast:locked>", {},
         {u"podcast-locked @ Podcast, podcast:locked"_qs}},
        {"podcast guid not a UUID", {}, {}, {}, GoodChannel + "<podcast:guid>show-1</podcast:guid>",
         {}, {u"podcast-guid @ Podcast, podcast:guid"_qs}},
        {"funding relative", {}, {}, {},
         GoodChannel + "<podcast:funding url=\"/donate\">Donate</podcast:funding>", {},
         {u"podcast-url @ Podcast, podcast:funding"_qs}},

        // Episodes
        {"episode title blank", {}, {{E::Title, u" "_qs}}, {}, GoodChannel, {},
         {u"episode-title-missing @ Episode 1, Title"_qs}},
        {"enclosure missing", {}, {{E::Url, u""_qs}}, {}, GoodChannel, {},
         {u"enclosure-missing @ Episode 1, URL"_qs}},
        {"enclosure with blank inside", {}, {{E::Url, u"https://example.org/my show.mp3"_qs}}, {},
         GoodChannel, {}, {u"enclosure-url @ Episode 1, URL"_qs}},
        {"enclosure relative", {}, {{E::Url, u"audio/one.mp3"_qs}}, {}, GoodChannel, {},
         {u"enclosure-url @ Episode 1, URL"_qs}},
        {"type missing", {}, {{E::Type, u""_qs}}, {}, GoodChannel, {},
         {u"enclosure-type @ Episode 1, Type"_qs}},
        {"type not a MIME type", {}, {{E::Type, u"mp3"_qs}}, {}, GoodChannel, {},
         {u"enclosure-type @ Episode 1, Type"_qs}},
        {"type not audio or video", {}, {{E::Type, u"text/html"_qs}}, {}, GoodChannel, {},
         {u"enclosure-type-unknown @ Episode 1, Type"_qs}},
        {"type disagrees with extension", {}, {{E::Type, u"video/quicktime"_qs}}, {}, GoodChannel,
         {}, {u"enclosure-type-mismatch @ Episode 1, Type"_qs}},
        {"length missing", {}, {{E::Length, u""_qs}}, {}, GoodChannel, {},
         {u"enclosure-length @ Episode 1, Length"_qs}},
        {"length with unit", {}, {{E::Length, u"27 MB"_qs}}, {}, GoodChannel, {},
         {u"enclosure-length @ Episode 1, Length"_qs}},
        {"length negative", {}, {{E::Length, u"-5"_qs}}, {}, GoodChannel, {},
         {u"enclosure-length @ Episode 1, Length"_qs}},
        {"length zero", {}, {{E::Length, u"0"_qs}}, {}, GoodChannel, {},
         {u"enclosure-length-zero @ Episode 1, Length"_qs}},
        {"guid shared", {}, {}, {{E::Guid, u"https://example.org/episodes/1"_qs}}, GoodChannel, {},
         {u"guid-duplicate @ Episode 2, GUID"_qs}},
        {"guid not an address without isPermaLink", {}, {{E::Guid, u"ep-1"_qs}}, {}, GoodChannel,
         {}, {u"guid-permalink @ Episode 1, GUID"_qs}},
        {"guid not an address, isPermaLink true", {}, {{E::Guid, u"ep-1"_qs}}, {}, GoodChannel,
         "<guid isPermaLink=\"true\"/>", {u"guid-permalink @ Episode 1, GUID"_qs}},
        {"enclosure shared", {}, {}, {{E::Url, u"https://example.org/audio/one.mp3"_qs}},
         GoodChannel, {}, {u"enclosure-url-duplicate @ Episode 2, URL"_qs}},
        {"pubDate ISO", {}, {{E::PubDate, u"2024-02-05T06:00:00Z"_qs}}, {}, GoodChannel, {},
         {u"pubdate-format @ Episode 1, Pub. Date"_qs}},
        {"pubDate wrong weekday", {}, {{E::PubDate, u"Tue, 05 Feb 2024 06:00:00 +0000"_qs}}, {},
         GoodChannel, {}, {u"pubdate-exact @ Episode 1, Pub. Date"_qs}},
        {"pubDate in German", {}, {{E::PubDate, u"Mo, 05 Feb 2024 06:00:00 +0100"_qs}}, {},
         GoodChannel, {}, {u"pubdate-format @ Episode 1, Pub. Date"_qs}},
        {"pubDate 31 April", {}, {{E::PubDate, u"31 Apr 2024 06:00:00 +0000"_qs}}, {}, GoodChannel,
         {}, {u"pubdate-exact @ Episode 1, Pub. Date"_qs}},
        {"pubDate without zone", {}, {{E::PubDate, u"Mon, 05 Feb 2024 06:00:00"_qs}}, {},
         GoodChannel, {}, {u"pubdate-format @ Episode 1, Pub. Date"_qs}},
        {"pubDate in the future", {}, {{E::PubDate, u"Wed, 09 Dec 2026 13:30:00 +0100"_qs}}, {},
         GoodChannel, {}, {u"pubdate-future @ Episode 1, Pub. Date"_qs}},
        {"duration with words", {}, {{E::Duration, u"29 minutes"_qs}}, {}, GoodChannel, {},
         {u"duration-format @ Episode 1, Duration"_qs}},
        {"duration seconds over 59", {}, {{E::Duration, u"12:75"_qs}}, {}, GoodChannel, {},
         {u"duration-format @ Episode 1, Duration"_qs}},
        {"duration with fraction", {}, {{E::Duration, u"1:02:03.5"_qs}}, {}, GoodChannel, {},
         {u"duration-format @ Episode 1, Duration"_qs}},
        {"explicit unknown", {}, {{E::Explicit, u"maybe"_qs}}, {}, GoodChannel, {},
         {u"explicit-value @ Episode 1, Explicit"_qs}},
        {"explicit yes, no and clean", {}, {{E::Explicit, u"yes"_qs}}, {{E::Explicit, u"clean"_qs}},
         GoodChannel, {},
         {u"explicit-legacy @ Episode 1, Explicit"_qs,
          u"explicit-legacy @ Episode 2, Explicit"_qs}},
        {"episode number zero", {}, {}, {}, GoodChannel, "<itunes:episode>0</itunes:episode>",
         {u"episode-number @ Episode 1, itunes:episode"_qs}},
        {"season a word", {}, {}, {}, GoodChannel, "<itunes:season>two</itunes:season>",
         {u"episode-season @ Episode 1, itunes:season"_qs}},
        {"episode type unknown", {}, {}, {}, GoodChannel,
         "<itunes:episodeType>pilot</itunes:episodeType>",
         {u"episode-type @ Episode 1, itunes:episodeType"_qs}},
        {"episode image relative", {}, {}, {}, GoodChannel, "<itunes:image href=\"ep1.jpg\"/>",
         {u"episode-image-address @ Episode 1, itunes:image"_qs}},
        {"transcript relative", {}, {}, {}, GoodChannel,
         "<podcast:transcript url=\"t.vtt\" type=\"text/vtt\"/>",
         {u"podcast-url @ Episode 1, podcast:transcript"_qs}},
        {"serial without episode numbers", {}, {}, {},
         GoodChannel + "<itunes:type>serial</itunes:type>", "<itunes:episode>1</itunes:episode>",
         {u"serial-episode-number @ Episode 2, itunes:episode"_qs}},

        // Everywhere
        {"addresses with outer blanks", {{Link, u" https://example.org/"_qs}},
         {{E::Url, u"https://example.org/audio/one.mp3 "_qs}}, {}, GoodChannel, {},
         {u"address-blanks @ Podcast, Link"_qs, u"address-blanks @ Episode 1, URL"_qs}},
        {"kept address with outer blank", {}, {}, {},
         GoodChannel + "<atom:link href=\"https://example.org/feed.xml \" rel=\"self\"/>", {},
         {u"address-blanks @ Podcast, atom:link"_qs}},
        {"owner e-mail empty without an owner", {{OwnerName, u""_qs}, {OwnerEmail, u""_qs}}, {}, {},
         GoodChannel, {}, {}},
        {"itunes:title says another title", {}, {}, {}, GoodChannel,
         "<itunes:title>Episode One</itunes:title>", {u"itunes-title @ Episode 1, itunes:title"_qs}},
        {"guid with a blank", {}, {{E::Guid, u"episode 1"_qs}}, {}, GoodChannel, {},
         {u"guid-not-address @ Episode 1, GUID"_qs}},
        {"managingEditor a name", {}, {}, {}, GoodChannel + "<managingEditor>Ann</managingEditor>",
         {}, {u"contact-address @ Podcast, managingEditor"_qs}},
        {"item link relative", {}, {}, {}, GoodChannel, "<link>/one</link>",
         {u"item-link @ Episode 1, link"_qs}},
        {"itunes:explicit twice", {}, {}, {},
         GoodChannel + "<itunes:explicit>true</itunes:explicit>", {},
         {u"tag-repeated @ Podcast, itunes:explicit"_qs}},
        {"two itunes:episode", {}, {}, {}, GoodChannel,
         "<itunes:episode>1</itunes:episode><itunes:episode>2</itunes:episode>",
         {u"tag-repeated @ Episode 1, itunes:episode"_qs}},
        {"bare ampersand in a title", {}, {{E::Title, u"Q&A"_qs}}, {}, GoodChannel, {},
         {u"save-refused @ Episode 1, Title"_qs}},
        {"bare less-than in a summary", {}, {{E::Summary, u"1 < 2"_qs}}, {}, GoodChannel, {},
         {u"save-refused @ Episode 1, Summary"_qs}},
        {"whole markup in a summary passes", {}, {{E::Summary, u"<p>One &amp; two</p>"_qs}}, {},
         GoodChannel, {}, {}},
        {"quotation mark in an attribute", {{ImageLink, u"https://example.org/\"a\".jpg"_qs}}, {},
         {}, GoodChannel, {},
         {u"save-refused @ Podcast, Image Link"_qs, u"channel-image-address @ Podcast, Image Link"_qs}},
        {"empty episode elements", {},
         {{E::Guid, u""_qs}, {E::PubDate, u""_qs}, {E::Duration, u""_qs}, {E::Explicit, u""_qs}},
         {}, GoodChannel, {},
         {u"empty-element @ Episode 1, GUID"_qs, u"empty-element @ Episode 1, Pub. Date"_qs,
          u"empty-element @ Episode 1, Duration"_qs, u"empty-element @ Episode 1, Explicit"_qs}},
    };
}
// clang-format on

Episode goodEpisode(int number) {
    Episode episode;
    const QString n = QString::number(number);
    episode[EpisodeColumn::Title] = u"Episode "_qs + n;
    episode[EpisodeColumn::Author] = u"Ann Example"_qs;
    episode[EpisodeColumn::Subtitle] = u"A subtitle"_qs;
    episode[EpisodeColumn::Summary] = u"A summary"_qs;
    episode[EpisodeColumn::Url] =
        u"https://example.org/audio/"_qs + (number == 1 ? u"one"_qs : u"two"_qs) + u".mp3"_qs;
    episode[EpisodeColumn::Type] = u"audio/mpeg"_qs;
    episode[EpisodeColumn::Length] = u"28734512"_qs;
    episode[EpisodeColumn::Guid] = u"https://example.org/episodes/"_qs + n;
    episode[EpisodeColumn::PubDate] = u"Mon, 05 Feb 2024 06:00:00 +0000"_qs;
    episode[EpisodeColumn::Duration] = u"00:29:55"_qs;
    episode[EpisodeColumn::Keywords] = u"one, two"_qs;
    episode[EpisodeColumn::Explicit] = u"false"_qs;
    episode[EpisodeColumn::Category] = u"Leisure"_qs;
    return episode;
}

void build(PodcastDocument &document, const Case &c) {
    const QString good[ChannelField::Count] = {
        u"Night Owls"_qs,
        u"https://example.org/"_qs,
        u"en-gb"_qs,
        u"© 2024 Example"_qs,
        u"A show about owls."_qs,
        u"Owls"_qs,
        u"Ann Example"_qs,
        u"About owls."_qs,
        u"Leisure"_qs,
        u"Ann Example"_qs,
        u"ann@example.org"_qs,
        u"https://example.org/art/cover-3000.jpg"_qs,
    };
    for (int i = 0; i < ChannelField::Count; ++i)
        document.setField(i, c.fields.value(i, good[i]));
    QList<Episode> episodes{goodEpisode(1), goodEpisode(2)};
    for (auto it = c.first.begin(); it != c.first.end(); ++it)
        episodes[0][it.key()] = it.value();
    for (auto it = c.second.begin(); it != c.second.end(); ++it)
        episodes[1][it.key()] = it.value();
    episodes[0].setExtra(c.firstExtra);
    document.appendEpisodes(episodes);
    document.setChannelExtra(c.channelExtra);
}

QStringList describe(const QList<FeedFinding> &findings) {
    QStringList described;
    for (const FeedFinding &finding : findings)
        described.append(finding.rule + u" @ "_qs + finding.place.text());
    return described;
}
} // namespace

void tst_FeedCheck::feed_givesExactlyItsFindings_data() {
    QTest::addColumn<int>("index");
    const QList<Case> all = cases();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all[i].name) << i;
}

void tst_FeedCheck::feed_givesExactlyItsFindings() {
    QFETCH(int, index);
    const Case c = cases().at(index);
    PodcastDocument document;
    build(document, c);
    const QList<FeedFinding> findings = FeedCheck::check(document, Now);
    QCOMPARE(describe(findings), c.expected);
    for (const FeedFinding &finding : findings)
        QVERIFY2(!finding.message.isEmpty() && !finding.message.contains(u'\n'),
                 qPrintable(finding.rule));
}

namespace {
// Loaded feeds: what the save will write decides, not the fixed layout.
struct LoadedCase {
    const char *name;
    QByteArray channel;
    QByteArray item;
    QStringList expected; // only findings of the rules below are compared
};
const QStringList LoadedRules{u"empty-element"_qs, u"channel-value-as-text"_qs};

QList<LoadedCase> loadedCases() {
    return {
        {"elements the file lacks are not written empty",
         "<itunes:image href=\"https://example.org/a.jpg\"/>",
         "<title>One</title>",
         {}},
        {"an element the file has stays, empty",
         "<itunes:owner><itunes:email/></itunes:owner>",
         "<title>One</title><guid></guid>",
         {u"empty-element @ Podcast, Owner Email"_qs, u"empty-element @ Episode 1, GUID"_qs}},
        {"category and image as text",
         "<itunes:category>History</itunes:category>"
         "<itunes:image>https://example.org/a.jpg</itunes:image>",
         "<title>One</title>",
         {u"channel-value-as-text @ Podcast, Category"_qs,
          u"channel-value-as-text @ Podcast, Image Link"_qs}},
    };
}
} // namespace

void tst_FeedCheck::loadedFeed_judgedAsItWillBeWritten_data() {
    QTest::addColumn<int>("index");
    const QList<LoadedCase> all = loadedCases();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all[i].name) << i;
}

void tst_FeedCheck::loadedFeed_judgedAsItWillBeWritten() {
    QFETCH(int, index);
    const LoadedCase c = loadedCases().at(index);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"feed.xml"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<rss version=\"2.0\" xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">"
               "<channel><title>T</title>" +
               c.channel + "<item>" + c.item + "</item></channel></rss>");
    file.close();
    PodcastDocument document;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    QVERIFY(loadPodcastFile(path, document, messages, errors));
    QStringList found = describe(FeedCheck::check(document, Now));
    found.removeIf(
        [](const QString &f) { return !LoadedRules.contains(f.section(u" @ "_qs, 0, 0)); });
    QCOMPARE(found, c.expected);
}

void tst_FeedCheck::everyRule_hasCaseThatTripsIt() {
    QSet<QString> tripped;
    for (const LoadedCase &c : loadedCases()) {
        for (const QString &expected : c.expected)
            tripped.insert(expected.section(u" @ "_qs, 0, 0));
    }
    for (const Case &c : cases()) {
        for (const QString &expected : c.expected)
            tripped.insert(expected.section(u" @ "_qs, 0, 0));
    }
    for (const FeedCheck::Rule &rule : FeedCheck::rules())
        QVERIFY2(tripped.contains(QString::fromLatin1(rule.id)), rule.id);
}

void tst_FeedCheck::rules_haveUniqueIdsAndNamedSources() {
    QSet<QString> ids;
    const QStringList sources{u"Apple Podcasts, A Podcaster's Guide to RSS"_qs,
                              u"Apple Podcasts, A Podcaster's Guide to RSS, category list"_qs,
                              u"Podcast Index namespace documentation"_qs,
                              u"RSS 2.0 rules of the RSS Advisory Board"_qs,
                              u"XML 1.0, well-formedness"_qs};
    for (const FeedCheck::Rule &rule : FeedCheck::rules()) {
        const QString id = QString::fromLatin1(rule.id);
        QVERIFY2(!ids.contains(id), rule.id);
        ids.insert(id);
        QVERIFY2(sources.contains(FeedCheck::sourceName(rule.source)), rule.id);
        QVERIFY(QByteArray(rule.summary).endsWith('.'));
    }
    QVERIFY(ids.size() >= 30);
}

void tst_FeedCheck::findings_carryTheirRulesSeverityAndSource() {
    QHash<QString, FeedCheck::Rule> byId;
    for (const FeedCheck::Rule &rule : FeedCheck::rules())
        byId.insert(QString::fromLatin1(rule.id), rule);
    for (const Case &c : cases()) {
        PodcastDocument document;
        build(document, c);
        const QList<FeedFinding> findings = FeedCheck::check(document, Now);
        for (const FeedFinding &finding : findings) {
            QVERIFY(byId.contains(finding.rule));
            QCOMPARE(finding.severity, byId[finding.rule].severity);
            QCOMPARE(finding.source, FeedCheck::sourceName(byId[finding.rule].source));
        }
        const qsizetype errors = std::count_if(findings.begin(), findings.end(), [](auto &f) {
            return f.severity == FeedFinding::Severity::Error;
        });
        QCOMPARE(FeedCheck::errorCount(findings), errors);
    }
}

void tst_FeedCheck::keptContent_readByNamespaceNotPrefix_data() {
    QTest::addColumn<PodcastDocument::Namespaces>("namespaces");
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QStringList>("expected");
    const QString itunes = u"http://www.itunes.com/dtds/podcast-1.0.dtd"_qs;
    QTest::newRow("another prefix for Apple's namespace")
        << PodcastDocument::Namespaces{{u"it"_qs, itunes}}
        << QByteArray("<it:explicit>true</it:explicit>") << QStringList();
    QTest::newRow("itunes prefix bound elsewhere")
        << PodcastDocument::Namespaces{{u"itunes"_qs, u"urn:other"_qs}}
        << QByteArray("<itunes:explicit>true</itunes:explicit>")
        << QStringList{u"channel-explicit-missing @ Podcast, itunes:explicit"_qs};
    QTest::newRow("unreadable block")
        << PodcastDocument::Namespaces() << QByteArray("<itunes:explicit>true")
        << QStringList{u"channel-explicit-missing @ Podcast, itunes:explicit"_qs};
}

void tst_FeedCheck::keptContent_readByNamespaceNotPrefix() {
    QFETCH(PodcastDocument::Namespaces, namespaces);
    QFETCH(QByteArray, extra);
    QFETCH(QStringList, expected);
    PodcastDocument document;
    build(document, cases().first());
    document.setNamespaces(namespaces);
    document.setChannelExtra(extra);
    QCOMPARE(describe(FeedCheck::check(document, Now)), expected);
}

void tst_FeedCheck::repeatedTag_countedByNamespace_data() {
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QStringList>("expected");
    const QStringList repeated{u"tag-repeated @ Episode 1, itunes:episode"_qs};
    QTest::newRow("twice under another prefix")
        << QByteArray("<it:episode>1</it:episode><it:episode>2</it:episode>") << repeated;
    QTest::newRow("once under each prefix")
        << QByteArray("<itunes:episode>1</itunes:episode><it:episode>2</it:episode>") << repeated;
    QTest::newRow("same local name, other namespace")
        << QByteArray("<itunes:episode>1</itunes:episode><o:episode>2</o:episode>")
        << QStringList();
    QTest::newRow("nested, not top-level")
        << QByteArray("<o:list><itunes:episode>1</itunes:episode></o:list>"
                      "<itunes:episode>2</itunes:episode>")
        << QStringList();
}

void tst_FeedCheck::repeatedTag_countedByNamespace() {
    QFETCH(QByteArray, extra);
    QFETCH(QStringList, expected);
    PodcastDocument document;
    build(document, cases().first());
    const QString itunes = u"http://www.itunes.com/dtds/podcast-1.0.dtd"_qs;
    document.setNamespaces({{u"it"_qs, itunes}, {u"o"_qs, u"urn:other"_qs}});
    document.setEpisodeExtra(1, extra);
    QStringList found;
    for (const QString &finding : describe(FeedCheck::check(document, Now))) {
        if (finding.startsWith(u"tag-repeated"))
            found.append(finding);
    }
    QCOMPARE(found, expected);
}

void tst_FeedCheck::place_readsAsTheWindowNamesIt_data() {
    QTest::addColumn<FeedFinding::Place>("place");
    QTest::addColumn<QString>("text");
    QTest::newRow("field") << FeedFinding::Place::ofField(ChannelField::OwnerEmail)
                           << u"Podcast, Owner Email"_qs;
    QTest::newRow("column") << FeedFinding::Place::ofColumn(3, EpisodeColumn::PubDate)
                            << u"Episode 3, Pub. Date"_qs;
    QTest::newRow("channel tag") << FeedFinding::Place::ofTag(u"itunes:type"_qs)
                                 << u"Podcast, itunes:type"_qs;
    QTest::newRow("episode tag") << FeedFinding::Place::ofTag(u"itunes:season"_qs, 12)
                                 << u"Episode 12, itunes:season"_qs;
}

void tst_FeedCheck::place_readsAsTheWindowNamesIt() {
    QFETCH(FeedFinding::Place, place);
    QFETCH(QString, text);
    QCOMPARE(place.text(), text);
}

void tst_FeedCheck::manyFindings_firstOfEachRuleThenACount_data() {
    QTest::addColumn<QString>("rule");
    QTest::addColumn<bool>("mixed");
    // Found episode by episode.
    QTest::newRow("in feed order") << u"empty-element"_qs << false;
    // Found for every column first, then for every kept element: the first
    // hundred by place come from both.
    QTest::newRow("out of feed order") << u"address-blanks"_qs << true;
}

void tst_FeedCheck::manyFindings_firstOfEachRuleThenACount() {
    QFETCH(QString, rule);
    QFETCH(bool, mixed);
    constexpr int Episodes = 250;
    PodcastDocument document;
    build(document, cases().first());
    document.removeEpisodes(1, document.episodeCount());
    QList<Episode> episodes;
    for (int n = 1; n <= Episodes; ++n) {
        Episode episode = goodEpisode(n);
        const QString url = u"https://example.org/audio/"_qs + QString::number(n) + u".mp3"_qs;
        episode[EpisodeColumn::Url] = url;
        if (!mixed)
            episode[EpisodeColumn::Duration] = QString();
        else if (n % 2 == 1)
            episode[EpisodeColumn::Guid] = episode[EpisodeColumn::Guid] + u' ';
        else
            episode.setExtra("<itunes:image href=\" https://example.org/" + QByteArray::number(n) +
                             ".jpg\"/>");
        episodes.append(episode);
    }
    document.appendEpisodes(episodes);

    const QList<FeedFinding> findings = FeedCheck::check(document, Now);
    QList<FeedFinding> shown;
    for (const FeedFinding &finding : findings) {
        if (finding.rule == rule)
            shown.append(finding);
    }
    QCOMPARE(shown.size(), FeedCheck::FindingsPerRule);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        QCOMPARE(shown[i].place.episode, i + 1);
        QCOMPARE(shown[i].more, i + 1 < shown.size() ? 0 : Episodes - FeedCheck::FindingsPerRule);
    }
    QCOMPARE(shown.last().moreText(), u"and 150 more like this"_qs);
    // The counts take in the findings left out.
    qsizetype errors = 0;
    qsizetype all = 0;
    for (const FeedFinding &finding : findings) {
        all += 1 + finding.more;
        if (finding.severity == FeedFinding::Severity::Error)
            errors += 1 + finding.more;
    }
    QCOMPARE(FeedCheck::totalCount(findings), all);
    QCOMPARE(FeedCheck::errorCount(findings), errors);
    QVERIFY(all >= Episodes);
}

void tst_FeedCheck::keptContent_readAmongThousandsOfPrefixes() {
    // Apple's namespace under a prefix of its own, after thousands of others.
    PodcastDocument::Namespaces namespaces;
    for (int n = 0; n < 3000; ++n)
        namespaces.append({u"p"_qs + QString::number(n), u"urn:"_qs + QString::number(n)});
    namespaces.append({u"it"_qs, u"http://www.itunes.com/dtds/podcast-1.0.dtd"_qs});
    PodcastDocument document;
    Case c = cases().first();
    c.channelExtra = "<it:explicit>false</it:explicit><p2999:x/>";
    c.firstExtra = "<p1:x/><it:episode>0</it:episode>";
    build(document, c);
    document.setNamespaces(namespaces);
    QCOMPARE(describe(FeedCheck::check(document, Now)),
             QStringList{u"episode-number @ Episode 1, itunes:episode"_qs});
}

void tst_FeedCheck::messages_sayWhatIsWrong_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("message");
    QTest::newRow("a video type is video")
        << int(EpisodeColumn::Type) << u"video/mpeg"_qs << u"enclosure-type-unknown"_qs
        << u"video/mpeg is a video type the directories do not play; use video/mp4, "
           "video/x-m4v or video/quicktime."_qs;
    QTest::newRow("an audio type is audio")
        << int(EpisodeColumn::Type) << u"audio/x-ms-wma"_qs << u"enclosure-type-unknown"_qs
        << u"audio/x-ms-wma is an audio type the directories do not play; use audio/mpeg, "
           "audio/x-m4a or audio/aac."_qs;
    QTest::newRow("neither audio nor video")
        << int(EpisodeColumn::Type) << u"text/html"_qs << u"enclosure-type-unknown"_qs
        << u"text/html is not an audio or video type the directories play."_qs;
    QTest::newRow("an address with a blank")
        << int(EpisodeColumn::Url) << u"https://example.org/a b.mp3"_qs << u"enclosure-url"_qs
        << u"The address \"https://example.org/a b.mp3\" has a blank; write it as %20."_qs;
    QTest::newRow("a bare ampersand")
        << int(EpisodeColumn::Title) << u"Q&A"_qs << u"save-refused"_qs
        << u"Save refuses this: \"&\" must be written as \"&amp;\"."_qs;
}

void tst_FeedCheck::messages_sayWhatIsWrong() {
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, rule);
    QFETCH(QString, message);
    Case c{"", {}, {{column, value}}, {}, GoodChannel, {}, {}};
    PodcastDocument document;
    build(document, c);
    QStringList messages;
    for (const FeedFinding &finding : FeedCheck::check(document, Now)) {
        if (finding.rule == rule)
            messages.append(finding.message);
    }
    QCOMPARE(messages, QStringList{message});
}

void tst_FeedCheck::validatorErrors_eachHaveAnError_data() {
    // What the W3C validator makes of one value, and the error found for it
    // (none where the validator takes the value).
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("channelExtra");
    QTest::addColumn<QByteArray>("firstExtra");
    QTest::addColumn<QString>("error");
    const auto field = [](const char *name, int index, const QString &value, const QString &error) {
        QTest::newRow(name) << index << -1 << value << QByteArray() << QByteArray() << error;
    };
    const auto column = [](const char *name, int index, const QString &value,
                           const QString &error) {
        QTest::newRow(name) << -1 << index << value << QByteArray() << QByteArray() << error;
    };
    const auto channel = [](const char *name, const QByteArray &xml, const QString &error) {
        QTest::newRow(name) << -1 << -1 << QString() << xml << QByteArray() << error;
    };
    const auto item = [](const char *name, const QByteArray &xml, const QString &error) {
        QTest::newRow(name) << -1 << -1 << QString() << QByteArray() << xml << error;
    };
    const QString contact = u"contact-address"_qs;
    channel("managingEditor a name", "<managingEditor>Ann Lee</managingEditor>", contact);
    channel("managingEditor address and name",
            "<managingEditor>ann@example.org (Ann Lee)</managingEditor>", QString());
    channel("webMaster name and angled address",
            "<webMaster>Ann &lt;ann@example.org&gt;</webMaster>", QString());
    channel("webMaster without a domain", "<webMaster>ann@example</webMaster>", contact);
    item("author a name", "<author>Ann</author>", contact);
    item("author an address", "<author>ann@example.org</author>", QString());
    item("link relative", "<link>/episodes/1</link>", u"item-link"_qs);
    item("link without a scheme", "<link>www.example.org/1</link>", u"item-link"_qs);
    item("link with a blank", "<link>https://example.org/a b</link>", u"item-link"_qs);
    item("link full", "<link>https://example.org/1</link>", QString());
    field("channel link without a scheme", ChannelField::Link, u"example.org"_qs,
          u"channel-link-address"_qs);
    field("channel link with one slash", ChannelField::Link, u"http:/example.org"_qs,
          u"channel-link-address"_qs);
    field("channel link with a blank", ChannelField::Link, u"https://example.org/a b"_qs,
          u"channel-link-address"_qs);
    field("channel link mailto", ChannelField::Link, u"mailto:ann@example.org"_qs, QString());
    field("language a name", ChannelField::Language, u"english"_qs, u"channel-language-code"_qs);
    field("language no such code", ChannelField::Language, u"xx"_qs, u"channel-language-code"_qs);
    field("language with underscore", ChannelField::Language, u"en_US"_qs,
          u"channel-language-code"_qs);
    field("language in capitals", ChannelField::Language, u"EN-us"_qs, QString());
    field("language of three letters", ChannelField::Language, u"haw"_qs, QString());
    column("guid with a blank", EpisodeColumn::Guid, u"episode 1"_qs, u"guid-not-address"_qs);
    column("type with a parameter", EpisodeColumn::Type, u"audio/mpeg; codecs=mp3"_qs,
           u"enclosure-type"_qs);
    column("length zero", EpisodeColumn::Length, u"0"_qs, u"enclosure-length-zero"_qs);
    column("pubDate ISO 8601", EpisodeColumn::PubDate, u"2024-02-05T06:00:00Z"_qs,
           u"pubdate-format"_qs);
    column("pubDate with a two-digit year", EpisodeColumn::PubDate, u"05 Feb 24 06:00 GMT"_qs,
           QString());
}

void tst_FeedCheck::validatorErrors_eachHaveAnError() {
    QFETCH(int, field);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QByteArray, channelExtra);
    QFETCH(QByteArray, firstExtra);
    QFETCH(QString, error);
    Case c{"", {}, {}, {}, GoodChannel + channelExtra, firstExtra, {}};
    if (field >= 0)
        c.fields.insert(field, value);
    if (column >= 0)
        c.first.insert(column, value);
    PodcastDocument document;
    build(document, c);
    QStringList errors;
    for (const FeedFinding &finding : FeedCheck::check(document, Now)) {
        if (finding.severity == FeedFinding::Severity::Error)
            errors.append(finding.rule);
    }
    QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
}

QTEST_GUILESS_MAIN(tst_FeedCheck)
#include "tst_feedcheck.moc"
