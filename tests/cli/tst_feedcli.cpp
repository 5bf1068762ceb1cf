#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class tst_FeedCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dump_printsDocumentAsJson();
    void dump_escapesEveryText();
    void dump_reportsAndMessages_data();
    void dump_reportsAndMessages();
    void resave_writesSameFeed();
    void resave_refusedLeavesOutputUntouched_data();
    void resave_refusedLeavesOutputUntouched();
    void usage_data();
    void usage();
};

namespace {
struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result runCommand(const QStringList &arguments) {
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

QString sample() {
    return qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") + QStringLiteral("/Samples/Podcast.xml");
}

QByteArray feed(const QByteArray &channel) {
    return R"(<?xml version="1.0" encoding="utf-8"?><rss xmlns:itunes="urn:i" version="2.0">)"
           "<channel>" +
           channel + "</channel></rss>";
}

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
} // namespace

void tst_FeedCli::dump_printsDocumentAsJson() {
    const Result result = runCommand({QStringLiteral("dump"), sample()});
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.keys(), (QStringList{u"episodes"_qs, u"errors"_qs, u"fields"_qs, u"message"_qs}));
    QCOMPARE(json[u"fields"].toArray().size(), 12);
    QCOMPARE(json[u"fields"][0].toString(), QStringLiteral("The Lantern Orchard"));
    const QJsonArray episodes = json[u"episodes"].toArray();
    QCOMPARE(episodes.size(), 3);
    for (const QJsonValue &episode : episodes)
        QCOMPARE(episode.toArray().size(), 13);
    QCOMPARE(episodes[2][0].toString(), QStringLiteral("The Cider Press at Île de Ré"));
    QVERIFY(json[u"errors"].toArray().isEmpty());
    QVERIFY(json[u"message"].isNull());
}

void tst_FeedCli::dump_escapesEveryText() {
    QTemporaryDir dir;
    const QString path = write(dir, QStringLiteral("odd.xml"),
                               feed("<title>say \"hi\" \\ &#9;tab&#10;line</title>"
                                    "<link>\xf0\x9f\x8e\x99 \xe2\x80\xa8</link>"
                                    "<description>&lt;b&gt;&amp;</description>"));
    const Result result = runCommand({QStringLiteral("dump"), path});
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json[u"fields"][0].toString(), QStringLiteral("say \"hi\" \\ \ttab\nline"));
    QCOMPARE(json[u"fields"][1].toString(), QStringLiteral("🎙 \u2028"));
    QCOMPARE(json[u"fields"][4].toString(), QStringLiteral("<b>&"));
}

void tst_FeedCli::dump_reportsAndMessages_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QVariant>("message");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("episodes");

    QTest::newRow("attribute-less image") << feed("<itunes:image /><item><title>a</title></item>")
                                          << 0 << QVariant() << QList<int>{186} << 1;
    QTest::newRow("not XML") << QByteArray("\x01\x02 nothing") << 1
                             << QVariant(QStringLiteral("Fail to load XML.")) << QList<int>() << 0;
    QTest::newRow("entity bomb")
        << QByteArray(
               "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;"
               "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;"
               "&b;&b;&b;&b;&b;&b;\">]><rss><channel><title>&c;</title></channel></rss>")
        << 1 << QVariant(QStringLiteral("Fail to load XML.")) << QList<int>() << 0;
}

void tst_FeedCli::dump_reportsAndMessages() {
    QFETCH(QByteArray, xml);
    QFETCH(int, exitCode);
    QFETCH(QVariant, message);
    QFETCH(QList<int>, steps);
    QFETCH(int, episodes);
    QTemporaryDir dir;
    const Result result =
        runCommand({QStringLiteral("dump"), write(dir, QStringLiteral("f.xml"), xml)});
    QCOMPARE(result.exitCode, exitCode);
    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    if (message.isValid())
        QCOMPARE(json[u"message"].toString(), message.toString());
    else
        QVERIFY(json[u"message"].isNull());
    QCOMPARE(json[u"episodes"].toArray().size(), episodes);
    const QJsonArray errors = json[u"errors"].toArray();
    QCOMPARE(errors.size(), steps.size());
    for (qsizetype i = 0; i < steps.size(); ++i) {
        QCOMPARE(errors[i][u"step"].toInt(), steps[i]);
        QCOMPARE(errors[i][u"location"].toString(),
                 QStringLiteral("in Fernhollow2021/08/31.Form1.PushButton7_Click "));
        QVERIFY(!errors[i][u"description"].toString().isEmpty());
    }
    if (message.isValid())
        QVERIFY(result.err.contains("Fail to load XML."));
}

void tst_FeedCli::resave_writesSameFeed() {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("copy"));
    const Result result = runCommand({QStringLiteral("resave"), sample(), out});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.err.isEmpty());
    const QRegularExpression buildDate(QStringLiteral("<lastBuildDate>[^<]*</lastBuildDate>"));
    QCOMPARE(QString::fromUtf8(readAll(out)).remove(buildDate),
             QString::fromUtf8(readAll(sample())).remove(buildDate));
}

void tst_FeedCli::resave_refusedLeavesOutputUntouched_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("stderrHas");
    // The reference loads as a bare ampersand, which the save refuses.
    QTest::newRow("not valid once saved")
        << feed("<title>Fish &amp; Chips</title>") << QByteArray("XML is not valid.");
    QTest::newRow("input not loadable") << QByteArray("<rss>") << QByteArray("Fail to load XML.");
}

void tst_FeedCli::resave_refusedLeavesOutputUntouched() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, stderrHas);
    QTemporaryDir dir;
    const QString in = write(dir, QStringLiteral("in.xml"), xml);
    const QString out = write(dir, QStringLiteral("out.xml"), "earlier");
    const Result result = runCommand({QStringLiteral("resave"), in, out});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(stderrHas), result.err.constData());
    QCOMPARE(readAll(out), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void tst_FeedCli::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("outHas");
    QTest::addColumn<QByteArray>("errHas");
    QTest::newRow("help") << QStringList{u"--help"_qs} << 0 << QByteArray("Usage:") << QByteArray();
    QTest::newRow("version") << QStringList{u"--version"_qs} << 0 << QByteArray("brindlewood-feed ")
                             << QByteArray();
    QTest::newRow("nothing") << QStringList() << 2 << QByteArray() << QByteArray("no command");
    QTest::newRow("unknown command") << QStringList{u"print"_qs, u"x"_qs} << 2 << QByteArray()
                                     << QByteArray("unknown command 'print'");
    QTest::newRow("unknown option")
        << QStringList{u"--fast"_qs} << 2 << QByteArray() << QByteArray("unknown option");
    QTest::newRow("dump without file")
        << QStringList{u"dump"_qs} << 2 << QByteArray() << QByteArray("dump takes one FILE");
    QTest::newRow("resave without output") << QStringList{u"resave"_qs, u"in.xml"_qs} << 2
                                           << QByteArray() << QByteArray("resave takes IN and OUT");
    QTest::newRow("missing file") << QStringList{u"dump"_qs, u"/nonexistent/feed.xml"_qs} << 1
                                  << QByteArray("\"message\": \"Fail to load XML.\"")
                                  << QByteArray("/nonexistent/feed.xml");
}

void tst_FeedCli::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, outHas);
    QFETCH(QByteArray, errHas);
    const Result result = runCommand(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.out.contains(outHas), result.out.constData());
    QVERIFY2(result.err.contains(errHas), result.err.constData());
}

QTEST_GUILESS_MAIN(tst_FeedCli)
#include "tst_feedcli.moc"
