#include "support/FullDisk.h"
#include "support/SaveTargets.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <tuple>

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
    void resave_outputCannotTakeFeed_refusedWithReason_data();
    void resave_outputCannotTakeFeed_refusedWithReason();
    void resave_throughLinkAndLongName_written_data();
    void resave_throughLinkAndLongName_written();
    void add_appendsOneEpisodePerMediaFile();
    void add_urlBaseGivesAddress_data();
    void add_urlBaseGivesAddress();
    void add_refusedLeavesFeedByteIdentical_data();
    void add_refusedLeavesFeedByteIdentical();
    void add_unreadableDurationWarnsAndAdds();
    void usage_data();
    void usage();
    void check_exitStatus_data();
    void check_exitStatus();
    void check_jsonListsEveryFinding();
    void check_plainTextOneFindingALine();
    void check_samplePasses();
    void check_manyFindingsOfOneRule_firstHundredThenACount();

public:
    enum class Out { FullDisk, Fifo, Device, ReadOnlyFile, Folder };
    Q_ENUM(Out)
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

// A feed as the editor writes it, with what the directories require.
QByteArray goodFeed(const QByteArray &channelExtra, const QByteArray &explicitValue) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd" version="2.0"><channel>
<title>Night Owls</title><link>https://example.org/</link><language>en</language>
<copyright>2024</copyright><description>Owls.</description>
<itunes:category text="Leisure" /><itunes:owner><itunes:name>Ann</itunes:name>
<itunes:email>ann@example.org</itunes:email></itunes:owner>
<itunes:image href="https://example.org/cover.jpg" />)" +
           channelExtra + R"(<item><title>One</title>
<enclosure url="https://example.org/one.mp3" type="audio/mpeg" length="1234" />
<guid>https://example.org/1</guid><pubDate>Mon, 05 Feb 2024 06:00:00 +0000</pubDate>
<itunes:duration>1:00</itunes:duration><itunes:explicit>)" +
           explicitValue + "</itunes:explicit></item></channel></rss>";
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString media(const QString &name) {
    return qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") +
           QStringLiteral("/tests/feed/data/media/") + name;
}

QString copyOfSample(const QTemporaryDir &dir) {
    return write(dir, QStringLiteral("Podcast.xml"), readAll(sample()));
}

QJsonArray episodesOf(const QString &path) {
    const Result result = runCommand({QStringLiteral("dump"), path});
    return QJsonDocument::fromJson(result.out).object()[u"episodes"].toArray();
}
} // namespace

void tst_FeedCli::dump_printsDocumentAsJson() {
    const Result result = runCommand({QStringLiteral("dump"), sample()});
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.keys(),
             (QStringList{u"channelExtra"_qs, u"detail"_qs, u"episodeExtras"_qs, u"episodes"_qs,
                          u"errors"_qs, u"fields"_qs, u"hiddenItems"_qs, u"message"_qs}));
    QCOMPARE(json[u"episodeExtras"].toArray().size(), json[u"episodes"].toArray().size());
    QCOMPARE(json[u"fields"].toArray().size(), 12);
    QCOMPARE(json[u"fields"][0].toString(), QStringLiteral("The Lantern Orchard"));
    const QJsonArray episodes = json[u"episodes"].toArray();
    QCOMPARE(episodes.size(), 3);
    for (const QJsonValue &episode : episodes)
        QCOMPARE(episode.toArray().size(), 13);
    QCOMPARE(episodes[2][0].toString(), QStringLiteral("The Cider Press at Île de Ré"));
    QVERIFY(json[u"errors"].toArray().isEmpty());
    QVERIFY(json[u"message"].isNull());
    QVERIFY(json[u"detail"].isNull());
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
    QCOMPARE(json[u"fields"][4].toString(), QStringLiteral("&lt;b&gt;&amp;"));
}

