#include "FtpServer.h"
#include "S3Server.h"
#include "SshServer.h"
#include "WebServer.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <curl/curl.h>

// The command against real servers on loopback: sshd, an S3 server and
// nginx, started here. A server that cannot start skips its cases.
class tst_PublishServers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void publish_arrivesByteForByteOnce_data();
    void publish_arrivesByteForByteOnce();
    void publish_s3Headers();
    void publish_refusedChangesNothing_data();
    void publish_refusedChangesNothing();
    void publish_dryRunSendsNothing();
    void publish_killedLeavesOldOrWholeFeed();
    void publish_networkCutKeepsOldFeed();
    void publish_interruptedStopsCleanly();
    void publish_resumesCutUpload_data();
    void publish_resumesCutUpload();
    void publish_verify_data();
    void publish_verify();
    void webAddress_dumpAndCheck_data();
    void webAddress_dumpAndCheck();

private:
    QString sftpTarget(const QString &folder) const;
    QStringList sftpOptions() const;
    // For "sftp", "s3" and "ftps"; a place is a folder name, "~/NAME" for
    // one in the SFTP login's home.
    QString skipReason(const QString &kind) const;
    QString target(const QString &kind, const QString &place) const;
    QStringList options(const QString &kind) const;
    // Where the server keeps what it was sent (for S3, its whole store).
    QString serverFolder(const QString &kind, const QString &place) const;
    QByteArray remote(const QString &kind, const QString &place, const QString &name) const;

    SshServer m_ssh;
    S3Server m_s3;
    FtpServer m_ftp;
    WebServer m_web;
    QTemporaryDir m_home; // HOME for the command: no keys, no known_hosts
};

namespace {
struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

Result runPublish(const QStringList &arguments, const QString &home,
                  const QMap<QString, QString> &environment = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_qs, home);
    env.remove(u"SSH_AUTH_SOCK"_qs);
    env.remove(u"AWS_REGION"_qs);
    env.insert(u"AWS_ACCESS_KEY_ID"_qs, u"S3RVER"_qs);
    env.insert(u"AWS_SECRET_ACCESS_KEY"_qs, u"S3RVER"_qs);
    env.insert(u"BRINDLEWOOD_FTP_PASSWORD"_qs, u"podcaster@example.org"_qs);
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), QStringList(u"publish"_qs) + arguments);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// Every file under a folder, hidden ones too, with its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(path), file.readAll());
    }
    return files;
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

size_t keep(char *data, size_t size, size_t count, void *into) {
    static_cast<QByteArray *>(into)->append(data, qsizetype(size * count));
    return size * count;
}

// A plain GET or HEAD on loopback; the status, and the body or the headers.
QByteArray fetch(const QString &url, bool head, long *status) {
    CURL *curl = curl_easy_init();
    QByteArray bytes;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, head ? 1L : 0L);
    curl_easy_setopt(curl, head ? CURLOPT_HEADERFUNCTION : CURLOPT_WRITEFUNCTION, &keep);
    curl_easy_setopt(curl, head ? CURLOPT_HEADERDATA : CURLOPT_WRITEDATA, &bytes);
    *status = curl_easy_perform(curl) == CURLE_OK ? 0 : -1;
    if (*status == 0)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, status);
    curl_easy_cleanup(curl);
    return bytes;
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, '\0');
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// A name that needs percent-encoding in an address and in a signature.
const QString SecondMedia = u"ep/b c+\u00e9.m4a"_qs;

QString encoded(const QString &path) {
    return QString::fromUtf8(QUrl::toPercentEncoding(path, "/"));
}

// A feed folder: a.mp3 and SecondMedia, named under publicUrl, plus any
// episodes added; the feed can be padded to make it large.
struct Local {
    QTemporaryDir dir;
    QString publicUrl;
    QByteArray extraItems;
    QByteArray padding;

