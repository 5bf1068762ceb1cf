#include "feed/EpisodeKeptElements.h"
#include "model/PodcastDocument.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_EpisodeKeptElements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void elements_asEachBlockAloneHasThem_data();
    void elements_asEachBlockAloneHasThem();
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

QTEST_GUILESS_MAIN(tst_EpisodeKeptElements)
#include "tst_episodekeptelements.moc"
