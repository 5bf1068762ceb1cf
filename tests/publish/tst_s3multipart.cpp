#include "S3Server.h"
#include "publish/CurlRequest.h"
#include "publish/PublishTarget.h"
#include "publish/S3Store.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// Large media go up to S3 in parts; small parts here stand in for the
// 16 MB ones, against s3rver on loopback.
class tst_S3Multipart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void put_arrivesWhole_data();
    void put_arrivesWhole();
    void put_cancelledKeepsOldObject();
    void put_resumesAfterServerCut_data();
    void put_resumesAfterServerCut();

private:
    struct Object {
        QByteArray bytes;
        QByteArray contentType;
    };
    std::unique_ptr<S3Store> store() const;
    Object get(const QString &key) const;
    static QByteArray randomBytes(qsizetype size);

    S3Server m_s3;
};

namespace {
constexpr qint64 PartSize = 64 * 1024;
constexpr qint64 Above = 100 * 1024;
} // namespace

void tst_S3Multipart::initTestCase() {
    if (!m_s3.start())
        qWarning("skipped: %s", qPrintable(m_s3.skipReason()));
}

std::unique_ptr<S3Store> tst_S3Multipart::store() const {
    QString error;
    const PublishTarget target = PublishTarget::parse(QStringLiteral("s3://pod/parts/"), &error);
    PublishSettings settings;
    settings.endpoint = QStringLiteral("http://127.0.0.1:%1").arg(m_s3.port());
    settings.accessKeyId = QStringLiteral("S3RVER");
    settings.secretAccessKey = QStringLiteral("S3RVER");
    settings.s3MultipartAbove = Above;
    settings.s3PartSize = PartSize;
    return std::make_unique<S3Store>(target, settings);
}

tst_S3Multipart::Object tst_S3Multipart::get(const QString &name) const {
    CurlRequest request;
    const QByteArray url =
        QStringLiteral("http://127.0.0.1:%1/pod/parts/%2").arg(m_s3.port()).arg(name).toUtf8();
    curl_easy_setopt(request.handle(), CURLOPT_URL, url.constData());
    request.keepBody(16 * 1024 * 1024);
    if (request.perform() != CURLE_OK || request.responseCode() != 200)
        return {};
    return {request.body(), request.responseHeader("Content-Type")};
}

