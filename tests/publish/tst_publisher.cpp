#include "MemoryStore.h"
#include "publish/Publisher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_Publisher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void run_sendsMediaFirstAndFeedLast();
    void run_checksBeforeSending_data();
    void run_checksBeforeSending();
    void run_retriesTransientFailures_data();
    void run_retriesTransientFailures();
    void run_retriesOpening();
    void run_dryRunSendsNothing();
    void run_cancelKeepsOldFeed();
    void run_confirmsReplacingMedia_data();
    void run_confirmsReplacingMedia();
};

namespace {
const QString Public = u"https://cdn.example.org/pod/"_qs;

// A feed folder with a.mp3 (3 bytes) and ep/b.m4a (5 bytes), the feed
// naming them with the given lengths.
struct Folder {
    QTemporaryDir dir;
    QString feed;
    PublishPlan plan;

    Folder(const QByteArray &lengthA = "3", const QByteArray &lengthB = "5") {
        QDir(dir.path()).mkpath(u"ep"_qs);
        write(u"a.mp3"_qs, "aaa");
        write(u"ep/b.m4a"_qs, "bbbbb");
        feed = write(u"Podcast.xml"_qs,
                     "<rss version=\"2.0\"><channel><title>T</title>"
                     "<item><title>A</title><enclosure url=\"https://cdn.example.org/pod/a.mp3\" "
                     "length=\"" +
                         lengthA +
                         "\" type=\"audio/mpeg\"/></item>"
                         "<item><title>B</title><enclosure "
                         "url=\"https://cdn.example.org/pod/ep/b.m4a\" length=\"" +
                         lengthB + "\" type=\"audio/x-m4a\"/></item></channel></rss>");
        QString error;
        if (!plan.read(feed, Public, QString(), &error))
            qWarning("%s", qPrintable(error));
    }
    QString write(const QString &name, const QByteArray &bytes) const {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return file.fileName();
    }
};

QStringList puts(const MemoryStore &store) {
    return store.log.filter(QRegularExpression(u"^put "_qs));
}
} // namespace

void tst_Publisher::run_sendsMediaFirstAndFeedLast() {
    Folder folder;
    MemoryStore store;
    Publisher publisher(folder.plan, store);
    QList<Publisher::Progress> seen;
    publisher.setProgress([&](const Publisher::Progress &progress) { seen.append(progress); });
    const Publisher::Report report = publisher.run();
    QVERIFY2(report.published, qPrintable(report.refusals.join(u'\n')));
    QCOMPARE(puts(store),
             QStringList({u"put a.mp3"_qs, u"put ep/b.m4a"_qs, u"put Podcast.xml"_qs}));
    QCOMPARE(store.files.value(u"ep/b.m4a"_qs), QByteArray("bbbbb"));
    QCOMPARE(store.files.value(u"Podcast.xml"_qs), folder.plan.feedBytes());
    QCOMPARE(store.types.value(u"ep/b.m4a"_qs), u"audio/x-m4a"_qs);
    QCOMPARE(store.types.value(u"Podcast.xml"_qs), u"application/rss+xml"_qs);
    QCOMPARE(report.sent.size(), 3);
    QVERIFY(report.sent.last().isFeed);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.last().totalSent, 8 + folder.plan.feedBytes().size());
    QCOMPARE(seen.last().totalSent, seen.last().totalSize);
    QCOMPARE(seen.last().fileNumber, 3);
}

