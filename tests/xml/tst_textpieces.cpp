#include "xml/TextPieces.h"
#include "xml/XmlDocument.h"

#include <QTest>

// A save writes and checks the loaded text in pieces: every way of reading
// them must give the same bytes as the text they were cut from, and the check
// the same verdict, at the same line and column.
class tst_TextPieces : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsAsTheWholeText_data();
    void readsAsTheWholeText();
};

namespace {
// A feed of `items` copies of `item`.
QByteArray feedText(qsizetype items, const QByteArray &item) {
    QByteArray text = "<?xml version=\"1.0\"?>\n<rss><channel>\n";
    for (qsizetype i = 0; i < items; ++i)
        text += item;
    return text + "</channel></rss>\n";
}
} // namespace

void tst_TextPieces::readsAsTheWholeText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("cuts"); // ascending; even pieces are views, odd ones own bytes
    QTest::addColumn<bool>("wellFormed");
    const QByteArray item = "  <item><title>T \xC3\xA9</title></item>\n";
    const QByteArray small = feedText(10, item);
    const QByteArray large = feedText(4000, item); // about 140 KB
    QTest::newRow("one short view") << small << QList<int>{} << true;
    QTest::newRow("one long view") << large << QList<int>{} << true;
    QTest::newRow("short pieces") << small << QList<int>{5, 40, 41, 100, 200} << true;
    QTest::newRow("long pieces") << large << QList<int>{20000, 60000, 100000} << true;
    QTest::newRow("long and short") << large << QList<int>{3, 70000, 70001, 70010, 120000} << true;
    QTest::newRow("a cut inside a character")
        << large << QList<int>{int(large.indexOf('\xA9')), 90000} << true;
    QList<int> everyTenBytes;
    for (int at = 10; at < large.size(); at += 10)
        everyTenBytes.append(at);
    QTest::newRow("thousands of short pieces") << large << everyTenBytes << true;
    QList<int> longThenShort;
    for (int at = 17000; at + 20 < large.size(); at += 17000)
        longThenShort << at << at + 12;
    QTest::newRow("long pieces with short ones between") << large << longThenShort << true;
    QByteArray broken = large;
    broken.replace(100000, 6, "<item ");
    QTest::newRow("not well-formed past a cut")
        << broken << QList<int>{50000, 99998, 100003} << false;
    QByteArray undecodable = large;
    undecodable[80000] = '\xFF';
    QTest::newRow("an undecodable byte") << undecodable << QList<int>{79999, 80001} << false;
}

void tst_TextPieces::readsAsTheWholeText() {
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, cuts);
    QFETCH(bool, wellFormed);
    TextPieces pieces;
    qsizetype from = 0;
    cuts.append(int(text.size()));
    for (int i = 0; i < cuts.size(); ++i) {
        const QByteArrayView piece = QByteArrayView(text).sliced(from, cuts[i] - from);
        if (i % 2 == 0)
            pieces.appendView(piece);
        else
            pieces.append(piece.toByteArray());
        from = cuts[i];
    }
    QCOMPARE(pieces.size(), text.size());
    QCOMPARE(pieces.joined(), text);
    for (const qsizetype at : {qsizetype(0), qsizetype(1), text.size() / 3, text.size() - 7}) {
        QByteArray read(100, '\0');
        read.truncate(pieces.copy(at, read.data(), read.size()));
        QCOMPARE(read, text.mid(at, 100));
    }
    const QString verdict = XmlDocument::checkWellFormed(pieces);
    QCOMPARE(verdict.isEmpty(), wellFormed);
    QCOMPARE(verdict, XmlDocument::checkWellFormed(text));

    // A copy reads the same; what a move leaves is empty and can be used again.
    const TextPieces copied = pieces;
    TextPieces moved = std::move(pieces);
    QCOMPARE(copied.joined(), text);
    QCOMPARE(moved.joined(), text);
    QCOMPARE(pieces.size(), 0);
    pieces.append("<again/>");
    QCOMPARE(pieces.joined(), QByteArray("<again/>"));
    moved.append("<more/>");
    QCOMPARE(copied.joined(), text);
    QCOMPARE(moved.joined(), text + "<more/>");
}

QTEST_GUILESS_MAIN(tst_TextPieces)
#include "tst_textpieces.moc"