    explicit Local(QString url)
        : publicUrl(std::move(url)) {
        QDir(dir.path()).mkpath(u"ep"_qs);
        LoopbackServer::writeFile(dir.filePath(u"a.mp3"_qs), randomBytes(200 * 1024));
        LoopbackServer::writeFile(dir.filePath(SecondMedia), randomBytes(48 * 1024));
        writeFeed();
    }
    QString feed() const { return dir.filePath(u"Podcast.xml"_qs); }
    QByteArray file(const QString &name) const { return readAll(dir.filePath(name)); }
    void addEpisode(const QString &name, qsizetype size, qsizetype lengthInFeed, bool create) {
        if (create)
            LoopbackServer::writeFile(dir.filePath(name), randomBytes(size));
        extraItems += item(name, lengthInFeed, "audio/mpeg");
        writeFeed();
    }
    void writeFeed() {
        LoopbackServer::writeFile(
            feed(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>"
                    "<title>Loopback</title>" +
                        item(u"a.mp3"_qs, 200 * 1024, "audio/mpeg") +
                        item(SecondMedia, 48 * 1024, "audio/x-m4a") + extraItems +
                        "<item><title>Elsewhere</title><enclosure "
                        "url=\"https://elsewhere.example/x.mp3\" length=\"9\" "
                        "type=\"audio/mpeg\"/></item>" +
                        padding + "</channel></rss>\n");
    }
    QByteArray item(const QString &name, qsizetype length, const QByteArray &type) const {
        return "<item><title>" + name.toUtf8() + "</title><enclosure url=\"" +
               (publicUrl + encoded(name)).toUtf8() + "\" length=\"" + QByteArray::number(length) +
               "\" type=\"" + type + "\"/></item>";
    }
};

const QString PublicUrl = u"https://pod.example.org/show/"_qs;
} // namespace

void tst_PublishServers::initTestCase() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (!m_ssh.start())
        qWarning("SFTP cases skipped: %s", qPrintable(m_ssh.skipReason()));
    if (!m_s3.start())
        qWarning("S3 cases skipped: %s", qPrintable(m_s3.skipReason()));
    if (!m_ftp.start())
        qWarning("FTPS cases skipped: %s", qPrintable(m_ftp.skipReason()));
    if (m_ssh.isRunning() && !m_web.start(m_ssh.folder() + u"/srv"_qs))
        qWarning("verify cases skipped: %s", qPrintable(m_web.skipReason()));
}

QString tst_PublishServers::sftpTarget(const QString &folder) const {
    return u"sftp://root@127.0.0.1:%1%2/"_qs.arg(m_ssh.port()).arg(folder);
}

QStringList tst_PublishServers::sftpOptions() const {
    return {u"--identity"_qs, m_ssh.clientKey(), u"--known-hosts"_qs, m_ssh.knownHosts()};
}

QString tst_PublishServers::skipReason(const QString &kind) const {
    return kind == u"sftp" ? m_ssh.skipReason()
           : kind == u"s3" ? m_s3.skipReason()
                           : m_ftp.skipReason();
}

QString tst_PublishServers::target(const QString &kind, const QString &place) const {
    if (kind == u"sftp")
        return place.startsWith(u'~')
                   ? u"sftp://root@127.0.0.1:%1/%2/"_qs.arg(m_ssh.port()).arg(place)
                   : sftpTarget(serverFolder(kind, place));
    if (kind == u"s3")
        return u"s3://pod/%1/"_qs.arg(place);
    return u"ftps://anonymous@127.0.0.1:%1/pub/%2/"_qs.arg(m_ftp.port()).arg(place);
}

QStringList tst_PublishServers::options(const QString &kind) const {
    if (kind == u"sftp")
        return sftpOptions();
    if (kind == u"s3")
        return {u"--endpoint"_qs, u"http://127.0.0.1:%1"_qs.arg(m_s3.port())};
    return {u"--ca-file"_qs, m_ftp.certificate()};
}

QString tst_PublishServers::serverFolder(const QString &kind, const QString &place) const {
    if (kind == u"sftp")
        return place.startsWith(u'~') ? m_ssh.home() + place.mid(1)
                                      : m_ssh.folder() + u"/srv/"_qs + place;
    if (kind == u"s3")
        return m_s3.data();
    return m_ftp.pub() + u'/' + place;
}

QByteArray tst_PublishServers::remote(const QString &kind, const QString &place,
                                      const QString &name) const {
    if (kind != u"s3")
        return readAll(serverFolder(kind, place) + u'/' + name);
    long status = 0;
    return fetch(u"http://127.0.0.1:%1/pod/%2/%3"_qs.arg(m_s3.port()).arg(place, encoded(name)),
                 false, &status);
}