void tst_FeedCli::dump_reportsAndMessages_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QVariant>("message");
    QTest::addColumn<QVariant>("detail");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("episodes");

    QTest::newRow("attribute-less image") << feed("<itunes:image /><item><title>a</title></item>")
                                          << 0 << QVariant() << QVariant() << QList<int>{186} << 1;
    QTest::newRow("not XML") << QByteArray("Show notes, not a feed") << 1
                             << QVariant(QStringLiteral("Fail to load XML."))
                             << QVariant(QStringLiteral(
                                    "Start tag expected, '<' not found (line 1, column 1)"))
                             << QList<int>() << 0;
    QTest::newRow("cut short") << feed("<item><title>a</title></item>").chopped(16) << 1
                               << QVariant(QStringLiteral("Fail to load XML."))
                               << QVariant(QStringLiteral("Premature end of data in tag channel"))
                               << QList<int>() << 0;
    QTest::newRow("entity bomb")
        << QByteArray(
               "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;"
               "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;"
               "&b;&b;&b;&b;&b;&b;\">]><rss><channel><title>&c;</title></channel></rss>")
        << 1 << QVariant(QStringLiteral("Fail to load XML.")) << QVariant(u"entity"_qs)
        << QList<int>() << 0;
}

void tst_FeedCli::dump_reportsAndMessages() {
    QFETCH(QByteArray, xml);
    QFETCH(int, exitCode);
    QFETCH(QVariant, message);
    QFETCH(QVariant, detail);
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
    // Why it failed, where a script can read it.
    if (detail.isValid())
        QVERIFY2(json[u"detail"].toString().contains(detail.toString(), Qt::CaseInsensitive),
                 qPrintable(json[u"detail"].toString()));
    else
        QVERIFY(json[u"detail"].isNull());
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

void tst_FeedCli::resave_outputCannotTakeFeed_refusedWithReason_data() {
    QTest::addColumn<Out>("kind");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("full disk") << Out::FullDisk << QByteArray(": No space left on device\n");
    QTest::newRow("FIFO") << Out::Fifo
                          << QByteArray(": Is a named pipe (FIFO), not a regular file\n");
    QTest::newRow("device node") << Out::Device
                                 << QByteArray(": Is a device, not a regular file\n");
    QTest::newRow("file without write permission")
        << Out::ReadOnlyFile << QByteArray(": Permission denied: the file is read-only\n");
    QTest::newRow("folder") << Out::Folder << QByteArray(": Is a folder\n");
}

void tst_FeedCli::resave_outputCannotTakeFeed_refusedWithReason() {
    QFETCH(Out, kind);
    QFETCH(QByteArray, reason);
    QTemporaryDir dir;
    std::unique_ptr<FullDisk> disk;
    QString out = dir.filePath(QStringLiteral("out.xml"));
    switch (kind) {
    case Out::FullDisk:
        disk = std::make_unique<FullDisk>();
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->reason()));
        out = disk->filePath(QStringLiteral("out.xml"));
        write(dir, QStringLiteral("out.xml"), "earlier");
        QVERIFY(QFile::copy(dir.filePath(QStringLiteral("out.xml")), out));
        QVERIFY(disk->fill());
        break;
    case Out::Fifo:
        QVERIFY(SaveTargets::makeFifo(out));
        break;
    case Out::Device:
        if (!SaveTargets::makeNullDevice(out))
            QSKIP("making a device node needs root");
        break;
    case Out::ReadOnlyFile:
        write(dir, QStringLiteral("out.xml"), "earlier");
        QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ReadGroup));
        break;
    case Out::Folder:
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.xml")));
        break;
    }
    struct stat before {};
    QCOMPARE(::lstat(QFile::encodeName(out).constData(), &before), 0);

    const Result result = runCommand({QStringLiteral("resave"), sample(), out});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QFile::encodeName(out) + reason), result.err.constData());
    struct stat after {};
    QCOMPARE(::lstat(QFile::encodeName(out).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_rdev, before.st_rdev);
    if (S_ISREG(after.st_mode))
        QCOMPARE(readAll(out), QByteArray("earlier"));
}

