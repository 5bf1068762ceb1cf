#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include "feed/FeedCheck.h"
#include "feed/LoadPodcast.h"
#include "feed/SavePodcast.h"
#include "model/PodcastDocument.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Feeds that are hostile by their shape rather than broken: thousands of
// prefixes, a hundred thousand items, CDATA sections of many megabytes. Each
// one loads, checks and saves, and the saved file loads back the same; or
// the load refuses it with its reason and changes nothing. Made here, not
// kept as files: some are megabytes.
class tst_LargeFeeds : public QObject {
    Q_OBJECT

public:
    enum class Shape {
        RedeclaredPrefix,
        DistinctPrefixesOnRoot,
        DistinctPrefixesPerItem,
        ManyNamespacedElements,
        MinimalItems,
        AdjacentCdata,
        LongCdata,
        TooManyPrefixes,
        NestedDeclarations,
    };
    Q_ENUM(Shape)

private Q_SLOTS:
    void loadCheckSave_sameFeedBackOrRefusedWithReason_data();
    void loadCheckSave_sameFeedBackOrRefusedWithReason();
};

namespace {
QByteArray rss(const QByteArray &declarations, const QByteArray &items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"" +
           declarations + " version=\"2.0\"><channel><title>Large</title>\n" + items +
           "</channel></rss>\n";
}

QByteArray n(int number) {
    return QByteArray::number(number);
}

QByteArray feed(tst_LargeFeeds::Shape shape, int count) {
    using Shape = tst_LargeFeeds::Shape;
    QByteArray declarations;
    QByteArray items;
    switch (shape) {
    case Shape::RedeclaredPrefix:
        for (int i = 0; i < count; ++i)
            items += "<item xmlns:p=\"urn:n:" + n(i) + "\"><title>E" + n(i) + "</title><p:x>" +
                     n(i) + "</p:x></item>\n";
        break;
    case Shape::DistinctPrefixesOnRoot:
        for (int i = 0; i < count; ++i) {
            declarations += " xmlns:p" + n(i) + "=\"urn:n:" + n(i) + '"';
            items += "<item><title>E" + n(i) + "</title><p" + n(i) + ":x/></item>\n";
        }
        break;
    case Shape::DistinctPrefixesPerItem:
    case Shape::TooManyPrefixes:
        for (int i = 0; i < count; ++i)
            items += "<item xmlns:p" + n(i) + "=\"urn:n:" + n(i) + "\"><title>E" + n(i) +
                     "</title><p" + n(i) + ":x/></item>\n";
        break;
    case Shape::ManyNamespacedElements:
        for (int j = 0; j < 50; ++j)
            declarations += " xmlns:p" + n(j) + "=\"urn:n:" + n(j) + '"';
        for (int i = 0; i < count; ++i) {
            items += "<item><title>E" + n(i) + "</title>";
            for (int j = 0; j < 50; ++j)
                items += "<p" + n(j) + ":x/>";
            items += "</item>\n";
        }
        break;
    case Shape::MinimalItems:
        items = QByteArray("<item><title>E</title></item>\n").repeated(count);
        break;
    case Shape::AdjacentCdata:
    case Shape::LongCdata:
        items = "<item><title>E</title><description>";
        for (int i = 0; i < (shape == Shape::AdjacentCdata ? 3 : 1); ++i)
            items += "<![CDATA[" + QByteArray(count, char('a' + i)) + "]]>";
        items += "</description></item>\n";
        break;
    case Shape::NestedDeclarations:
        items = "<item><title>E</title>";
        for (int level = 0; level < 15; ++level) {
            items += "<w";
            for (int i = 0; i < 1000; ++i)
                items += " xmlns:q" + n(level) + '_' + n(i) + "=\"u\"";
            items += '>';
        }
        items += QByteArray("<z/>").repeated(count) + QByteArray("</w>").repeated(15) + "</item>";
        break;
    }
    return rss(declarations, items);
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a load gives, to compare with the load of what was saved.
QByteArray fingerprint(const PodcastDocument &document) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const Episode &episode : document.episodes()) {
        for (const QString &column : episode.columns())
            hash.addData(column.toUtf8() + '\0');
        hash.addData(episode.extra() + '\0');
    }
    for (const auto &[prefix, name] : document.namespaces())
        hash.addData((prefix + u'=' + name + u'\0').toUtf8());
    return hash.result().toHex();
}
} // namespace

