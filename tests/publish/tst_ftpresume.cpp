#include "FtpServer.h"
#include "publish/FtpStore.h"
#include "publish/PublishTarget.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;

// A cut FTPS upload of media goes on from the end of its hidden part, when
// that part ends as the local file does there; against vsftpd on loopback.
class tst_FtpResume : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void put_goesOnFromCutPart_data();
    void put_goesOnFromCutPart();

private:
    FtpServer m_ftp;
};

void tst_FtpResume::initTestCase() {
    if (!m_ftp.start())
        qWarning("skipped: %s", qPrintable(m_ftp.skipReason()));
}

void tst_FtpResume::put_goesOnFromCutPart_data() {
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("tailMatches");
    QTest::addColumn<bool>("resumable");
    QTest::addColumn<bool>("resumed");
    QTest::newRow("the part ends as the file does") << u"r1"_s << true << true << true;
    QTest::newRow("the part ends otherwise") << u"r2"_s << false << true << false;
    QTest::newRow("not resumable (the feed)") << u"r3"_s << true << false << false;
}

void tst_FtpResume::put_goesOnFromCutPart() {
    QFETCH(QString, place);
    QFETCH(bool, tailMatches);
    QFETCH(bool, resumable);
    QFETCH(bool, resumed);
    if (!m_ftp.isRunning())
        QSKIP(qPrintable(m_ftp.skipReason()));
    QByteArray bytes(300 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    // What a cut upload left: the first 150 KB, its first bytes marked so
    // that the result shows whether the upload went on from it.
    QByteArray part = bytes.left(150 * 1024);
    part.replace(0, 16, QByteArray(16, '#'));
    if (!tailMatches)
        part[part.size() - 1] = char(~part[part.size() - 1]);
    const QString folder = m_ftp.pub() + u'/' + place;
    QString error;
    const PublishTarget target = PublishTarget::parse(
        u"ftps://anonymous@127.0.0.1:%1/pub/%2/"_s.arg(m_ftp.port()).arg(place), &error);
    PublishSettings settings;
    settings.ftpPassword = u"anonymous"_s;
    settings.caFile = m_ftp.certificate();
    QDir().mkpath(folder);
    LoopbackServer::writeFile(folder + u"/.a.mp3.brindlewood-part"_s, part);
    QVERIFY(LoopbackServer::run(u"chown"_s, {u"-R"_s, u"ftp"_s, folder}));
    FtpStore store(target, settings);
    QVERIFY(!store.open());
    QBuffer data(&bytes);
    data.open(QIODevice::ReadOnly);
    QList<qint64> progress;
    const std::atomic<bool> cancel{false};
    const RemoteStore::Failure failure = store.put(
        data, {u"a.mp3"_s, bytes.size(), u"audio/mpeg"_s, QString(), resumable},
        [&](qint64 sent) { progress.append(sent); }, cancel);
    QVERIFY2(!failure, qPrintable(failure.text));

    QFile stored(folder + u"/a.mp3"_s);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QByteArray expected = bytes;
    if (resumed)
        expected.replace(0, 16, QByteArray(16, '#'));
    QVERIFY(stored.readAll() == expected);
    QVERIFY(!QFile::exists(folder + u"/.a.mp3.brindlewood-part"_s));
    // Progress counts the bytes already there from the start.
    QCOMPARE(progress.constFirst() >= part.size(), resumed);
    QCOMPARE(progress.constLast(), bytes.size());
}

QTEST_GUILESS_MAIN(tst_FtpResume)
#include "tst_ftpresume.moc"
