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
}

QTEST_GUILESS_MAIN(tst_TextPieces)
#include "tst_textpieces.moc"
