#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// `brindlewood-feed add` against media that are not what they seem and
// against another run on the same feed: each is answered at once (or after
// the lock's short wait), a refusal names its reason and leaves the feed
// byte for byte as it was, and no episode reported added goes missing.
class tst_HostileAdds : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void add_hostileMedia_refusedFeedUnchanged_data();
    void add_hostileMedia_refusedFeedUnchanged();
    void add_mediaByContentAndByBytes_added();
    void add_noAddressToFollow_warnsAndAdds();
    void add_twoRunsAtOnce_noEpisodeLost();
    void add_feedLockedElsewhere_waitsThenRefuses();
    void resave_inPlaceWhileLocked_waitsForTheHolder();
};

namespace {
struct Result {
    int exitCode = -1;
    QByteArray err;
};

Result finish(QProcess &process) {
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.err = process.readAllStandardError();
    return result;
}

Result run(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), arguments);
    return finish(process);
}

QString media(const QString &name) {
    return qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") +
           QStringLiteral("/tests/feed/data/media/") + name;
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QByteArray &path, const QByteArray &bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

QString copyOfSample(const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("Podcast.xml"));
    QFile::copy(qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") +
                    QStringLiteral("/Samples/Podcast.xml"),
                path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QJsonArray episodesOf(const QString &path) {
    QProcess process;
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), {QStringLiteral("dump"), path});
    process.waitForFinished(60000);
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object()[u"episodes"].toArray();
}

QSet<QString> urlsOf(const QString &path) {
    QSet<QString> urls;
    for (const QJsonValue &episode : episodesOf(path))
        urls.insert(episode[4].toString());
    return urls;
}

// A lock held as another program holds it.
int holdLock(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

const char Busy[] = "Another program is changing this file and holds its lock";
} // namespace

void tst_HostileAdds::add_hostileMedia_refusedFeedUnchanged_data() {
    QTest::addColumn<QString>("name"); // an absolute path is used as it is
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("FIFO") << "fifo.mp3"
                          << QByteArray("fifo.mp3: Is a named pipe (FIFO), not a regular file; ");
    QTest::newRow("/dev/zero") << "/dev/zero"
                               << QByteArray("/dev/zero: Is a device, not a regular file; ");
    QTest::newRow("4 GB sparse .mp3")
        << "sparse.mp3"
        << QByteArray("sparse.mp3: the content is application/octet-stream, not audio or video; ");
    QTest::newRow("text named .mp3")
        << "text.mp3" << QByteArray("text.mp3: the content is text/plain, not audio or video; ");
    QTest::newRow("HTML page named .mp4")
        << "page.mp4" << QByteArray("page.mp4: the content is text/html, not audio or video; ");
}

void tst_HostileAdds::add_hostileMedia_refusedFeedUnchanged() {
    QFETCH(QString, name);
    QFETCH(QByteArray, reason);
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const QByteArray before = readAll(feedPath);
    const QString path = name.startsWith(u'/') ? name : dir.filePath(name);
    const QByteArray bytes = QFile::encodeName(path);
    if (name == u"fifo.mp3") {
        QCOMPARE(::mkfifo(bytes.constData(), 0600), 0);
    } else if (name == u"sparse.mp3") {
        QVERIFY(writeBytes(bytes, {}));
        if (::truncate(bytes.constData(), off_t(4) << 30) != 0)
            QSKIP("this file system takes no 4 GB file");
    } else if (name == u"text.mp3") {
        QVERIFY(writeBytes(bytes, "Episode notes, not a recording.\n"));
    } else if (name == u"page.mp4") {
        QVERIFY(writeBytes(bytes, "<!DOCTYPE html>\n<html><head><title>404</title></head></html>"));
    }

    const Result result = run({QStringLiteral("add"), feedPath, media(u"tagged.mp3"_qs), path});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(reason), result.err.constData());
    QVERIFY2(result.err.contains("/Podcast.xml was not changed."), result.err.constData());
    QCOMPARE(readAll(feedPath), before);
}