void tst_Publisher::run_checksBeforeSending_data() {
    QTest::addColumn<QByteArray>("lengthA");
    QTest::addColumn<bool>("deleteLocalA");
    QTest::addColumn<QByteArray>("remoteA"); // "-": none
    QTest::addColumn<bool>("replaceMedia");
    QTest::addColumn<QStringList>("sent"); // empty: refused, nothing sent
    QTest::addColumn<QString>("outcome");  // the skip reason or the refusal
    const QStringList feedOnly{u"put ep/b.m4a"_qs, u"put Podcast.xml"_qs};
    const QStringList all{u"put a.mp3"_qs, u"put ep/b.m4a"_qs, u"put Podcast.xml"_qs};
    QTest::newRow("same size on the server: not sent again")
        << QByteArray("3") << false << QByteArray("xyz") << false << feedOnly
        << u"already on the server"_qs;
    QTest::newRow("only on the server") << QByteArray("3") << true << QByteArray("xyz") << false
                                        << feedOnly << u"only on the server"_qs;
    QTest::newRow("nowhere") << QByteArray("3") << true << QByteArray("-") << false << QStringList()
                             << u"Episode 1, \"A\": the media file %1 is neither here nor on "
                                u"the server."_qs;
    QTest::newRow("wrong length") << QByteArray("4") << false << QByteArray("-") << false
                                  << QStringList()
                                  << u"Episode 1, \"A\": the enclosure length is 4 bytes, but %1 "
                                     u"has 3 bytes."_qs;
    QTest::newRow("another size online") << QByteArray("3") << false << QByteArray("xy") << false
                                         << QStringList() << u"--replace-media"_qs;
    QTest::newRow("another size online, replaced")
        << QByteArray("3") << false << QByteArray("xy") << true << all << QString();
    QTest::newRow("not here, another size online")
        << QByteArray("3") << true << QByteArray("xy") << false << QStringList()
        << u"the server's copy has 2 bytes, not the enclosure's 3"_qs;
}

void tst_Publisher::run_checksBeforeSending() {
    QFETCH(QByteArray, lengthA);
    QFETCH(bool, deleteLocalA);
    QFETCH(QByteArray, remoteA);
    QFETCH(bool, replaceMedia);
    QFETCH(QStringList, sent);
    QFETCH(QString, outcome);
    Folder folder(lengthA);
    const QString localA = QDir::toNativeSeparators(folder.dir.filePath(u"a.mp3"_qs));
    if (deleteLocalA)
        QVERIFY(QFile::remove(localA));
    MemoryStore store;
    if (remoteA != "-")
        store.files.insert(u"a.mp3"_qs, remoteA);
    store.files.insert(u"Podcast.xml"_qs, "old feed");
    const auto before = store.files;
    Publisher publisher(folder.plan, store);
    publisher.setReplaceMedia(replaceMedia);
    const Publisher::Report report = publisher.run();
    QCOMPARE(puts(store), sent);
    QCOMPARE(report.published, !sent.isEmpty());
    if (sent.isEmpty()) {
        QCOMPARE(store.files, before);
        QCOMPARE(report.refusals.size(), 1);
        const QString expected = outcome.contains(u"%1") ? outcome.arg(localA) : outcome;
        QVERIFY2(report.refusals.first().contains(expected), qPrintable(report.refusals.first()));
    } else if (!outcome.isEmpty()) {
        QCOMPARE(report.skipped.size(), 1);
        QCOMPARE(report.skipped.first().reason, outcome);
    } else {
        QVERIFY(report.sent.first().replaced);
    }
}

void tst_Publisher::run_retriesTransientFailures_data() {
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("transient");
    QTest::addColumn<int>("tries");
    QTest::addColumn<bool>("published");
    QTest::newRow("one dropped connection") << 1 << true << 2 << true;
    QTest::newRow("three") << 3 << true << 4 << true;
    QTest::newRow("four: given up") << 4 << true << 4 << false;
    QTest::newRow("a refusal is not retried") << 1 << false << 1 << false;
}

void tst_Publisher::run_retriesTransientFailures() {
    QFETCH(int, failures);
    QFETCH(bool, transient);
    QFETCH(int, tries);
    QFETCH(bool, published);
    Folder folder;
    MemoryStore store;
    store.files.insert(u"a.mp3"_qs, "aaa");
    store.files.insert(u"ep/b.m4a"_qs, "bbbbb");
    store.files.insert(u"Podcast.xml"_qs, "old feed");
    store.failPutsOnly = true;
    for (int i = 0; i < failures; ++i)
        store.failures.append({u"Connection reset by peer"_qs, transient});
    Publisher publisher(folder.plan, store);
    publisher.setRetryDelays({0, 0, 0});
    const Publisher::Report report = publisher.run();
    QCOMPARE(report.published, published);
    QCOMPARE(puts(store).size(), tries);
    if (published) {
        QCOMPARE(store.files.value(u"Podcast.xml"_qs), folder.plan.feedBytes());
        // Each retry opens the connection again first.
        QCOMPARE(store.log.count(u"open"_qs), 1 + tries - 1);
    } else {
        QCOMPARE(store.files.value(u"Podcast.xml"_qs), QByteArray("old feed"));
        QCOMPARE(report.refusals, QStringList(u"Podcast.xml: Connection reset by peer"_qs));
    }
}

