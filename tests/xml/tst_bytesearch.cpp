#include "xml/ByteSearch.h"

#include <QTest>

class tst_ByteSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameBytes_findsADifferenceAnywhere_data();
    void sameBytes_findsADifferenceAnywhere();
};

void tst_ByteSearch::sameBytes_findsADifferenceAnywhere_data() {
    QTest::addColumn<int>("size");
    // Every length the word compares treat apart, and either side of them.
    for (const int size : {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 64})
        QTest::addRow("%d bytes", size) << size;
}

void tst_ByteSearch::sameBytes_findsADifferenceAnywhere() {
    QFETCH(int, size);
    // Unaligned, with different bytes just past the end: only `size` count.
    const QByteArray a =
        "x" +
        QByteArray("itunes:duration-podcast:transcript-content:encoded-ab").repeated(2).left(size) +
        "y";
    QByteArray b = "-" + a.mid(1, size) + "z";
    QVERIFY(ByteSearch::sameBytes(a.constData() + 1, b.constData() + 1, size_t(size)));
    for (int at = 0; at < size; ++at) {
        QByteArray changed = b;
        changed[1 + at] = char(changed[1 + at] ^ 0x20);
        QVERIFY2(!ByteSearch::sameBytes(a.constData() + 1, changed.constData() + 1, size_t(size)),
                 qPrintable(QStringLiteral("a difference at %1 not seen").arg(at)));
    }
}

QTEST_GUILESS_MAIN(tst_ByteSearch)
#include "tst_bytesearch.moc"