void tst_LargeFeeds::loadCheckSave_sameFeedBackOrRefusedWithReason_data() {
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("episodes");
    QTest::addColumn<QString>("refusal");

    const int MB = 1024 * 1024;
    QTest::newRow("2,000 items redeclaring one prefix")
        << Shape::RedeclaredPrefix << 2000 << 2000 << QString();
    QTest::newRow("5,000 distinct prefixes on the root")
        << Shape::DistinctPrefixesOnRoot << 5000 << 5000 << QString();
    QTest::newRow("5,000 distinct prefixes, one per item")
        << Shape::DistinctPrefixesPerItem << 5000 << 5000 << QString();
    QTest::newRow("5,000 items of 50 namespaced elements")
        << Shape::ManyNamespacedElements << 5000 << 5000 << QString();
    QTest::newRow("160,000 minimal items")
        << Shape::MinimalItems << 160'000 << 160'000 << QString();
    QTest::newRow("three adjacent 4 MB CDATA sections")
        << Shape::AdjacentCdata << 4 * MB << 1 << QString();
    QTest::newRow("one 12 MB CDATA section") << Shape::LongCdata << 12 * MB << 1 << QString();
    // More than a saved root could declare: refused at the load, not at the save.
    QTest::newRow("10,001 distinct prefixes")
        << Shape::TooManyPrefixes << 10'001 << 0 << u"Too many namespace prefixes"_qs;
    QTest::newRow("15,000 declarations in scope")
        << Shape::NestedDeclarations << 1000 << 0
        << u"More than 6000 namespace declarations in scope"_qs;
}

void tst_LargeFeeds::loadCheckSave_sameFeedBackOrRefusedWithReason() {
    QFETCH(Shape, shape);
    QFETCH(int, count);
    QFETCH(int, episodes);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"feed.xml"_qs);
    QVERIFY(writeFile(path, feed(shape, count)));

    PodcastDocument document;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    const bool loaded = loadPodcastFile(path, document, messages, errors);
    QVERIFY(errors.reports.isEmpty());
    if (!refusal.isEmpty()) {
        QVERIFY(!loaded);
        QCOMPARE(messages.texts(), QStringList{u"Fail to load XML."_qs});
        const QString detail = messages.shown.first().detail;
        QVERIFY2(detail.startsWith(refusal), qPrintable(detail));
        QCOMPARE(document.episodeCount(), 0);
        QVERIFY(document.namespaces().isEmpty());
        return;
    }
    QVERIFY2(loaded, messages.shown.isEmpty() ? "" : qPrintable(messages.shown.first().detail));
    QCOMPARE(document.episodeCount(), episodes);

    // Each rule shows at most its first hundred findings.
    QHash<QString, int> perRule;
    for (const FeedFinding &finding : FeedCheck::check(document))
        QVERIFY(++perRule[finding.rule] <= FeedCheck::FindingsPerRule);

    const QString saved = dir.filePath(u"saved.xml"_qs);
    ScriptedFileDialogs dialogs;
    dialogs.paths = {saved};
    SaveServices services{dialogs, messages, errors};
    const bool written = SavePodcast(document, services);
    QVERIFY2(written, messages.shown.isEmpty() ? "" : qPrintable(messages.shown.first().detail));
    QVERIFY(messages.shown.isEmpty());

    PodcastDocument again;
    QVERIFY(loadPodcastFile(saved, again, messages, errors));
    QCOMPARE(fingerprint(again), fingerprint(document));
}

QTEST_GUILESS_MAIN(tst_LargeFeeds)
#include "tst_largefeeds.moc"