void tst_FeedCli::resave_throughLinkAndLongName_written_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("viaLink");
    QTest::newRow("link to the file") << QStringLiteral("out.xml") << true;
    QTest::newRow("255-byte name") << QString(251, u'o') + QStringLiteral(".xml") << false;
}

void tst_FeedCli::resave_throughLinkAndLongName_written() {
    QFETCH(QString, name);
    QFETCH(bool, viaLink);
    QTemporaryDir dir;
    const QString file = write(dir, name, "earlier");
    QString out = file;
    if (viaLink) {
        out = dir.filePath(QStringLiteral("link.xml"));
        QVERIFY(QFile::link(file, out));
    }
    const Result result = runCommand({QStringLiteral("resave"), sample(), out});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), result.err.constData());
    QVERIFY(readAll(file).endsWith("</rss>"));
    QCOMPARE(QFileInfo(out).isSymLink(), viaLink);
}

void tst_FeedCli::add_appendsOneEpisodePerMediaFile() {
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const QJsonArray before = episodesOf(feedPath);
    QCOMPARE(before.size(), 3);
    const Result result =
        runCommand({QStringLiteral("add"), feedPath, media(QStringLiteral("japanese.mp3")),
                    media(QStringLiteral("Episode 7 & more.mp3"))});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), result.err.constData());

    const QJsonArray after = episodesOf(feedPath);
    QCOMPARE(after.size(), 5);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(after[i], before[i]);
    const QJsonArray last = before[2].toArray();
    const QJsonArray first = after[3].toArray();
    const QJsonArray second = after[4].toArray();
    QCOMPARE(first[0].toString(), QStringLiteral("果樹園の霜"));
    QCOMPARE(second[0].toString(), QStringLiteral("Episode 7 &amp; more"));
    const QString folder = last[4].toString().section(u'/', 0, -2) + u'/';
    QCOMPARE(first[4].toString(), folder + QStringLiteral("japanese.mp3"));
    QCOMPARE(second[4].toString(), folder + QStringLiteral("Episode%207%20%26%20more.mp3"));
    QCOMPARE(first[5].toString(), QStringLiteral("audio/mpeg"));
    QCOMPARE(first[6].toString(), QStringLiteral("3489"));
    QCOMPARE(second[6].toString(), QStringLiteral("3384"));
    QCOMPARE(first[9].toString(), QStringLiteral("00:00:03"));
    QVERIFY(first[7].toString().startsWith(u"urn:uuid:"));
    QVERIFY(first[7] != second[7]);
    for (const int column : {1, 10, 11, 12}) {
        QCOMPARE(first[column], last[column]);
        QCOMPARE(second[column], last[column]);
    }
    QCOMPARE(first[2].toString(), QString());
    // What the save wrote: the name's ampersand as a reference, so the file stays XML.
    QVERIFY(readAll(feedPath).contains("<title>Episode 7 &amp; more</title>"));
}

void tst_FeedCli::add_urlBaseGivesAddress_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("url");
    QTest::newRow("separate argument")
        << QStringList{u"--url-base"_qs, u"https://cdn.example.net/ep/"_qs}
        << "https://cdn.example.net/ep/tone.wav";
    QTest::newRow("slash added") << QStringList{u"--url-base=https://cdn.example.net/ep"_qs}
                                 << "https://cdn.example.net/ep/tone.wav";
}

void tst_FeedCli::add_urlBaseGivesAddress() {
    QFETCH(QStringList, options);
    QFETCH(QString, url);
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const Result result = runCommand(QStringList{QStringLiteral("add"), feedPath} + options +
                                     QStringList{media(QStringLiteral("tone.wav"))});
    QCOMPARE(result.exitCode, 0);
    const QJsonArray episodes = episodesOf(feedPath);
    QCOMPARE(episodes.size(), 4);
    QCOMPARE(episodes[3][4].toString(), url);
    QCOMPARE(episodes[3][5].toString(), QStringLiteral("audio/x-wav"));
}