void tst_PublishServers::publish_arrivesByteForByteOnce_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("place");
    QTest::newRow("sftp, absolute folder") << u"sftp"_qs << u"bytes"_qs;
    QTest::newRow("sftp, in the home") << u"sftp"_qs << u"~/bytes"_qs;
    QTest::newRow("s3") << u"s3"_qs << u"bytes"_qs;
    QTest::newRow("ftps") << u"ftps"_qs << u"bytes"_qs;
}

void tst_PublishServers::publish_arrivesByteForByteOnce() {
    QFETCH(QString, kind);
    QFETCH(QString, place);
    if (!skipReason(kind).isEmpty())
        QSKIP(qPrintable(skipReason(kind)));
    Local local(PublicUrl);
    const QStringList arguments = QStringList{local.feed(),       u"--to"_qs, target(kind, place),
                                              u"--public-url"_qs, PublicUrl,  u"--json"_qs} +
                                  options(kind);

    const Result first = runPublish(arguments, m_home.path());
    QVERIFY2(first.exitCode == 0, first.err.constData());
    for (const QString &name : {u"a.mp3"_qs, SecondMedia, u"Podcast.xml"_qs})
        QVERIFY2(remote(kind, place, name) == local.file(name), qPrintable(name));
    QCOMPARE(first.json()[u"sent"].toArray().size(), 3);
    QCOMPARE(first.json()[u"published"].toBool(), true);

    // Again: the media are there with their sizes, only the feed goes.
    const Result second = runPublish(arguments, m_home.path());
    QVERIFY2(second.exitCode == 0, second.err.constData());
    const QJsonArray sent = second.json()[u"sent"].toArray();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0][u"path"].toString(), u"Podcast.xml"_qs);
    QCOMPARE(second.json()[u"skipped"].toArray().size(), 2);
    if (kind != u"s3")
        QVERIFY(
            snapshot(serverFolder(kind, place)).keys().filter(u".brindlewood-part"_qs).isEmpty());
}

void tst_PublishServers::publish_s3Headers() {
    if (!m_s3.isRunning())
        QSKIP(qPrintable(m_s3.skipReason()));
    Local local(PublicUrl);
    const Result result =
        runPublish(QStringList{local.feed(), u"--to"_qs, target(u"s3"_qs, u"heads"_qs),
                               u"--public-url"_qs, PublicUrl} +
                       options(u"s3"_qs),
                   m_home.path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    long status = 0;
    const QString base = u"http://127.0.0.1:%1/pod/heads/"_qs.arg(m_s3.port());
    const QByteArray feed = fetch(base + u"Podcast.xml"_qs, true, &status).toLower();
    QCOMPARE(status, 200);
    QVERIFY2(feed.contains("content-type: application/rss+xml"), feed.constData());
    QVERIFY2(feed.contains("cache-control: max-age=300"), feed.constData());
    const QByteArray media = fetch(base + encoded(SecondMedia), true, &status).toLower();
    QVERIFY2(media.contains("content-type: audio/x-m4a"), media.constData());
    QVERIFY2(!media.contains("cache-control: max-age=300"), media.constData());
}

void tst_PublishServers::publish_refusedChangesNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("sftp unknown host key")
        << u"sftp"_qs << u"unknown host"_qs << u"the host key of 127.0.0.1 is not known"_qs;
    QTest::newRow("sftp changed host key")
        << u"sftp"_qs << u"changed host"_qs << u"WARNING: the host key of 127.0.0.1 has CHANGED"_qs;
    QTest::newRow("sftp key not authorised")
        << u"sftp"_qs << u"wrong secret"_qs << u"root@127.0.0.1 refused the login"_qs;
    QTest::newRow("s3 wrong secret")
        << u"s3"_qs << u"wrong secret"_qs << u"HTTP 403, SignatureDoesNotMatch"_qs;
    QTest::newRow("ftps certificate not trusted")
        << u"ftps"_qs << u"untrusted"_qs << u"SSL certificate problem: self-signed certificate"_qs;
    QTest::newRow("plain ftp not confirmed")
        << u"ftps"_qs << u"plain"_qs << u"plain ftp:// sends the password"_qs;
    for (const QString &kind : {u"sftp"_qs, u"s3"_qs, u"ftps"_qs}) {
        QTest::addRow("%s missing media", qPrintable(kind))
            << kind << u"missing media"_qs
            << u"Episode 4, \"new.mp3\": the media file %1 is neither here nor on the server."_qs;
        QTest::addRow("%s wrong length", qPrintable(kind))
            << kind << u"wrong length"_qs
            << u"Episode 4, \"new.mp3\": the enclosure length is 1001 bytes, but %1 has 1000 "
               u"bytes."_qs;
    }
}

