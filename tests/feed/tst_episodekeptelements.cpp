#include "feed/EpisodeKeptElements.h"
#include "feed/KeptContentReader.h"
#include "model/PodcastDocument.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_EpisodeKeptElements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void elements_asEachBlockAloneHasThem_data();
    void elements_asEachBlockAloneHasThem();
    void attributeValues_asTheElementsHaveThem_data();
    void attributeValues_asTheElementsHaveThem();
};

namespace {
const QString Itunes = u"http://www.itunes.com/dtds/podcast-1.0.dtd"_s;
} // namespace

void tst_EpisodeKeptElements::elements_asEachBlockAloneHasThem_data() {
    QTest::addColumn<PodcastDocument::Namespaces>("namespaces");
    QTest::addColumn<QList<QByteArray>>("blocks");
    QTest::addColumn<QString>("namespaceName");
    QTest::addColumn<QString>("localName");
    // "episode index: text" for every element found, episode by episode
    QTest::addColumn<QStringList>("expected");

    const PodcastDocument::Namespaces apple{{u"itunes"_s, Itunes}};
    QTest::newRow("each episode its own, in order, other names left out")
        << apple
        << QList<
               QByteArray>{"<itunes:episode>1</itunes:episode>\n<itunes:season>2</itunes:season>",
                           "", "<itunes:season>1</itunes:season>",
                           "<itunes:episode>3</itunes:episode>\n<itunes:episode>4</itunes:episode>"}
        << Itunes << u"episode"_s << QStringList{u"0: 1"_s, u"3: 3"_s, u"3: 4"_s};
    QTest::newRow("by namespace, whatever the prefix")
        << PodcastDocument::Namespaces{{u"it"_s, Itunes}, {u"other"_s, u"urn:other"_s}}
        << QList<QByteArray>{"<other:episode>9</other:episode>", "<it:episode>2</it:episode>"}
        << Itunes << u"episode"_s << QStringList{u"1: 2"_s};
    QTest::newRow("no namespace") << apple
                                  << QList<QByteArray>{"<guid isPermaLink=\"false\" />",
                                                       "<itunes:guid>x</itunes:guid>"}
                                  << QString() << u"guid"_s << QStringList{u"0: "_s};
    QTest::newRow("markup inside CDATA or a comment is no element")
        << apple
        << QList<QByteArray>{"<description><![CDATA[<itunes:episode>7</itunes:episode>]]></"
                             "description>",
                             "<!-- <itunes:episode>8</itunes:episode> -->",
                             "<itunes:episode><![CDATA[5]]> &amp; 6</itunes:episode>"}
        << Itunes << u"episode"_s << QStringList{u"2: 5 & 6"_s};
    QTest::newRow("a block that cannot be read has none, the others are read")
        << apple
        << QList<QByteArray>{"<itunes:episode>1</itunes:episode>",
                             "<itunes:episode>2</itunes:season>",
                             "<itunes:episode>3</itunes:episode>"}
        << Itunes << u"episode"_s << QStringList{u"0: 1"_s, u"2: 3"_s};
    QTest::newRow("a prefix declared on the element itself")
        << PodcastDocument::Namespaces()
        << QList<QByteArray>{"<a:episode xmlns:a=\"urn:a\">1</a:episode>",
                             "<itunes:episode>2</itunes:episode>"}
        << Itunes << u"episode"_s << QStringList{u"1: 2"_s};
}