void tst_FeedCli::add_refusedLeavesFeedByteIdentical_data() {
    QTest::addColumn<QStringList>("mediaFiles");
    QTest::addColumn<QByteArray>("feedBytes");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("stderrHas");
    const QByteArray sampleBytes = readAll(sample());
    QTest::newRow("missing media after a good one")
        << QStringList{media(u"tagged.mp3"_qs), media(u"gone.mp3"_qs)} << sampleBytes << 1
        << QByteArray("gone.mp3: No such file or directory; ");
    QTest::newRow("folder as media")
        << QStringList{media(QString())} << sampleBytes << 1 << QByteArray("Is a folder");
    QTest::newRow("not media")
        << QStringList{media(u"make-media"_qs)} << sampleBytes << 1
        << QByteArray("make-media: the content is application/x-shellscript, not audio or video");
    QTest::newRow("feed not loadable")
        << QStringList{media(u"tagged.mp3"_qs)} << QByteArray("<rss><channel>") << 1
        << QByteArray("Fail to load XML.");
    QTest::newRow("feed read-only") << QStringList{media(u"tagged.mp3"_qs)} << sampleBytes << 1
                                    << QByteArray("Permission denied");
    QTest::newRow("no media") << QStringList() << sampleBytes << 2
                              << QByteArray("add takes FEED and at least one MEDIA file");
    QTest::newRow("url base without address")
        << QStringList{media(u"tagged.mp3"_qs), u"--url-base"_qs} << sampleBytes << 2
        << QByteArray("--url-base needs a URL");
    QTest::newRow("unknown option") << QStringList{u"--urlbase=x"_qs, media(u"tagged.mp3"_qs)}
                                    << sampleBytes << 2 << QByteArray("unknown option");
    // Only a plain http(s) folder (the rules are MediaFile's, tested beside it).
    QTest::newRow("url base javascript")
        << QStringList{u"--url-base"_qs, u"javascript:alert(1)"_qs, media(u"tagged.mp3"_qs)}
        << sampleBytes << 2 << QByteArray("only http:// and https:// addresses can be used");
    QTest::newRow("url base with line feed")
        << QStringList{u"--url-base=https://cdn.example.net/\nx"_qs, media(u"tagged.mp3"_qs)}
        << sampleBytes << 2
        << QByteArray("'https://cdn.example.net/\\nx': blanks, tabs and line breaks");
}

void tst_FeedCli::add_refusedLeavesFeedByteIdentical() {
    QFETCH(QStringList, mediaFiles);
    QFETCH(QByteArray, feedBytes);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, stderrHas);
    QTemporaryDir dir;
    const QString feedPath = write(dir, QStringLiteral("Podcast.xml"), feedBytes);
    if (QByteArray(QTest::currentDataTag()) == "feed read-only")
        QVERIFY(QFile::setPermissions(feedPath, QFile::ReadOwner | QFile::ReadGroup));
    const Result result = runCommand(QStringList{QStringLiteral("add"), feedPath} + mediaFiles);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(stderrHas), result.err.constData());
    QCOMPARE(readAll(feedPath), feedBytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"Podcast.xml"_qs});
}

