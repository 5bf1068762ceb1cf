#include "xml/XmlDocument.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// brindlewood-feed's --repair: dump, check and resave of feeds that are
// almost XML.
class tst_FeedCliRepair : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dump_repairListedInJson_data();
    void dump_repairListedInJson();
    void withoutRepair_outputUnchanged();
    void check_repairsInJsonOrOnStderr();
    void resave_writesStrictlyWellFormedFile_data();
    void resave_writesStrictlyWellFormedFile();
    void usage_data();
    void usage();
};

namespace {
struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result run(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), arguments);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// A space before the declaration, PHP's notice before the root, an undeclared
// prefix and a bare ampersand in an address.
const QByteArray Almost = " <?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "Notice: Undefined index: page in /srv/feed.php on line 9\n"
                          "<rss version=\"2.0\"><channel><title>T</title>\n"
                          "<item><title>One</title><itunes:duration>1:00</itunes:duration>\n"
                          "<enclosure url=\"https://a.example/1.mp3?a=1&b=2\" type=\"audio/mpeg\""
                          " length=\"1\"/></item>\n"
                          "<item><title>Two</title></item></channel></rss>\n";

const QByteArray WellFormed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                              "<rss version=\"2.0\"><channel><title>T</title>"
                              "<item><title>One</title></item></channel></rss>\n";

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList lines(const QJsonArray &repairs) {
    QStringList result;
    for (const QJsonValue &repair : repairs) {
        const QJsonObject object = repair.toObject();
        result.append(QStringLiteral("%1|%2|%3")
                          .arg(object[u"line"].toInt())
                          .arg(object[u"was"].toString(), object[u"now"].toString()));
        if (object[u"what"].toString().isEmpty())
            result.append(QStringLiteral("no what"));
    }
    return result;
}

const QStringList AlmostRepairs{
    u"1| |"_qs, u"2|Notice: Undefined index: page in /srv/feed.php on line 9\n|"_qs,
    u"3|| xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\""_qs, u"5|&|&amp;"_qs};
} // namespace

void tst_FeedCliRepair::dump_repairListedInJson_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("episodes");
    QTest::addColumn<QStringList>("repairs");
    QTest::addColumn<QByteArray>("errHas");
    QTest::newRow("almost XML") << Almost << 0 << 2 << AlmostRepairs
                                << QByteArray("a repaired copy was read (4 changes)");
    QTest::newRow("needs no repair") << WellFormed << 0 << 1 << QStringList() << QByteArray();
    QTest::newRow("crossed tags")
        << QByteArray("<rss><channel><item><title>A & B</item></title></channel></rss>") << 1 << 0
        << QStringList() << QByteArray("cannot be repaired: Not well-formed even after repair");
    QTest::newRow("HTML page") << QByteArray("<html><head><title>Document Moved</title></head>")
                               << 1 << 0 << QStringList() << QByteArray("cannot be repaired");
}

void tst_FeedCliRepair::dump_repairListedInJson() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, exitCode);
    QFETCH(int, episodes);
    QFETCH(QStringList, repairs);
    QFETCH(QByteArray, errHas);
    QTemporaryDir dir;
    const QString path = write(dir, u"feed.xml"_qs, bytes);
    const Result result = run({u"dump"_qs, u"--repair"_qs, u"--json"_qs, path});
    QCOMPARE(result.exitCode, exitCode);
    QJsonParseError error;
    const QJsonObject dump = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(dump[u"episodes"].toArray().size(), episodes);
    QVERIFY(dump[u"repairs"].isArray());
    QCOMPARE(lines(dump[u"repairs"].toArray()), repairs);
    QCOMPARE(dump[u"message"].isNull(), exitCode == 0);
    QVERIFY2(result.err.contains(errHas), result.err.constData());
    QCOMPARE(readAll(path), bytes);
}