QByteArray tst_S3Multipart::randomBytes(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

void tst_S3Multipart::put_arrivesWhole_data() {
    QTest::addColumn<qint64>("size");
    QTest::newRow("one PUT at the limit") << Above;
    QTest::newRow("whole parts") << 4 * PartSize;
    QTest::newRow("a short last part") << 4 * PartSize + 1;
}

void tst_S3Multipart::put_arrivesWhole() {
    QFETCH(qint64, size);
    if (!m_s3.isRunning())
        QSKIP(qPrintable(m_s3.skipReason()));
    QByteArray bytes = randomBytes(size);
    QBuffer data(&bytes);
    data.open(QIODevice::ReadOnly);
    const std::unique_ptr<S3Store> s3 = store();
    QList<qint64> progress;
    const std::atomic<bool> cancel{false};
    const QString name = QStringLiteral("whole-%1.mp3").arg(size);
    QVERIFY(!s3->open());
    const RemoteStore::Failure failure = s3->put(
        data, {name, size, QStringLiteral("audio/mpeg"), QString(), true},
        [&](qint64 sent) { progress.append(sent); }, cancel);
    QVERIFY2(!failure, qPrintable(failure.text));
    const Object object = get(name);
    QVERIFY(object.bytes == bytes);
    QCOMPARE(object.contentType, "audio/mpeg");
    QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
    QCOMPARE(progress.constLast(), size);
}

void tst_S3Multipart::put_cancelledKeepsOldObject() {
    if (!m_s3.isRunning())
        QSKIP(qPrintable(m_s3.skipReason()));
    const std::unique_ptr<S3Store> s3 = store();
    QVERIFY(!s3->open());
    const QString name = QStringLiteral("cancelled.mp3");
    std::atomic<bool> cancel{false};
    QByteArray old("old media");
    QBuffer oldData(&old);
    oldData.open(QIODevice::ReadOnly);
    QVERIFY(!s3->put(oldData, {name, old.size(), QStringLiteral("audio/mpeg"), QString(), true}, {},
                     cancel));

    QByteArray bytes = randomBytes(5 * PartSize);
    QBuffer data(&bytes);
    data.open(QIODevice::ReadOnly);
    const RemoteStore::Failure failure = s3->put(
        data, {name, bytes.size(), QStringLiteral("audio/mpeg"), QString(), true},
        [&](qint64 sent) {
            if (sent > 2 * PartSize)
                cancel.store(true);
        },
        cancel);
    QCOMPARE(failure.text, QStringLiteral("cancelled"));
    QCOMPARE(get(name).bytes, old);
}

void tst_S3Multipart::put_resumesAfterServerCut_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("laterRun");      // a new store, which knows nothing of the cut
    QTest::addColumn<qint64>("changedFrom"); // -1: the file is as it was
    QTest::addColumn<qint64>("partsKept");
    QTest::newRow("the publisher's retry") << u"retry.mp3"_s << false << qint64(-1) << qint64(3);
    QTest::newRow("a later run") << u"later.mp3"_s << true << qint64(-1) << qint64(3);
    QTest::newRow("a later run, the file changed in part 2")
        << u"changed.mp3"_s << true << PartSize + 5 << qint64(1);
    QTest::newRow("a later run, the file changed in part 1")
        << u"renewed.mp3"_s << true << qint64(5) << qint64(0);
}

void tst_S3Multipart::put_resumesAfterServerCut() {
    QFETCH(QString, name);
    QFETCH(bool, laterRun);
    QFETCH(qint64, changedFrom);
    QFETCH(qint64, partsKept);
    if (!m_s3.isRunning())
        QSKIP(qPrintable(m_s3.skipReason()));
    std::unique_ptr<S3Store> s3 = store();
    QVERIFY(!s3->open());
    QByteArray bytes = randomBytes(6 * PartSize + 10);
    QBuffer data(&bytes);
    data.open(QIODevice::ReadOnly);
    const std::atomic<bool> cancel{false};
    const RemoteStore::Upload upload{name, bytes.size(), QStringLiteral("audio/mpeg"), QString(),
                                     true};
    // The server goes away while the fourth part is on its way.
    bool stopped = false;
    const RemoteStore::Failure cut = s3->put(
        data, upload,
        [&](qint64 sent) {
            if (sent > 3 * PartSize && !stopped) {
                stopped = true;
                m_s3.stop();
            }
        },
        cancel);
    QVERIFY(cut);
    QVERIFY2(cut.transient, qPrintable(cut.text));
    QVERIFY(m_s3.start());

    // The next try sends only what is missing, and what has changed since.
    if (laterRun)
        s3 = store();
    if (changedFrom >= 0)
        bytes[changedFrom] = char(~bytes[changedFrom]);
    QList<qint64> progress;
    QVERIFY(!s3->open());
    data.seek(0);
    const RemoteStore::Failure failure = s3->put(
        data, upload, [&](qint64 sent) { progress.append(sent); }, cancel);
    QVERIFY2(!failure, qPrintable(failure.text));
    // Kept parts are counted as sent at once, one call each; a part sent
    // starts from where it begins.
    qsizetype kept = 0;
    while (kept < progress.size() && progress[kept] == (kept + 1) * PartSize)
        ++kept;
    QCOMPARE(kept, partsKept);
    QVERIFY(get(name).bytes == bytes);
}

QTEST_GUILESS_MAIN(tst_S3Multipart)
#include "tst_s3multipart.moc"
