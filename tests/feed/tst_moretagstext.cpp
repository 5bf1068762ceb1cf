#include "feed/FeedText.h"
#include "feed/MoreTagsText.h"
#include "feed/TagTemplates.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include <QRegularExpression>
#include <QTest>
#include <algorithm>

using Namespaces = WellKnownNamespaces::Namespaces;
Q_DECLARE_METATYPE(Namespaces)
Q_DECLARE_METATYPE(TagTemplates::Context)

class tst_MoreTagsText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void check_refusesWithPosition_data();
    void check_refusesWithPosition();
    void check_namesTheUsersOwnPlace_data();
    void check_namesTheUsersOwnPlace();
    void check_keepsOneNodeALine_data();
    void check_keepsOneNodeALine();
    void check_declaresOnlyWellKnownPrefixesNotYetDeclared_data();
    void check_declaresOnlyWellKnownPrefixesNotYetDeclared();
    void templates_eachPassesCheckAndSavesWellFormed_data();
    void templates_eachPassesCheckAndSavesWellFormed();
    void podcastGuid_isUuidV5OfAddressWithoutSchemeAndSlashes_data();
    void podcastGuid_isUuidV5OfAddressWithoutSchemeAndSlashes();
    void podcastGuidTemplate_usesFeedAddress();
    void feedAddressIn_findsSelfLinkOrNewFeedUrl_data();
    void feedAddressIn_findsSelfLinkOrNewFeedUrl();
    void fromBlock_showsHeldBlockWithPlainLineEnds();
};

void tst_MoreTagsText::check_refusesWithPosition_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Namespaces>("document");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    QTest::newRow("unclosed element on line 2")
        << u"<itunes:type>episodic</itunes:type>\n<itunes:explicit>false"_qs << Namespaces() << 2
        << 0;
    QTest::newRow("mismatched end tag") << u"<a>\n  <b>x</c>\n</a>"_qs << Namespaces() << 2 << 0;
    QTest::newRow("bare ampersand") << u"<link>Q&A</link>"_qs << Namespaces() << 1 << 0;
    QTest::newRow("undeclared prefix")
        << u"<itunes:type>serial</itunes:type>\n<foo:bar/>"_qs << Namespaces() << 2 << 0;
    QTest::newRow("text outside every element")
        << u"<itunes:type>serial</itunes:type>\n  stray words"_qs << Namespaces() << 2 << 3;
    QTest::newRow("CDATA outside every element")
        << u"<a/>\n<![CDATA[x]]>"_qs << Namespaces() << 2 << 1;
    QTest::newRow("well-known prefix rebound by the file")
        << u"<atom:link href=\"x\"/>\n<podcast:guid>x</podcast:guid>"_qs
        << Namespaces{{u"podcast"_qs, u"urn:other"_qs}, {u"a"_qs, u"urn:a"_qs}} << 0 << 0;
}

// Each mistake names its line (and column where the parser's position is
// exact); a text that only uses declared prefixes passes.
void tst_MoreTagsText::check_refusesWithPosition() {
    QFETCH(QString, text);
    QFETCH(Namespaces, document);
    QFETCH(int, line);
    QFETCH(int, column);

    const MoreTagsText::Result result = MoreTagsText::check(text, document);
    if (line == 0) {
        QVERIFY2(result.isValid(), qPrintable(result.error));
        return;
    }
    QVERIFY(!result.isValid());
    QVERIFY(!result.error.contains(u"(line"_qs));
    QCOMPARE(result.line, line);
    QVERIFY(result.column >= 1);
    if (column > 0)
        QCOMPARE(result.column, column);
    QVERIFY(result.block.isEmpty());
}

