#include "xml/BackgroundRead.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A file read beside its parse: the bytes, and what happens when the file
// is not what its size said.
class tst_BackgroundRead : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void read_data();
    void read();
    void load_data();
    void load();
};

namespace {
// A real file that can misstate its size or fail part of the way.
class OddFile : public QFile {
public:
    OddFile(const QString &path, qint64 claimedSize, qint64 failAt)
        : QFile(path)
        , m_claimedSize(claimedSize)
        , m_failAt(failAt) {}
    qint64 size() const override { return m_claimedSize >= 0 ? m_claimedSize : QFile::size(); }

protected:
    qint64 readData(char *data, qint64 length) override {
        if (m_failAt >= 0 && pos() + length > m_failAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        return QFile::readData(data, length);
    }

private:
    qint64 m_claimedSize;
    qint64 m_failAt;
};

QByteArray content(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 4096) % 26);
    return bytes;
}
} // namespace

void tst_BackgroundRead::read_data() {
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<qint64>("claimedSize"); // -1: as it is
    QTest::addColumn<qint64>("failAt");      // -1: never
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("error");
    const int whole = int(BackgroundRead::Outcome::Whole);
    const int changed = int(BackgroundRead::Outcome::Changed);
    const int failed = int(BackgroundRead::Outcome::Failed);
    const QString changedText = QStringLiteral("The file changed while it was read");
    QTest::newRow("empty") << qsizetype(0) << qint64(-1) << qint64(-1) << whole << QString();
    QTest::newRow("one byte") << qsizetype(1) << qint64(-1) << qint64(-1) << whole << QString();
    QTest::newRow("many pieces") << qsizetype(1300 * 1024 + 17) << qint64(-1) << qint64(-1) << whole
                                 << QString();
    QTest::newRow("longer than its size")
        << qsizetype(700 * 1024) << qint64(600 * 1024) << qint64(-1) << changed << changedText;
    QTest::newRow("grown from nothing")
        << qsizetype(10) << qint64(0) << qint64(-1) << changed << changedText;
    QTest::newRow("shorter than its size")
        << qsizetype(700 * 1024) << qint64(900 * 1024) << qint64(-1) << changed << changedText;
    QTest::newRow("read error in the second piece")
        << qsizetype(1300 * 1024) << qint64(-1) << qint64(600 * 1024) << failed
        << QStringLiteral("Input/output error");
}

void tst_BackgroundRead::read() {
    QFETCH(qsizetype, size);
    QFETCH(qint64, claimedSize);
    QFETCH(qint64, failAt);
    QFETCH(int, outcome);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("feed.xml"));
    const QByteArray bytes = content(size);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(size));
    }
    auto file = std::make_unique<OddFile>(path, claimedSize, failAt);
    QVERIFY(file->open(QIODevice::ReadOnly));
    BackgroundRead read(std::move(file));
    const qsizetype expectedSize = claimedSize >= 0 ? qsizetype(claimedSize) : size;
    QCOMPARE(read.text().size(), expectedSize);
    // Bytes that are in can be read while the rest still comes.
    const qsizetype first = std::min<qsizetype>(expectedSize, 100);
    if (outcome == int(BackgroundRead::Outcome::Whole)) {
        QCOMPARE(read.waitFor(first), first);
        QCOMPARE(read.text().first(first), bytes.first(first));
    }
    QCOMPARE(int(read.wait()), outcome);
    QCOMPARE(read.errorString(), error);
    if (outcome == int(BackgroundRead::Outcome::Whole)) {
        QCOMPARE(read.text(), bytes);
        QCOMPARE(read.waitFor(expectedSize + 10), expectedSize);
    } else {
        // Asking past where the read ended answers at once, short.
        QVERIFY(read.waitFor(expectedSize) < expectedSize || claimedSize < size);
    }
}

void tst_BackgroundRead::load_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("error");
    QTest::newRow("well-formed") << QByteArray("<rss><channel>") << QString();
    // The read is stopped early; the parse's own error is the one given.
    QTest::newRow("fault at the start")
        << QByteArray("<rss><channel></rss>")
        << QStringLiteral("Opening and ending tag mismatch: channel line 1 and rss (line 1, "
                          "column 21)");
}

void tst_BackgroundRead::load() {
    QFETCH(QByteArray, head);
    QFETCH(QString, error);
    QByteArray text = head;
    qsizetype items = 0;
    for (; text.size() < 3 * 1024 * 1024; ++items)
        text += "<item><title>An episode &amp; its notes</title></item>\n";
    text += "</channel></rss>\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("feed.xml"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    XmlDocument document;
    QByteArray bytes;
    int seen = 0;
    const bool loaded = document.load(
        path, &bytes,
        [&](const QByteArray &given, const std::shared_ptr<const BackgroundRead> &read) {
            ++seen;
            QVERIFY(read);
            QCOMPARE(given.size(), text.size());
        });
    QCOMPARE(seen, 1);
    QCOMPARE(loaded, error.isEmpty());
    QCOMPARE(document.errorString(), error);
    QVERIFY(!document.inputChanged());
    if (loaded) {
        QCOMPARE(bytes, text);
        QCOMPARE(document.selectNodes(u"rss/channel/item").size(), items);
    }
}

QTEST_GUILESS_MAIN(tst_BackgroundRead)
#include "tst_backgroundread.moc"