void tst_HostileAdds::add_mediaByContentAndByBytes_added() {
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const QByteArray folder = QFile::encodeName(dir.path());
    // A real MP3 whose name says text, and one whose name is not UTF-8.
    const QByteArray asText = folder + "/episode.txt";
    const QByteArray latin1 = folder + "/caf\xe9.mp3";
    // And one whose name holds a character XML cannot: it made the save fail.
    const QByteArray control = folder + "/bell\x07.mp3";
    QVERIFY(writeBytes(asText, readAll(media(u"tagged.mp3"_qs))));
    QVERIFY(writeBytes(latin1, readAll(media(u"untagged.mp3"_qs))));
    QVERIFY(writeBytes(control, readAll(media(u"untagged.mp3"_qs))));
    // Arguments as bytes: QProcess would pass the name through text.
    QProcess process;
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral("exec \"$0\" add \"$1\" \"$2\" \"$(printf '%s/caf\\351.mp3' "
                                  "\"$3\")\" \"$4\""),
                   QStringLiteral(BRINDLEWOOD_FEED_EXE), feedPath, QFile::decodeName(asText),
                   dir.path(), QFile::decodeName(control)});
    const Result result = finish(process);
    ::unlink(latin1.constData());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, "brindlewood-feed: " + control +
                             ": 1 character(s) that XML cannot hold were left out of the title.\n");
    const QJsonArray episodes = episodesOf(feedPath);
    QCOMPARE(episodes.size(), 6);
    QCOMPARE(episodes[5][0].toString(), u"bell"_qs);
    QVERIFY(episodes[5][4].toString().endsWith(u"/bell%07.mp3"_qs));
    QCOMPARE(episodes[3][5].toString(), u"audio/mpeg"_qs);
    QCOMPARE(episodes[3][6].toString(), QString::number(readAll(media(u"tagged.mp3"_qs)).size()));
    QVERIFY(episodes[4][4].toString().endsWith(u"/caf%E9.mp3"_qs));
    QCOMPARE(episodes[4][6].toString(), QString::number(readAll(media(u"untagged.mp3"_qs)).size()));
}

void tst_HostileAdds::add_twoRunsAtOnce_noEpisodeLost() {
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    QSet<QString> reported;
    for (int round = 0; round < 5; ++round) {
        QProcess first;
        QProcess second;
        const QString base = QStringLiteral("https://cdn.example.net/%1/").arg(round);
        first.start(QStringLiteral(BRINDLEWOOD_FEED_EXE),
                    {QStringLiteral("add"), feedPath, media(u"tone.wav"_qs),
                     QStringLiteral("--url-base=") + base + u'a'});
        second.start(QStringLiteral(BRINDLEWOOD_FEED_EXE),
                     {QStringLiteral("add"), feedPath, media(u"greek.ogg"_qs),
                      QStringLiteral("--url-base=") + base + u'b'});
        const Result one = finish(first);
        const Result two = finish(second);
        for (const auto &[outcome, url] :
             {std::pair{one, base + u"a/tone.wav"_qs}, std::pair{two, base + u"b/greek.ogg"_qs}}) {
            // Done, or refused because the other run kept the feed too long.
            if (outcome.exitCode == 0)
                reported.insert(url);
            else
                QVERIFY2(outcome.exitCode == 1 && outcome.err.contains(Busy),
                         outcome.err.constData());
        }
    }
    const QSet<QString> present = urlsOf(feedPath);
    QVERIFY(!reported.isEmpty());
    for (const QString &url : std::as_const(reported))
        QVERIFY2(present.contains(url), qPrintable(url));
    QCOMPARE(episodesOf(feedPath).size(), 3 + reported.size());
}

void tst_HostileAdds::add_feedLockedElsewhere_waitsThenRefuses() {
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const QByteArray before = readAll(feedPath);
    const int other = holdLock(feedPath);
    QVERIFY(other >= 0);
    const Result result = run({QStringLiteral("add"), feedPath, media(u"tagged.mp3"_qs)});
    ::close(other);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QByteArray("Podcast.xml: ") + Busy), result.err.constData());
    QVERIFY2(result.err.contains("Podcast.xml was not changed."), result.err.constData());
    QCOMPARE(readAll(feedPath), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"Podcast.xml"_qs});
}

void tst_HostileAdds::resave_inPlaceWhileLocked_waitsForTheHolder() {
    QTemporaryDir dir;
    const QString feedPath = copyOfSample(dir);
    const int other = holdLock(feedPath);
    QVERIFY(other >= 0);
    QProcess process;
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE),
                  {QStringLiteral("resave"), feedPath, feedPath});
    QVERIFY(process.waitForStarted());
    // Still waiting while the other program works; done once it lets go.
    QVERIFY(!process.waitForFinished(500));
    ::close(other);
    const Result result = finish(process);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), result.err.constData());
    QCOMPARE(episodesOf(feedPath).size(), 3);
}

void tst_HostileAdds::add_noAddressToFollow_warnsAndAdds() {
    QTemporaryDir dir;
    const QString feedPath = dir.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(writeBytes(QFile::encodeName(feedPath),
                       "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>New "
                       "Show</title></channel></rss>"));
    const Result result = run({QStringLiteral("add"), feedPath, media(u"tone.wav"_qs)});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains("tone.wav: URL is left empty: there is no earlier enclosure "
                                 "address to follow and no --url-base was given."),
             result.err.constData());
    const QJsonArray episodes = episodesOf(feedPath);
    QCOMPARE(episodes.size(), 1);
    QCOMPARE(episodes[0][4].toString(), QString());
}

QTEST_GUILESS_MAIN(tst_HostileAdds)
#include "tst_hostileadds.moc"