void tst_PublishServers::publish_refusedChangesNothing() {
    QFETCH(QString, kind);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    const bool sftp = kind == u"sftp";
    if (!skipReason(kind).isEmpty())
        QSKIP(qPrintable(skipReason(kind)));
    static int run = 0;
    const QString place = u"refused%1"_qs.arg(++run);
    Local local(PublicUrl);
    QStringList arguments =
        QStringList{local.feed(), u"--to"_qs, target(kind, place), u"--public-url"_qs, PublicUrl} +
        options(kind);
    const Result published = runPublish(arguments, m_home.path());
    QVERIFY2(published.exitCode == 0, published.err.constData());
    const QString serverFolder = this->serverFolder(kind, place);
    const QMap<QString, QByteArray> before = snapshot(serverFolder);

    // The feed changes too, so a refusal that sent it anyway would show.
    local.padding = "<!-- changed -->";
    QMap<QString, QString> environment;
    if (fault == u"unknown host") {
        LoopbackServer::writeFile(m_home.filePath(u"empty_known_hosts"_qs), QByteArray());
        arguments[arguments.indexOf(m_ssh.knownHosts())] = m_home.filePath(u"empty_known_hosts"_qs);
    } else if (fault == u"changed host") {
        arguments[arguments.indexOf(m_ssh.knownHosts())] = m_ssh.changedKnownHosts();
    } else if (fault == u"wrong secret" && sftp) {
        arguments[arguments.indexOf(m_ssh.clientKey())] = m_ssh.otherKey();
    } else if (fault == u"wrong secret") {
        environment.insert(u"AWS_SECRET_ACCESS_KEY"_qs, u"not-the-secret"_qs);
    } else if (fault == u"untrusted") {
        arguments.removeLast();
        arguments.removeLast();
    } else if (fault == u"plain") {
        arguments[2].replace(u"ftps://"_qs, u"ftp://"_qs);
        arguments.removeLast();
        arguments.removeLast();
    }
    // Before the broken one, an episode that is fine: it must not go either.
    local.addEpisode(u"fine.mp3"_qs, 500, 500, true);
    if (fault == u"missing media")
        local.addEpisode(u"new.mp3"_qs, 1000, 1000, false);
    else if (fault == u"wrong length")
        local.addEpisode(u"new.mp3"_qs, 1000, 1001, true);
    local.writeFeed();

    const Result refused = runPublish(arguments, m_home.path(), environment);
    QCOMPARE(refused.exitCode, 1);
    const QString expected =
        message.contains(u"%1") ? message.arg(local.dir.filePath(u"new.mp3"_qs)) : message;
    QVERIFY2(QString::fromLocal8Bit(refused.err).contains(expected), refused.err.constData());
    QVERIFY2(refused.err.contains("the feed on the server was not changed."),
             refused.err.constData());
    QVERIFY(snapshot(serverFolder) == before);
}