void tst_FeedCli::add_unreadableDurationWarnsAndAdds() {
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const Result result =
        runCommand({QStringLiteral("add"), feedPath, media(QStringLiteral("corrupt.mp3"))});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains("corrupt.mp3: the duration could not be read"),
             result.err.constData());
    const QJsonArray episodes = episodesOf(feedPath);
    QCOMPARE(episodes.size(), 4);
    QCOMPARE(episodes[3][0].toString(), QStringLiteral("corrupt"));
    QCOMPARE(episodes[3][9].toString(), QString());
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
    QTest::newRow("help after a command")
        << QStringList{u"dump"_qs, u"-h"_qs} << 0 << QByteArray("Usage:") << QByteArray();
    // Not taken for the file name: no file called --fast is read or written.
    QTest::newRow("unknown option as the file") << QStringList{u"dump"_qs, u"--fast"_qs} << 2
                                                << QByteArray() << QByteArray("unknown option");
    QTest::newRow("unknown option as the output")
        << QStringList{u"resave"_qs, u"in.xml"_qs, u"-o"_qs} << 2 << QByteArray()
        << QByteArray("unknown option '-o'");
    QTest::newRow("lone dash") << QStringList{u"dump"_qs, u"-"_qs} << 2 << QByteArray()
                               << QByteArray("unknown option '-'");
    QTest::newRow("a name after --")
        << QStringList{u"dump"_qs, u"--"_qs, u"-missing.xml"_qs} << 1
        << QByteArray("\"message\": \"Fail to load XML.\"") << QByteArray("-missing.xml");
    QTest::newRow("url base outside add")
        << QStringList{u"dump"_qs, u"--url-base=https://a.example/"_qs, u"f.xml"_qs} << 2
        << QByteArray() << QByteArray("--url-base is an option of add only");
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

void tst_FeedCli::check_exitStatus_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("errHas");
    const QByteArray explicitTag = "<itunes:explicit>false</itunes:explicit>";
    QTest::newRow("no findings") << goodFeed(explicitTag, "false") << QStringList() << 0
                                 << QByteArray();
    QTest::newRow("warnings only")
        << goodFeed(explicitTag, "no") << QStringList() << 0 << QByteArray();
    QTest::newRow("errors") << goodFeed(explicitTag, "maybe") << QStringList() << 1 << QByteArray();
    QTest::newRow("json option first")
        << goodFeed(explicitTag, "maybe") << QStringList() << 1 << QByteArray();
    QTest::newRow("not XML") << QByteArray("<rss><channel>") << QStringList() << 2
                             << QByteArray("Fail to load XML.");
    QTest::newRow("unknown option") << goodFeed(explicitTag, "false") << QStringList{u"--fast"_qs}
                                    << 2 << QByteArray("unknown option '--fast'");
    QTest::newRow("two files") << goodFeed(explicitTag, "false") << QStringList{u"other.xml"_qs}
                               << 2 << QByteArray("check takes one FILE");
}

void tst_FeedCli::check_exitStatus() {
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, extra);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, errHas);
    QTemporaryDir dir;
    QStringList arguments{u"check"_qs, write(dir, QStringLiteral("f.xml"), xml)};
    if (QByteArray(QTest::currentDataTag()) == "json option first")
        arguments.insert(1, u"--json"_qs);
    const Result result = runCommand(arguments + extra);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(errHas), result.err.constData());
}

void tst_FeedCli::check_jsonListsEveryFinding() {
    QTemporaryDir dir;
    const QString path = write(
        dir, QStringLiteral("f.xml"),
        goodFeed("", "yes").replace("<language>en</language>", "<language>English</language>"));
    const Result result = runCommand({u"check"_qs, path, u"--json"_qs});
    QCOMPARE(result.exitCode, 1);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.keys(), (QStringList{u"errors"_qs, u"findings"_qs, u"warnings"_qs}));
    const QJsonArray findings = json[u"findings"].toArray();
    QCOMPARE(json[u"errors"].toInt() + json[u"warnings"].toInt(), findings.size());
    QJsonObject language, explicitValue;
    for (const QJsonValue &value : findings) {
        const QJsonObject finding = value.toObject();
        QCOMPARE(finding.keys(), (QStringList{u"location"_qs, u"message"_qs, u"rule"_qs,
                                              u"severity"_qs, u"source"_qs, u"where"_qs}));
        if (finding[u"rule"].toString() == u"channel-language-code")
            language = finding;
        if (finding[u"rule"].toString() == u"explicit-legacy")
            explicitValue = finding;
    }
    QCOMPARE(language[u"severity"].toString(), u"error"_qs);
    QCOMPARE(language[u"where"].toObject(), (QJsonObject{{u"field"_qs, 2}}));
    QCOMPARE(language[u"location"].toString(), u"Podcast, Language"_qs);
    QCOMPARE(language[u"source"].toString(), u"RSS 2.0 rules of the RSS Advisory Board"_qs);
    QCOMPARE(explicitValue[u"severity"].toString(), u"warning"_qs);
    QCOMPARE(explicitValue[u"where"].toObject(),
             (QJsonObject{{u"episode"_qs, 1}, {u"column"_qs, 11}}));
}