void tst_MoreTagsText::check_namesTheUsersOwnPlace_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("error");
    // The parser reads the text inside an element of its own: what it finds
    // at that element's end is the end of the user's text.
    QTest::newRow("last element left open")
        << u"<itunes:type>serial</itunes:type>\n<itunes:explicit>"_qs << 2 << 18
        << u"<itunes:explicit> on line 2 is not closed."_qs;
    QTest::newRow("element open over lines")
        << u"<a>\n<b>x</b>\n<c/>"_qs << 3 << 5 << u"<a> on line 1 is not closed."_qs;
    QTest::newRow("end tag of nothing open")
        << u"<a/>\n</b>"_qs << 2 << 5 << u"</b> closes a tag that is not open."_qs;
    QTest::newRow("CDATA left open") << u"<a/>\n<![CDATA[x"_qs << 2 << 10
                                     << u"A CDATA section, comment or tag is not closed."_qs;
}

void tst_MoreTagsText::check_namesTheUsersOwnPlace() {
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, error);
    const MoreTagsText::Result result = MoreTagsText::check(text, Namespaces());
    QCOMPARE(result.error, error);
    QCOMPARE(result.line, line);
    QCOMPARE(result.column, column);
}

void tst_MoreTagsText::check_keepsOneNodeALine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("blank lines only") << u"\n  \n\t\n"_qs << QByteArray();
    QTest::newRow("indented and spaced")
        << u"   <itunes:type>serial</itunes:type>\n\n\n    <itunes:explicit>true</itunes:explicit>  "_qs
        << QByteArray("<itunes:type>serial</itunes:type>\n<itunes:explicit>true</itunes:explicit>");
    QTest::newRow("two on one line")
        << u"<a/><!-- note --><b>x</b>"_qs << QByteArray("<a/>\n<!-- note -->\n<b>x</b>");
    QTest::newRow("element over lines keeps its inside")
        << u"<itunes:category text=\"Arts\">\n   <itunes:category text=\"Books\"/>\n</itunes:category>"_qs
        << QByteArray("<itunes:category text=\"Arts\">\n   <itunes:category "
                      "text=\"Books\"/>\n</itunes:category>");
    QTest::newRow("non-Latin text")
        << u"<itunes:title>Ἀρχή · 始まり</itunes:title>"_qs
        << QStringLiteral("<itunes:title>Ἀρχή · 始まり</itunes:title>").toUtf8();
}

void tst_MoreTagsText::check_keepsOneNodeALine() {
    QFETCH(QString, text);
    QFETCH(QByteArray, block);
    const MoreTagsText::Result result = MoreTagsText::check(text, {});
    QVERIFY2(result.isValid(), qPrintable(result.error));
    QCOMPARE(result.block, block);
}

void tst_MoreTagsText::check_declaresOnlyWellKnownPrefixesNotYetDeclared_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Namespaces>("document");
    QTest::addColumn<QStringList>("added");

    QTest::newRow("itunes needs nothing")
        << u"<itunes:explicit>false</itunes:explicit>"_qs << Namespaces() << QStringList();
    QTest::newRow("first use order, once each")
        << u"<podcast:locked>yes</podcast:locked><atom:link href=\"x\" rel=\"self\"/><podcast:guid>g</podcast:guid>"_qs
        << Namespaces() << QStringList{u"podcast"_qs, u"atom"_qs};
    QTest::newRow("already declared by the document")
        << u"<atom:link href=\"x\"/><content:encoded>x</content:encoded>"_qs
        << Namespaces{{u"atom"_qs, u"http://www.w3.org/2005/Atom"_qs}}
        << QStringList{u"content"_qs};
    QTest::newRow("nested and attribute prefixes")
        << u"<media:group><media:content url=\"x\"/></media:group><x googleplay:block=\"yes\"/>"_qs
        << Namespaces() << QStringList{u"media"_qs, u"googleplay"_qs};
    QTest::newRow("psc chapters")
        << u"<psc:chapters version=\"1.2\"><psc:chapter start=\"0\" title=\"A\"/></psc:chapters>"_qs
        << Namespaces() << QStringList{u"psc"_qs};
    QTest::newRow("prefix declared in the text itself")
        << u"<podcast:x xmlns:podcast=\"urn:mine\"/>"_qs << Namespaces() << QStringList();
    QTest::newRow("the file binds the prefix elsewhere")
        << u"<podcast:guid>x</podcast:guid>"_qs << Namespaces{{u"podcast"_qs, u"urn:other"_qs}}
        << QStringList();
}