void tst_FeedCliRepair::withoutRepair_outputUnchanged() {
    QTemporaryDir dir;
    const QString almost = write(dir, u"almost.xml"_qs, Almost);
    const Result refused = run({u"dump"_qs, almost});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(!refused.out.contains("repairs"));
    QVERIFY(refused.out.contains("\"message\": \"Fail to load XML.\""));
    QVERIFY(!refused.err.contains("repaired"));

    // A file that needs none loads as it does without --repair.
    const QString good = write(dir, u"good.xml"_qs, WellFormed);
    const Result plain = run({u"dump"_qs, good});
    const Result repaired = run({u"dump"_qs, u"--repair"_qs, good});
    QCOMPARE(repaired.out, plain.out.chopped(2) + ",\n \"repairs\": []}\n");
    QCOMPARE(repaired.err, plain.err);
}

void tst_FeedCliRepair::check_repairsInJsonOrOnStderr() {
    QTemporaryDir dir;
    const QString path = write(dir, u"feed.xml"_qs, Almost);
    QCOMPARE(run({u"check"_qs, path}).exitCode, 2);

    const Result json = run({u"check"_qs, u"--json"_qs, u"--repair"_qs, path});
    QVERIFY(json.exitCode == 0 || json.exitCode == 1);
    const QJsonObject checked = QJsonDocument::fromJson(json.out).object();
    QVERIFY(checked[u"findings"].isArray());
    QCOMPARE(lines(checked[u"repairs"].toArray()), AlmostRepairs);

    const Result text = run({u"check"_qs, u"--repair"_qs, path});
    QCOMPARE(text.exitCode, json.exitCode);
    QVERIFY(!text.out.contains("bare & escaped"));
    const QByteArray expected = "brindlewood-feed: " + path.toUtf8() +
                                ": line 5: \"&\" \xE2\x86\x92 \"&amp;\": bare & escaped\n";
    QVERIFY2(text.err.contains(expected), text.err.constData());
    QCOMPARE(text.err.count("brindlewood-feed: " + path.toUtf8() + ": line "), 4);
}

void tst_FeedCliRepair::resave_writesStrictlyWellFormedFile_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("list on stderr") << QStringList{u"--repair"_qs};
    QTest::newRow("list as JSON") << QStringList{u"--repair"_qs, u"--json"_qs};
}

void tst_FeedCliRepair::resave_writesStrictlyWellFormedFile() {
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QString in = write(dir, u"in.xml"_qs, Almost);
    const QString out = dir.filePath(u"out.xml"_qs);
    QCOMPARE(run({u"resave"_qs, in, out}).exitCode, 1);
    QVERIFY(!QFile::exists(out));

    const Result result = run(QStringList{u"resave"_qs, in, out} + options);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readAll(in), Almost);
    const QByteArray written = readAll(out);
    QCOMPARE(XmlDocument::checkWellFormed(written), QString());
    QVERIFY(written.contains("<itunes:duration>1:00</itunes:duration>"));
    QVERIFY(written.contains("https://a.example/1.mp3?a=1&amp;b=2"));
    if (options.contains(u"--json"_qs))
        QCOMPARE(lines(QJsonDocument::fromJson(result.out).object()[u"repairs"].toArray()),
                 AlmostRepairs);
    else
        QVERIFY(result.out.isEmpty());

    // What was written loads strictly, with the episodes the repair read.
    const Result again = run({u"dump"_qs, out});
    QCOMPARE(again.exitCode, 0);
    const Result repaired = run({u"dump"_qs, u"--repair"_qs, in});
    QCOMPARE(QJsonDocument::fromJson(again.out).object()[u"episodes"],
             QJsonDocument::fromJson(repaired.out).object()[u"episodes"]);
}

void tst_FeedCliRepair::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("errHas");
    QTest::newRow("repair with add")
        << QStringList{u"add"_qs, u"--repair"_qs, u"f.xml"_qs, u"m.mp3"_qs}
        << QByteArray("--repair goes with dump, check and resave only");
    QTest::newRow("json with a plain resave")
        << QStringList{u"resave"_qs, u"--json"_qs, u"a.xml"_qs, u"b.xml"_qs}
        << QByteArray("--json goes with check, dump and resave --repair only");
}

void tst_FeedCliRepair::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, errHas);
    const Result result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(errHas), result.err.constData());
}

QTEST_GUILESS_MAIN(tst_FeedCliRepair)
#include "tst_feedclirepair.moc"