void tst_PublishServers::publish_dryRunSendsNothing() {
    if (!m_ssh.isRunning())
        QSKIP(qPrintable(m_ssh.skipReason()));
    Local local(PublicUrl);
    const QString folder = m_ssh.folder() + u"/srv/dry"_qs;
    QDir().mkpath(folder);
    LoopbackServer::writeFile(folder + u"/a.mp3"_qs, local.file(u"a.mp3"_qs));
    const QStringList arguments = QStringList{local.feed(),       u"--to"_qs, sftpTarget(folder),
                                              u"--public-url"_qs, PublicUrl,  u"--dry-run"_qs} +
                                  sftpOptions();
    const Result text = runPublish(arguments, m_home.path());
    QVERIFY2(text.exitCode == 0, text.err.constData());
    QCOMPARE(text.out, QByteArray("skipped a.mp3 (already on the server)\n"
                                  "would send " +
                                  SecondMedia.toUtf8() +
                                  " (49152 bytes)\n"
                                  "would send Podcast.xml (") +
                           QByteArray::number(local.file(u"Podcast.xml"_qs).size()) +
                           " bytes)\nDry run: nothing was sent to " + sftpTarget(folder).toUtf8() +
                           ".\n");
    const Result json = runPublish(arguments + QStringList(u"--json"_qs), m_home.path());
    QVERIFY2(json.exitCode == 0, json.err.constData());
    QCOMPARE(json.json()[u"dryRun"].toBool(), true);
    QCOMPARE(json.json()[u"published"].toBool(), false);
    QCOMPARE(json.json()[u"sent"].toArray().size(), 2);
    QCOMPARE(json.json()[u"sent"][1][u"feed"].toBool(), true);
    QCOMPARE(json.json()[u"skipped"][0][u"path"].toString(), u"a.mp3"_qs);
    QCOMPARE(snapshot(folder).keys(), QStringList(u"a.mp3"_qs));
}

void tst_PublishServers::publish_killedLeavesOldOrWholeFeed() {
    if (!m_ssh.isRunning())
        QSKIP(qPrintable(m_ssh.skipReason()));
    Local local(PublicUrl);
    const QString folder = m_ssh.folder() + u"/srv/killed"_qs;
    const QStringList arguments =
        QStringList{local.feed(), u"--to"_qs, sftpTarget(folder), u"--public-url"_qs, PublicUrl} +
        sftpOptions();
    const Result first = runPublish(arguments, m_home.path());
    QVERIFY2(first.exitCode == 0, first.err.constData());
    const QByteArray old = local.file(u"Podcast.xml"_qs);
    // A large feed, so that kills land while it is on its way too.
    local.padding = "<!-- " + QByteArray(3 * 1024 * 1024, 'x') + " -->";
    local.addEpisode(u"late.mp3"_qs, 300 * 1024, 300 * 1024, true);
    const QByteArray whole = local.file(u"Podcast.xml"_qs);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_qs, m_home.path());
    env.remove(u"SSH_AUTH_SOCK"_qs);
    for (int i = 0; i < 12; ++i) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), QStringList(u"publish"_qs) + arguments);
        QVERIFY(process.waitForStarted());
        QThread::msleep(QRandomGenerator::global()->bounded(20, 400));
        process.kill();
        process.waitForFinished();
        const QByteArray online = readAll(folder + u"/Podcast.xml"_qs);
        QVERIFY2(online == old || online == whole,
                 qPrintable(u"a torn feed of %1 bytes after a kill"_qs.arg(online.size())));
    }
    const Result last = runPublish(arguments, m_home.path());
    QVERIFY2(last.exitCode == 0, last.err.constData());
    QCOMPARE(readAll(folder + u"/Podcast.xml"_qs), whole);
    QCOMPARE(readAll(folder + u"/late.mp3"_qs), local.file(u"late.mp3"_qs));
}