void tst_MoreTagsText::check_declaresOnlyWellKnownPrefixesNotYetDeclared() {
    QFETCH(QString, text);
    QFETCH(Namespaces, document);
    QFETCH(QStringList, added);

    const MoreTagsText::Result result = MoreTagsText::check(text, document);
    QVERIFY2(result.isValid(), qPrintable(result.error));
    QStringList prefixes;
    for (const auto &[prefix, name] : result.added) {
        prefixes.append(prefix);
        const bool known =
            std::any_of(WellKnownNamespaces::all().begin(), WellKnownNamespaces::all().end(),
                        [&](const auto &pair) { return pair == std::pair(prefix, name); });
        QVERIFY(known);
    }
    QCOMPARE(prefixes, added);
}

void tst_MoreTagsText::templates_eachPassesCheckAndSavesWellFormed_data() {
    QTest::addColumn<bool>("podcast");
    QTest::addColumn<int>("index");
    QTest::addColumn<TagTemplates::Context>("context");

    TagTemplates::Context filled;
    filled.feedAddress = u"https://show.example.org/feed/Podcast.xml?a=1&amp;b=2"_qs;
    filled.websiteLink = u"https://show.example.org"_qs;
    filled.ownerEmail = u"host@show.example.org"_qs;
    filled.episodeTitle = u"Q&amp;A: «Grafting» in the Frost"_qs;
    filled.episodeUrl = u"https://cdn.example.org/audio/007-grafting.mp3"_qs;
    filled.episodeNumber = 7;
    const TagTemplates::Context empty;

    for (const auto &[name, context] : {std::pair("filled", filled), std::pair("empty", empty)}) {
        const auto podcast = TagTemplates::podcast(context);
        for (int i = 0; i < podcast.size(); ++i)
            QTest::addRow("%s podcast %s", name, qPrintable(podcast[i].menuText))
                << true << i << context;
        const auto episode = TagTemplates::episode(context);
        for (int i = 0; i < episode.size(); ++i)
            QTest::addRow("%s episode %s", name, qPrintable(episode[i].menuText))
                << false << i << context;
    }
}

// A template the check refused, or one whose prefix the save did not
// declare, would make the user's save fail with "XML is not valid.".
void tst_MoreTagsText::templates_eachPassesCheckAndSavesWellFormed() {
    QFETCH(bool, podcast);
    QFETCH(int, index);
    QFETCH(TagTemplates::Context, context);

    const auto templates =
        podcast ? TagTemplates::podcast(context) : TagTemplates::episode(context);
    const TagTemplates::Template &chosen = templates.at(index);
    const MoreTagsText::Result result = MoreTagsText::check(chosen.xml, {});
    QVERIFY2(result.isValid(), qPrintable(result.error + u'\n' + chosen.xml));

    PodcastDocument document;
    document.setField(0, u"Show"_qs);
    document.appendEpisode(u"One"_qs);
    if (podcast) {
        document.setChannelExtra(result.block);
    } else {
        Episode episode = document.episode(1);
        episode.setExtra(result.block);
        document.setEpisode(1, episode);
    }
    document.setNamespaces(result.added);
    const QByteArray feed = FeedText::buildUtf8(document, u"Wed, 09 Dec 2026 12:00:00 +0000"_qs);
    QVERIFY2(XmlDocument::checkWellFormed(feed).isEmpty(), feed.constData());
    // What the template names is in the file, under its own prefix.
    const QString name =
        chosen.xml.section(u'<', 1, 1).section(QRegularExpression(u"[ >/]"_qs), 0, 0);
    QVERIFY2(feed.contains('<' + name.toUtf8()), qPrintable(name));
}