void tst_FeedCli::check_plainTextOneFindingALine() {
    QTemporaryDir dir;
    const QString path =
        write(dir, QStringLiteral("f.xml"), goodFeed("", "yes").replace("1:00<", "one minute<"));
    const Result result = runCommand({u"check"_qs, path});
    QCOMPARE(result.exitCode, 1);
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    QVERIFY(lines.contains(path.toUtf8() +
                           ": Episode 1, Duration: error: The duration \"one minute\" is not "
                           "seconds, MM:SS or H:MM:SS. [duration-format; Apple Podcasts, A "
                           "Podcaster's Guide to RSS]"));
    QVERIFY(lines.contains(path.toUtf8() +
                           ": Episode 1, Explicit: warning: \"yes\" is an old explicit value; "
                           "write true. [explicit-legacy; Apple Podcasts, A Podcaster's Guide "
                           "to RSS]"));
}

void tst_FeedCli::check_samplePasses() {
    const Result result = runCommand({u"check"_qs, sample(), u"--json"_qs});
    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(json[u"errors"].toInt(), 0);
    QCOMPARE(result.exitCode, 0);
}

void tst_FeedCli::check_manyFindingsOfOneRule_firstHundredThenACount() {
    QTemporaryDir dir;
    // 130 items without a media file: the second one's on.
    const QByteArray bare = "<item><title>Bare</title></item>";
    QByteArray xml = goodFeed("", "false");
    xml.replace("</channel>", bare.repeated(130) + "</channel>");
    const QString path = write(dir, QStringLiteral("f.xml"), xml);

    const Result text = runCommand({u"check"_qs, path});
    QCOMPARE(text.exitCode, 1);
    const QList<QByteArray> lines = text.out.trimmed().split('\n');
    const auto ofRule = [&](const QByteArray &rule) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const QByteArray &line) { return line.contains(rule); });
    };
    QCOMPARE(ofRule("[enclosure-missing;"), 100);
    const qsizetype more =
        lines.indexOf(path.toUtf8() + ": error: and 30 more like this [enclosure-missing]");
    QVERIFY(more > 0);
    QVERIFY(lines[more - 1].startsWith(path.toUtf8() + ": Episode 101, URL: error: "));

    const Result json = runCommand({u"check"_qs, path, u"--json"_qs});
    const QJsonObject object = QJsonDocument::fromJson(json.out).object();
    qsizetype shown = 0, total = 0;
    for (const QJsonValue &value : object[u"findings"].toArray()) {
        const QJsonObject finding = value.toObject();
        total += 1 + finding[u"more"].toInt();
        if (finding[u"rule"].toString() == u"enclosure-missing") {
            ++shown;
            QCOMPARE(finding[u"more"].toInt(), shown == 100 ? 30 : 0);
        }
    }
    QCOMPARE(shown, 100);
    QCOMPARE(object[u"errors"].toInt() + object[u"warnings"].toInt(), total);
}

QTEST_GUILESS_MAIN(tst_FeedCli)
#include "tst_feedcli.moc"