void tst_PublishServers::publish_networkCutKeepsOldFeed() {
    if (!m_ssh.isRunning())
        QSKIP(qPrintable(m_ssh.skipReason()));
    Local local(PublicUrl);
    const QString folder = m_ssh.folder() + u"/srv/cut"_qs;
    const QStringList arguments =
        QStringList{local.feed(), u"--to"_qs, sftpTarget(folder), u"--public-url"_qs, PublicUrl} +
        sftpOptions();
    const Result first = runPublish(arguments, m_home.path());
    QVERIFY2(first.exitCode == 0, first.err.constData());
    const QByteArray old = local.file(u"Podcast.xml"_qs);
    local.addEpisode(u"big.mp3"_qs, 96 * 1024 * 1024, 96 * 1024 * 1024, true);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_qs, m_home.path());
    env.remove(u"SSH_AUTH_SOCK"_qs);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), QStringList(u"publish"_qs) + arguments);
    // The cut comes once part of the large file has arrived.
    const QString part = folder + u"/.big.mp3.brindlewood-part"_qs;
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() > 1024 * 1024, 20000);
    m_ssh.cut();
    QVERIFY(process.waitForFinished(60000));
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains("feed on the server was not changed."), err.constData());
    QCOMPARE(readAll(folder + u"/Podcast.xml"_qs), old);
    QVERIFY(!QFile::exists(folder + u"/big.mp3"_qs));

    // Back online, the publish goes on and completes.
    QVERIFY2(m_ssh.restart(), qPrintable(m_ssh.skipReason()));
    const Result again = runPublish(arguments, m_home.path());
    QVERIFY2(again.exitCode == 0, again.err.constData());
    QCOMPARE(readAll(folder + u"/Podcast.xml"_qs), local.file(u"Podcast.xml"_qs));
    QVERIFY(readAll(folder + u"/big.mp3"_qs) == local.file(u"big.mp3"_qs));
}

void tst_PublishServers::publish_interruptedStopsCleanly() {
    if (!m_ssh.isRunning())
        QSKIP(qPrintable(m_ssh.skipReason()));
    Local local(PublicUrl);
    local.addEpisode(u"big.mp3"_qs, 96 * 1024 * 1024, 96 * 1024 * 1024, true);
    const QString folder = m_ssh.folder() + u"/srv/interrupted"_qs;
    QDir().mkpath(folder);
    LoopbackServer::writeFile(folder + u"/Podcast.xml"_qs, "old feed");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_qs, m_home.path());
    env.remove(u"SSH_AUTH_SOCK"_qs);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE),
                  QStringList{u"publish"_qs, local.feed(), u"--to"_qs, sftpTarget(folder),
                              u"--public-url"_qs, PublicUrl} +
                      sftpOptions());
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo(folder + u"/.big.mp3.brindlewood-part"_qs).size() > 1024 * 1024, 20000);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("Cancelled; the feed on the server was not changed."), err.constData());
    QCOMPARE(readAll(folder + u"/Podcast.xml"_qs), QByteArray("old feed"));
    QVERIFY(!QFile::exists(folder + u"/big.mp3"_qs));
}

void tst_PublishServers::publish_resumesCutUpload_data() {
    QTest::addColumn<bool>("tailMatches");
    QTest::newRow("the part ends as the file does: goes on from there") << true;
    QTest::newRow("the part ends otherwise: sent whole") << false;
}