void tst_MoreTagsText::podcastGuid_isUuidV5OfAddressWithoutSchemeAndSlashes_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("guid");

    // The example the Podcast Index namespace documentation gives.
    const QString documented = u"917393e3-1b1e-5cef-ace4-edaa54e1f810"_qs;
    QTest::newRow("documented example")
        << u"https://mp3s.nashownotes.com/pc20rss.xml"_qs << documented;
    QTest::newRow("http scheme") << u"http://mp3s.nashownotes.com/pc20rss.xml"_qs << documented;
    QTest::newRow("trailing slashes")
        << u"https://mp3s.nashownotes.com/pc20rss.xml//"_qs << documented;
    QTest::newRow("blanks around")
        << u"  https://mp3s.nashownotes.com/pc20rss.xml \n"_qs << documented;
    QTest::newRow("no scheme") << u"mp3s.nashownotes.com/pc20rss.xml"_qs << documented;
}

void tst_MoreTagsText::podcastGuid_isUuidV5OfAddressWithoutSchemeAndSlashes() {
    QFETCH(QString, address);
    QFETCH(QString, guid);
    QCOMPARE(TagTemplates::podcastGuid(address), guid);
}

void tst_MoreTagsText::podcastGuidTemplate_usesFeedAddress() {
    TagTemplates::Context context;
    context.feedAddress = u"https://mp3s.nashownotes.com/pc20rss.xml"_qs;
    bool found = false;
    for (const TagTemplates::Template &entry : TagTemplates::podcast(context)) {
        if (entry.menuText == u"podcast:guid"_qs) {
            QCOMPARE(entry.xml,
                     u"<podcast:guid>917393e3-1b1e-5cef-ace4-edaa54e1f810</podcast:guid>"_qs);
            found = true;
        }
    }
    QVERIFY(found);
    // The address is held as the file writes it; the GUID is of the address.
    context.feedAddress = u"https://a.example/f?x=1&amp;y=2"_qs;
    const auto templates = TagTemplates::podcast(context);
    const auto guid = std::find_if(templates.begin(), templates.end(), [](const auto &entry) {
        return entry.menuText == u"podcast:guid"_qs;
    });
    QVERIFY(guid->xml.contains(TagTemplates::podcastGuid(u"https://a.example/f?x=1&y=2"_qs)));
}

void tst_MoreTagsText::feedAddressIn_findsSelfLinkOrNewFeedUrl_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");

    QTest::newRow("none") << u"<itunes:type>serial</itunes:type>"_qs << QString();
    QTest::newRow("self link, attributes in any order")
        << u"<atom:link rel=\"self\" type=\"application/rss+xml\" href=\"https://a.example/p.xml\"/>"_qs
        << u"https://a.example/p.xml"_qs;
    QTest::newRow("other links are not the feed")
        << u"<atom:link rel=\"hub\" href=\"https://hub.example/\"/>\n<atom:link href='https://a.example/f' rel='self'/>"_qs
        << u"https://a.example/f"_qs;
    QTest::newRow("new feed url")
        << u"<itunes:new-feed-url> https://b.example/new.xml </itunes:new-feed-url>"_qs
        << u"https://b.example/new.xml"_qs;
}

void tst_MoreTagsText::feedAddressIn_findsSelfLinkOrNewFeedUrl() {
    QFETCH(QString, text);
    QFETCH(QString, address);
    QCOMPARE(TagTemplates::feedAddressIn(text), address);
}

void tst_MoreTagsText::fromBlock_showsHeldBlockWithPlainLineEnds() {
    QCOMPARE(MoreTagsText::fromBlock("<a>\r\n  x\r\n</a>\n<b/>"), u"<a>\n  x\n</a>\n<b/>"_qs);
    // What the dialog shows goes back unchanged when nothing is edited.
    const QByteArray held =
        "<itunes:explicit>false</itunes:explicit>\n<podcast:locked>no</podcast:locked>";
    QCOMPARE(MoreTagsText::check(MoreTagsText::fromBlock(held), {}).block, held);
}

QTEST_GUILESS_MAIN(tst_MoreTagsText)
#include "tst_moretagstext.moc"