void tst_Publisher::run_retriesOpening() {
    Folder folder;
    MemoryStore store;
    store.failures = {{u"Connection refused"_qs, true}, {u"Connection refused"_qs, true}};
    Publisher publisher(folder.plan, store);
    publisher.setRetryDelays({0, 0, 0});
    QVERIFY(publisher.run().published);
    QCOMPARE(store.log.count(u"open"_qs), 3);
}

void tst_Publisher::run_dryRunSendsNothing() {
    Folder folder;
    MemoryStore store;
    store.files.insert(u"a.mp3"_qs, "aaa");
    Publisher publisher(folder.plan, store);
    publisher.setDryRun(true);
    const Publisher::Report report = publisher.run();
    QVERIFY(puts(store).isEmpty());
    QVERIFY(!report.published);
    QVERIFY(report.refusals.isEmpty());
    QCOMPARE(report.sent.size(), 2);
    QCOMPARE(report.sent[0].relative, u"ep/b.m4a"_qs);
    QCOMPARE(report.sent[1].relative, u"Podcast.xml"_qs);
    QCOMPARE(report.skipped.size(), 1);
}

void tst_Publisher::run_cancelKeepsOldFeed() {
    Folder folder;
    MemoryStore store;
    store.files.insert(u"Podcast.xml"_qs, "old feed");
    std::atomic<bool> cancel{false};
    Publisher publisher(folder.plan, store);
    publisher.setCancel(&cancel);
    // Cancelled while the first file is going out.
    publisher.setProgress([&](const Publisher::Progress &progress) {
        if (progress.fileSent > 0)
            cancel.store(true);
    });
    const Publisher::Report report = publisher.run();
    QVERIFY(!report.published);
    QCOMPARE(store.files.value(u"Podcast.xml"_qs), QByteArray("old feed"));
    QCOMPARE(puts(store), QStringList(u"put a.mp3"_qs));
    QCOMPARE(report.refusals,
             QStringList(u"Cancelled; the feed on the server was not changed."_qs));
}

void tst_Publisher::run_confirmsReplacingMedia_data() {
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirmed") << true;
    QTest::newRow("declined") << false;
}

void tst_Publisher::run_confirmsReplacingMedia() {
    QFETCH(bool, confirmed);
    Folder folder;
    MemoryStore store;
    store.files.insert(u"a.mp3"_qs, "older");
    store.files.insert(u"Podcast.xml"_qs, "old feed");
    Publisher publisher(folder.plan, store);
    QList<Publisher::Skipped> asked;
    publisher.setConfirmReplace([&](const QList<Publisher::Skipped> &replaced) {
        asked = replaced;
        // Asked before any byte goes out.
        return puts(store).isEmpty() && confirmed;
    });
    const Publisher::Report report = publisher.run();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().relative, u"a.mp3"_qs);
    QCOMPARE(asked.first().reason, u"5"_qs);
    QCOMPARE(report.published, confirmed);
    QCOMPARE(store.files.value(u"a.mp3"_qs), confirmed ? QByteArray("aaa") : QByteArray("older"));
    if (confirmed) {
        QVERIFY(report.sent.first().replaced);
    } else {
        QVERIFY(puts(store).isEmpty());
        QCOMPARE(store.files.value(u"Podcast.xml"_qs), QByteArray("old feed"));
    }
}

QTEST_GUILESS_MAIN(tst_Publisher)
#include "tst_publisher.moc"
