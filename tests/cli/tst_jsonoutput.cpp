#include "JsonOutput.h"

#include <QTest>
#include <cstdio>
#include <cstdlib>

class tst_JsonOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void utf8String_writesWhatTheTextWouldWrite_data();
    void utf8String_writesWhatTheTextWouldWrite();
    void utf8Lines_writesTheJoinedText_data();
    void utf8Lines_writesTheJoinedText();
};

namespace {
// What `write` puts out through a JsonOutput.
template<typename Write> QByteArray written(Write write) {
    char *data = nullptr;
    size_t size = 0;
    std::FILE *stream = open_memstream(&data, &size);
    {
        JsonOutput out(stream);
        write(out);
    }
    std::fclose(stream);
    QByteArray bytes(data, qsizetype(size));
    std::free(data);
    return bytes;
}
} // namespace

void tst_JsonOutput::utf8String_writesWhatTheTextWouldWrite_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("markup and quotes") << QByteArray("<a href=\"x\">\\'b'</a>");
    QTest::newRow("line ends, tab and other controls") << QByteArray("a\r\nb\tc\x01\x1f\x7f", 10);
    QTest::newRow("two, three and four byte characters")
        << QByteArray("Z\xc3\xbcrich \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x8e\x99");
    QTest::newRow("leading byte-order mark") << QByteArray("\xef\xbb\xbf<a/>");
    QTest::newRow("byte-order mark inside") << QByteArray("a\xef\xbb\xbf");
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9 \xc3");
    QTest::newRow("encoded surrogate") << QByteArray("a\xed\xa0\x80z");
    QTest::newRow("zero byte") << QByteArray("a\0b", 3);
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xafz");
    QTest::newRow("overlong three bytes") << QByteArray("a\xe0\x80\xafz");
    QTest::newRow("above U+10FFFF") << QByteArray("a\xf4\x90\x80\x80z");
    QTest::newRow("last character U+10FFFF") << QByteArray("a\xf4\x8f\xbf\xbfz");
    QTest::newRow("U+FFFF and U+FFFE") << QByteArray("\xef\xbf\xbf\xef\xbf\xbe");
    QTest::newRow("cut short at the end") << QByteArray("ab\xe6\x9d");
    QTest::newRow("lone continuation byte") << QByteArray("a\x80b");
    QTest::newRow("long plain run") << QByteArray(5000, 'x') + "\"" + QByteArray(5000, 'y');
}

void tst_JsonOutput::utf8Lines_writesTheJoinedText_data() {
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::newRow("none") << QList<QByteArray>();
    QTest::newRow("one") << QList<QByteArray>{"<a>x</a>"};
    QTest::newRow("three") << QList<QByteArray>{"<a>x</a>", "<!-- c -->", "<b \"q\"/>"};
    QTest::newRow("an empty one first") << QList<QByteArray>{"", "<a/>", "", "<b/>"};
    QTest::newRow("one not UTF-8") << QList<QByteArray>{"<a/>", "caf\xe9", "<b/>"};
    QTest::newRow("a character cut between two") << QList<QByteArray>{"<a>\xe6\x9d", "\xb1</a>"};
    QTest::newRow("byte-order mark first") << QList<QByteArray>{"\xef\xbb\xbf<a/>", "<b/>"};
}

void tst_JsonOutput::utf8Lines_writesTheJoinedText() {
    QFETCH(QList<QByteArray>, pieces);
    QByteArray joined;
    QList<QByteArrayView> views;
    for (const QByteArray &piece : pieces) {
        if (!joined.isEmpty())
            joined += '\n';
        joined += piece;
        views.append(piece);
    }
    const QByteArray expected = written([&](JsonOutput &out) { out.utf8String(joined); });
    QCOMPARE(written([&](JsonOutput &out) { out.utf8Lines(views); }), expected);
}

void tst_JsonOutput::utf8String_writesWhatTheTextWouldWrite() {
    QFETCH(QByteArray, text);
    const QByteArray expected =
        written([&](JsonOutput &out) { out.string(QString::fromUtf8(text)); });
    QCOMPARE(written([&](JsonOutput &out) { out.utf8String(text); }), expected);
}

QTEST_GUILESS_MAIN(tst_JsonOutput)
#include "tst_jsonoutput.moc"
