#include "JsonOutput.h"

#include <QTest>
#include <cstdio>
#include <cstdlib>

class tst_JsonOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void utf8String_writesWhatTheTextWouldWrite_data();
    void utf8String_writesWhatTheTextWouldWrite();
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
}

void tst_JsonOutput::utf8String_writesWhatTheTextWouldWrite() {
    QFETCH(QByteArray, text);
    const QByteArray expected =
        written([&](JsonOutput &out) { out.string(QString::fromUtf8(text)); });
    QCOMPARE(written([&](JsonOutput &out) { out.utf8String(text); }), expected);
}

QTEST_GUILESS_MAIN(tst_JsonOutput)
#include "tst_jsonoutput.moc"
