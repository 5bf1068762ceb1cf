#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What `brindlewood-feed publish` refuses before it reaches any server.
class tst_PublishCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedBeforeConnecting_data();
    void refusedBeforeConnecting();
};

void tst_PublishCli::refusedBeforeConnecting_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("feed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QByteArray good = "<rss version=\"2.0\"><channel><title>T</title></channel></rss>";
    const QString sftp = u"sftp://ann@127.0.0.1/srv/pod/"_qs;
    const QString url = u"https://example.org/pod/"_qs;
    QTest::newRow("help") << QStringList{u"--help"_qs} << good << 0
                          << u"Usage: brindlewood-feed publish FEED"_qs;
    QTest::newRow("no target") << QStringList{u"--public-url"_qs, url} << good << 2
                               << u"publish needs --to TARGET"_qs;
    QTest::newRow("no public url")
        << QStringList{u"--to"_qs, sftp} << good << 2 << u"publish needs --public-url URL"_qs;
    QTest::newRow("target twice") << QStringList{u"--to"_qs, sftp, u"--to="_qs + sftp,
                                                 u"--public-url"_qs, url}
                                  << good << 2 << u"--to is given twice"_qs;
    QTest::newRow("unknown option")
        << QStringList{u"--to"_qs, sftp, u"--public-url"_qs, url, u"--force"_qs} << good << 2
        << u"unknown option '--force'"_qs;
    QTest::newRow("web address as target")
        << QStringList{u"--to"_qs, u"https://example.org/pod/"_qs, u"--public-url"_qs, url} << good
        << 2 << u"must start with sftp://, s3:// or ftps://"_qs;
    QTest::newRow("public url not a web address")
        << QStringList{u"--to"_qs, sftp, u"--public-url"_qs, u"example.org/pod/"_qs} << good << 2
        << u"is not an http:// or https:// address"_qs;
    QTest::newRow("identity with s3")
        << QStringList{u"--to"_qs, u"s3://pod/x/"_qs, u"--public-url"_qs,
                       url,        u"--identity"_qs,  u"key"_qs}
        << good << 2 << u"--identity goes with sftp:// targets only"_qs;
    QTest::newRow("endpoint with sftp")
        << QStringList{u"--to"_qs, sftp, u"--public-url"_qs, url, u"--endpoint=http://x"_qs} << good
        << 2 << u"--endpoint goes with s3:// targets only"_qs;
    QTest::newRow("media folder missing")
        << QStringList{u"--to"_qs,         sftp,
                       u"--public-url"_qs, url,
                       u"--media-dir"_qs,  u"/nonexistent/media"_qs}
        << good << 2 << u"--media-dir '/nonexistent/media' is not a folder"_qs;
    QTest::newRow("ftps without password")
        << QStringList{u"--to"_qs, u"ftps://ann@127.0.0.1/pod/"_qs, u"--public-url"_qs, url} << good
        << 1 << u"needs the password in BRINDLEWOOD_FTP_PASSWORD; nothing was sent."_qs;
    QTest::newRow("s3 without credentials")
        << QStringList{u"--to"_qs, u"s3://pod/x/"_qs, u"--public-url"_qs,
                       url,        u"--endpoint"_qs,  u"http://127.0.0.1:9/"_qs}
        << good << 1 << u"S3 needs an access key"_qs;
    QTest::newRow("feed not well-formed")
        << QStringList{u"--to"_qs, sftp, u"--public-url"_qs, url}
        << QByteArray("<rss><channel><title>Tom & Jerry</title></channel></rss>") << 1
        << u"is not well-formed XML"_qs;
}

void tst_PublishCli::refusedBeforeConnecting() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, feed);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Podcast.xml"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(feed);
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name :
         {u"AWS_ACCESS_KEY_ID"_qs, u"AWS_SECRET_ACCESS_KEY"_qs, u"BRINDLEWOOD_FTP_PASSWORD"_qs})
        environment.remove(name);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE),
                  QStringList{u"publish"_qs, path} + arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString output =
        QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    QVERIFY2(output.contains(message), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_PublishCli)
#include "tst_publishcli.moc"