void tst_PublishServers::publish_resumesCutUpload() {
    QFETCH(bool, tailMatches);
    if (!m_ssh.isRunning())
        QSKIP(qPrintable(m_ssh.skipReason()));
    Local local(PublicUrl);
    const QString folder = m_ssh.folder() + (tailMatches ? u"/srv/resume1"_qs : u"/srv/resume2"_qs);
    QDir().mkpath(folder);
    // What a cut upload left: the first 150 KB. Its first bytes are marked,
    // so the result shows whether the upload went on from the part.
    QByteArray part = local.file(u"a.mp3"_qs).left(150 * 1024);
    part.replace(0, 16, QByteArray(16, '#'));
    if (!tailMatches)
        part[part.size() - 1] = char(~part[part.size() - 1]);
    LoopbackServer::writeFile(folder + u"/.a.mp3.brindlewood-part"_qs, part);
    const Result result = runPublish(
        QStringList{local.feed(), u"--to"_qs, sftpTarget(folder), u"--public-url"_qs, PublicUrl} +
            sftpOptions(),
        m_home.path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QByteArray expected = local.file(u"a.mp3"_qs);
    if (tailMatches)
        expected.replace(0, 16, QByteArray(16, '#'));
    QVERIFY(readAll(folder + u"/a.mp3"_qs) == expected);
    QVERIFY(!QFile::exists(folder + u"/.a.mp3.brindlewood-part"_qs));
}

void tst_PublishServers::publish_verify_data() {
    QTest::addColumn<QString>("servedAs"); // the public address's folder
    QTest::addColumn<QString>("publishedTo");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("served where published") << u"here"_qs << u"here"_qs << 0;
    QTest::newRow("served from another folder") << u"elsewhere"_qs << u"there"_qs << 1;
}

void tst_PublishServers::publish_verify() {
    QFETCH(QString, servedAs);
    QFETCH(QString, publishedTo);
    QFETCH(int, exitCode);
    if (!m_web.isRunning())
        QSKIP(qPrintable(m_web.skipReason()));
    const QString publicUrl = u"http://127.0.0.1:%1/%2/"_qs.arg(m_web.port()).arg(servedAs);
    Local local(publicUrl);
    // Nothing is there yet, so both media files are new and checked.
    const QString folder = m_ssh.folder() + u"/srv/"_qs + publishedTo;
    const Result result =
        runPublish(QStringList{local.feed(), u"--to"_qs, sftpTarget(folder), u"--public-url"_qs,
                               publicUrl, u"--verify"_qs, u"--json"_qs} +
                       sftpOptions(),
                   m_home.path());
    QCOMPARE(result.exitCode, exitCode);
    const QJsonArray checks = result.json()[u"verified"].toArray();
    // The feed, then HEAD and Range for each of the two media files.
    QCOMPARE(checks.size(), 5);
    QCOMPARE(checks[0][u"check"].toString(), u"feed"_qs);
    QCOMPARE(checks[1][u"check"].toString(), u"HEAD"_qs);
    QCOMPARE(checks[2][u"check"].toString(), u"Range"_qs);
    for (const QJsonValue &check : checks)
        QVERIFY2(check[u"passed"].toBool() == (exitCode == 0),
                 qPrintable(check[u"detail"].toString()));
    if (exitCode != 0)
        QVERIFY2(result.err.contains("its check online failed"), result.err.constData());
}

void tst_PublishServers::webAddress_dumpAndCheck_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outHas");
    QTest::addColumn<QString>("errHas");
    QTest::newRow("dump") << u"dump"_qs << u"/web/Podcast.xml"_qs << 0 << u"\"Loopback\""_qs
                          << QString();
    QTest::newRow("dump after a redirect")
        << u"dump"_qs << u"/moved"_qs << 0 << u"\"Loopback\""_qs << QString();
    QTest::newRow("check names the address")
        << u"check"_qs << u"/web/Podcast.xml"_qs << 1 << u"%1: "_qs << QString();
    QTest::newRow("not found") << u"dump"_qs << u"/web/none.xml"_qs << 1 << QString()
                               << u"%1: HTTP 404 Not Found"_qs;
    QTest::newRow("redirect loop")
        << u"check"_qs << u"/loop"_qs << 2 << QString() << u"%1: more than 5 redirects"_qs;
    QTest::newRow("too large") << u"dump"_qs << u"/web/large.xml"_qs << 1 << QString()
                               << u"%1: the feed is larger than 10 MB"_qs;
}

void tst_PublishServers::webAddress_dumpAndCheck() {
    QFETCH(QString, command);
    QFETCH(QString, path);
    QFETCH(int, exitCode);
    QFETCH(QString, outHas);
    QFETCH(QString, errHas);
    if (!m_web.isRunning())
        QSKIP(qPrintable(m_web.skipReason()));
    const QString web = m_ssh.folder() + u"/srv/web"_qs;
    if (!QFile::exists(web + u"/large.xml"_qs)) {
        QDir().mkpath(web);
        Local local(PublicUrl);
        LoopbackServer::writeFile(web + u"/Podcast.xml"_qs, local.file(u"Podcast.xml"_qs));
        local.padding = "<!-- " + QByteArray(11 * 1024 * 1024, 'x') + " -->";
        local.writeFeed();
        LoopbackServer::writeFile(web + u"/large.xml"_qs, local.file(u"Podcast.xml"_qs));
    }
    const QString url = u"http://127.0.0.1:%1%2"_qs.arg(m_web.port()).arg(path);
    QProcess process;
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE), {command, url});
    QVERIFY(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(out.contains(outHas.contains(u"%1") ? outHas.arg(url) : outHas), qPrintable(out));
    QVERIFY2(err.contains(errHas.contains(u"%1") ? errHas.arg(url) : errHas), qPrintable(err));
}

QTEST_GUILESS_MAIN(tst_PublishServers)
#include "tst_publishservers.moc"
