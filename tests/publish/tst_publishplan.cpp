#include "publish/PublishPlan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_PublishPlan : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void read_listsOurMediaOnceInFeedOrder();
    void read_mediaFolder_data();
    void read_mediaFolder();
    void relativePath_data();
    void relativePath();
    void read_refused_data();
    void read_refused();
};

namespace {
QByteArray feedWith(const QByteArray &items) {
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>T</title>" + items +
           "</channel></rss>";
}

QByteArray item(const QByteArray &title, const QByteArray &url, const QByteArray &length) {
    return "<item><title>" + title + "</title><enclosure url=\"" + url + "\" length=\"" + length +
           "\" type=\"audio/mpeg\"/></item>";
}

QString writeFeed(const QTemporaryDir &dir, const QByteArray &bytes) {
    const QString path = dir.filePath(u"Podcast.xml"_qs);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

const QString Public = u"https://cdn.example.org/pod/"_qs;
} // namespace

void tst_PublishPlan::read_listsOurMediaOnceInFeedOrder() {
    QTemporaryDir dir;
    const QByteArray bytes =
        feedWith(item("Two", "https://cdn.example.org/pod/ep/two.mp3?src=rss", "20") +
                 item("Elsewhere", "https://other.example.org/pod/x.mp3", "abc") +
                 "<item><title>No audio</title></item>" +
                 item("One &amp; more", "https://cdn.example.org/pod/one%20a.mp3", " 10 ") +
                 item("Rerun", "https://cdn.example.org/pod/ep/two.mp3", "20"));
    PublishPlan plan;
    QString error;
    QVERIFY2(plan.read(writeFeed(dir, bytes), u"https://cdn.example.org/pod"_qs, QString(), &error),
             qPrintable(error));
    QCOMPARE(plan.feedBytes(), bytes);
    QCOMPARE(plan.feedName(), u"Podcast.xml"_qs);
    QCOMPARE(plan.publicUrl(), Public);
    QCOMPARE(plan.media().size(), 2);
    QCOMPARE(plan.media()[0].relative, u"ep/two.mp3"_qs);
    QCOMPARE(plan.media()[0].episode, 1);
    QCOMPARE(plan.media()[0].length, 20);
    QCOMPARE(plan.media()[1].relative, u"one a.mp3"_qs);
    QCOMPARE(plan.media()[1].episode, 4);
    QCOMPARE(plan.media()[1].length, 10);
    QCOMPARE(plan.media()[1].type, u"audio/mpeg"_qs);
    QCOMPARE(plan.media()[1].episodeText(), u"Episode 4, \"One & more\""_qs);
}

void tst_PublishPlan::read_mediaFolder_data() {
    QTest::addColumn<bool>("given");
    QTest::newRow("the feed's folder") << false;
    QTest::newRow("--media-dir") << true;
}

void tst_PublishPlan::read_mediaFolder() {
    QFETCH(bool, given);
    QTemporaryDir dir;
    QTemporaryDir media;
    PublishPlan plan;
    QString error;
    QVERIFY2(
        plan.read(writeFeed(dir, feedWith(item("A", "https://cdn.example.org/pod/s/a.mp3", "1"))),
                  Public, given ? media.path() : QString(), &error),
        qPrintable(error));
    QCOMPARE(plan.media().first().localPath, (given ? media.path() : dir.path()) + u"/s/a.mp3"_qs);
}

void tst_PublishPlan::relativePath_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("error");
    QTest::newRow("file") << u"https://cdn.example.org/pod/a.mp3"_qs << u"a.mp3"_qs << QString();
    QTest::newRow("sub-folder, fragment")
        << u"https://cdn.example.org/pod/2024/a.mp3#t=1"_qs << u"2024/a.mp3"_qs << QString();
    QTest::newRow("encoded UTF-8")
        << u"https://cdn.example.org/pod/caf%C3%A9.mp3"_qs << u"café.mp3"_qs << QString();
    QTest::newRow("not ours: other folder")
        << u"https://cdn.example.org/podcast.mp3"_qs << QString() << QString();
    QTest::newRow("not ours: http")
        << u"http://cdn.example.org/pod/a.mp3"_qs << QString() << QString();
    QTest::newRow("climbs out") << u"https://cdn.example.org/pod/../etc/passwd"_qs << QString()
                                << u"'..'"_qs;
    QTest::newRow("encoded climb")
        << u"https://cdn.example.org/pod/%2E%2E/x.mp3"_qs << QString() << u"'..'"_qs;
    QTest::newRow("encoded slash")
        << u"https://cdn.example.org/pod/a%2F..%2Fb.mp3"_qs << QString() << u"encoded slash"_qs;
    QTest::newRow("folder") << u"https://cdn.example.org/pod/ep/"_qs << QString()
                            << u"names a folder"_qs;
    QTest::newRow("the folder itself")
        << u"https://cdn.example.org/pod/"_qs << QString() << u"names a folder"_qs;
    QTest::newRow("empty segment")
        << u"https://cdn.example.org/pod/a//b.mp3"_qs << QString() << u"empty"_qs;
}

void tst_PublishPlan::relativePath() {
    QFETCH(QString, url);
    QFETCH(QString, relative);
    QFETCH(QString, error);
    QString why;
    QCOMPARE(PublishPlan::relativePath(Public, url, &why), relative);
    if (error.isEmpty())
        QVERIFY2(why.isEmpty(), qPrintable(why));
    else
        QVERIFY2(why.contains(error), qPrintable(why));
}

void tst_PublishPlan::read_refused_data() {
    QTest::addColumn<QByteArray>("feed");
    QTest::addColumn<QString>("publicUrl");
    QTest::addColumn<QString>("error");
    QTest::newRow("not well-formed")
        << feedWith("<item><title>Tom & Jerry</title></item>") << Public << u"not well-formed"_qs;
    QTest::newRow("length not a number")
        << feedWith(item("A", "https://cdn.example.org/pod/a.mp3", "12 MB")) << Public
        << u"Episode 1, \"A\": the enclosure length '12 MB' of a.mp3 is not a number"_qs;
    QTest::newRow("negative length")
        << feedWith(item("A", "https://cdn.example.org/pod/a.mp3", "-1")) << Public << u"'-1'"_qs;
    QTest::newRow("one file, two lengths")
        << feedWith(item("A", "https://cdn.example.org/pod/a.mp3", "1") +
                    item("B", "https://cdn.example.org/pod/a.mp3", "2"))
        << Public << u"Episode 1, \"A\" and Episode 2, \"B\" name the same file a.mp3"_qs;
    QTest::newRow("climbs out") << feedWith(item("A", "https://cdn.example.org/pod/../a.mp3", "1"))
                                << Public << u"Episode 1, \"A\": the address"_qs;
    QTest::newRow("public url not http")
        << feedWith(QByteArray()) << u"ftp://cdn.example.org/"_qs << u"--public-url"_qs;
}

void tst_PublishPlan::read_refused() {
    QFETCH(QByteArray, feed);
    QFETCH(QString, publicUrl);
    QFETCH(QString, error);
    QTemporaryDir dir;
    PublishPlan plan;
    QString why;
    QVERIFY(!plan.read(writeFeed(dir, feed), publicUrl, QString(), &why));
    QVERIFY2(why.contains(error), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_PublishPlan)
#include "tst_publishplan.moc"