void tst_EpisodeKeptElements::elements_asEachBlockAloneHasThem() {
    QFETCH(PodcastDocument::Namespaces, namespaces);
    QFETCH(QList<QByteArray>, blocks);
    QFETCH(QString, namespaceName);
    QFETCH(QString, localName);
    QFETCH(QStringList, expected);

    PodcastDocument document;
    document.setNamespaces(namespaces);
    QList<Episode> episodes;
    for (const QByteArray &block : blocks) {
        Episode episode;
        episode[EpisodeColumn::Title] = u"Title"_s;
        episode.setExtra(block);
        episodes.append(episode);
    }
    document.appendEpisodes(episodes);

    const EpisodeKeptElements kept(document);
    QStringList found;
    // Asked twice: the second answer comes from what the first one read.
    for (int round = 0; round < 2; ++round) {
        found.clear();
        for (qsizetype i = 0; i < blocks.size(); ++i) {
            for (const XmlNode &node : kept.elements(i, namespaceName, localName))
                found.append(QStringLiteral("%1: %2").arg(i).arg(node.text()));
        }
        QCOMPARE(found, expected);
    }
}

void tst_EpisodeKeptElements::attributeValues_asTheElementsHaveThem_data() {
    QTest::addColumn<PodcastDocument::Namespaces>("namespaces");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("plain"); // read from the text, without a parse

    const QString podcast = u"https://podcastindex.org/namespace/1.0"_s;
    const PodcastDocument::Namespaces bound{{u"podcast"_s, podcast}};
    const auto row = [&](const char *name, const QByteArray &block, bool plain,
                         const PodcastDocument::Namespaces &namespaces) {
        QTest::newRow(name) << namespaces << block << plain;
    };
    row("one, with other attributes",
        R"(<podcast:transcript type="text/vtt" url="https://e.org/t.vtt" />)", true, bound);
    row("two, in order, and one without",
        "<podcast:transcript url=\"a\" />\n<podcast:transcript "
        "type=\"x\" />\n<podcast:transcript url='b' rel=\"c\"></podcast:transcript>",
        true, bound);
    row("the well-known prefix when the document binds none", R"(<podcast:transcript url="a" />)",
        true, {});
    row("another prefix for the namespace", R"(<pi:transcript url="a" />)", true,
        {{u"pi"_s, podcast}});
    row("the prefix bound to another namespace", R"(<podcast:transcript url="a" />)", true,
        {{u"podcast"_s, u"urn:other"_s}});
    row("a prefixed attribute counts by its local name",
        R"(<podcast:transcript xml:lang="en" itunes:url="a" url="b" />)", true, bound);
    row("an attribute's prefix nobody binds", R"(<podcast:transcript url="a" zz:x="b" />)", false,
        bound);
    row("spaces inside a value", R"(<podcast:transcript url="a b" />)", true, bound);
    row("a reference in the value", R"(<podcast:transcript url="a?b=1&amp;c=2" />)", false, bound);
    row("a line end in the value", "<podcast:transcript url=\"a\nb\" />", false, bound);
    row("a declaration on the element", R"(<p:transcript xmlns:p="urn:p" url="a" />)", false,
        {{u"p"_s, podcast}});
    row("a prefix nobody binds", R"(<zz:transcript url="a" />)", false, bound);
}

void tst_EpisodeKeptElements::attributeValues_asTheElementsHaveThem() {
    QFETCH(PodcastDocument::Namespaces, namespaces);
    QFETCH(QByteArray, block);
    QFETCH(bool, plain);

    const QString podcast = u"https://podcastindex.org/namespace/1.0"_s;
    PodcastDocument document;
    document.setNamespaces(namespaces);
    Episode episode;
    episode[EpisodeColumn::Title] = u"Title"_s;
    episode.setExtra(block);
    document.appendEpisodes({episode});
    const EpisodeKeptElements kept(document);
    QStringList parsed;
    for (const XmlNode &node : kept.elements(0, podcast, u"transcript"_s)) {
        if (KeptContentReader::hasAttribute(node, u"url"_s))
            parsed.append(KeptContentReader::attribute(node, u"url"_s));
    }
    const std::optional<QStringList> read = kept.attributeValues(0, podcast, "transcript", "url");
    QCOMPARE(read.has_value(), plain);
    if (read)
        QCOMPARE(*read, parsed);
}

QTEST_GUILESS_MAIN(tst_EpisodeKeptElements)
#include "tst_episodekeptelements.moc"
