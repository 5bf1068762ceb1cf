#include "xml/XmlDocument.h"
#include "xml/XmlRepair.h"

#include <QTest>

class tst_XmlRepair : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void repaired_exactBytesAndListedLines_data();
    void repaired_exactBytesAndListedLines();
    void notAlmostXml_staysRefused_data();
    void notAlmostXml_staysRefused();
    void tooManyChanges_refused();
    void describe_makesTextVisibleAndShort();
};

namespace {
const XmlRepair::Namespaces Known{
    {QStringLiteral("itunes"), QStringLiteral("http://www.itunes.com/dtds/podcast-1.0.dtd")},
    {QStringLiteral("spotify"), QStringLiteral("http://www.spotify.com/ns/rss")},
};

const QByteArray Decl = R"(<?xml version="1.0" encoding="UTF-8"?>)";
const QByteArray Itunes = R"( xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd")";

// A change as "line|was|now", the form the rows list them in.
QStringList listed(const QList<XmlRepair::Change> &changes) {
    QStringList result;
    for (const XmlRepair::Change &change : changes)
        result.append(QStringLiteral("%1|%2|%3").arg(change.line).arg(change.was, change.now));
    return result;
}
} // namespace

void tst_XmlRepair::repaired_exactBytesAndListedLines_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("firstWhat");

    const QByteArray rss = "<rss version=\"2.0\"><channel><title>T</title></channel></rss>";
    QTest::newRow("blank line before the declaration")
        << "\n" + Decl + "\n" + rss << Decl + "\n" + rss << QStringList{u"1|\n|"_qs}
        << u"text before the XML declaration removed"_qs;
    QTest::newRow("space and BOM before the declaration, BOM kept at the start")
        << "\xEF\xBB\xBF \r\n" + Decl + rss << "\xEF\xBB\xBF" + Decl + rss
        << QStringList{u"1| \r\n|"_qs} << QString();
    QTest::newRow("PHP warning in HTML before the declaration")
        << "<br />\n<b>Warning</b>:  Undefined variable $x in <b>/srv/feed.php</b> on line "
           "<b>3</b><br />\n" +
               Decl + "\n" + rss
        << Decl + "\n" + rss
        << QStringList{u"1|<br />\n<b>Warning</b>:  Undefined variable $x in <b>/srv/feed.php</b> "
                       "on line <b>3</b><br />\n|"_qs}
        << QString();
    QTest::newRow("message between the declaration and the root")
        << Decl + "\nNotice: cache miss\n" + rss << Decl + "\n" + rss
        << QStringList{u"2|Notice: cache miss\n|"_qs} << u"text before the root element removed"_qs;
    QTest::newRow("message before a root with no declaration, later lines counted from it")
        << QByteArray("Deprecated: x\r\n<rss version=\"2.0\"><channel>\r\n<title>A & B</title>"
                      "</channel></rss>")
        << QByteArray("<rss version=\"2.0\"><channel>\r\n<title>A &amp; B</title></channel></rss>")
        << QStringList{u"1|Deprecated: x\r\n|"_qs, u"3|&|&amp;"_qs} << QString();
    QTest::newRow("an element before an rss element is the root, not a message")
        << QByteArray("<doc>\n<rss/>&</doc>") << QByteArray("<doc>\n<rss/>&amp;</doc>")
        << QStringList{u"2|&|&amp;"_qs} << QString();
    QTest::newRow("Windows-1252 quotes and a dash, a run is one change")
        << Decl + "<rss><channel><title>\x93Hi\x94 \x96\n\xE9\xE8</title></channel></rss>"
        << Decl + "<rss><channel><title>\xE2\x80\x9CHi\xE2\x80\x9D \xE2\x80\x93\n\xC3\xA9\xC3\xA8"
                  "</title></channel></rss>"
        << QStringList{u"1|\\x93|\u201C"_qs, u"1|\\x94|\u201D"_qs, u"1|\\x96|\u2013"_qs,
                       u"2|\\xE9\\xE8|\u00E9\u00E8"_qs}
        << u"bytes that are not UTF-8 read as Windows-1252"_qs;
    QTest::newRow("no declaration reads as UTF-8, valid UTF-8 untouched")
        << QByteArray("<rss><channel><title>\xC3\xA9\x85</title></channel></rss>")
        << QByteArray("<rss><channel><title>\xC3\xA9\xE2\x80\xA6</title></channel></rss>")
        << QStringList{u"1|\\x85|\u2026"_qs} << QString();
    QTest::newRow("undeclared well-known prefix bound on the root, after its attributes")
        << Decl + "\n<rss version=\"2.0\" >\n<channel>\n<itunes:author>A</itunes:author>"
                  "</channel></rss>"
        << Decl + "\n<rss version=\"2.0\"" + Itunes +
               " >\n<channel>\n<itunes:author>A</itunes:author></channel></rss>"
        << QStringList{u"2||"_qs + QString::fromUtf8(Itunes)}
        << u"undeclared prefix itunes bound to its well-known namespace (first used on line 4)"_qs;
    QTest::newRow("unknown prefix on an attribute gets a placeholder named after it")
        << QByteArray("<rss><channel><item fh:id=\"1\"/></channel></rss>")
        << QByteArray("<rss xmlns:fh=\"urn:x-undeclared-prefix:fh\"><channel><item fh:id=\"1\"/>"
                      "</channel></rss>")
        << QStringList{u"1|| xmlns:fh=\"urn:x-undeclared-prefix:fh\""_qs}
        << u"undeclared prefix fh bound to a placeholder namespace, as it is not a well-known "
           "one (first used on line 1)"_qs;
    QTest::newRow("prefix declared on one element, used outside it")
        << QByteArray("<rss><a xmlns:spotify=\"urn:s\"><spotify:x/></a><b><spotify:y/></b></rss>")
        << QByteArray("<rss xmlns:spotify=\"http://www.spotify.com/ns/rss\"><a "
                      "xmlns:spotify=\"urn:s\"><spotify:x/></a><b><spotify:y/></b></rss>")
        << QStringList{u"1|| xmlns:spotify=\"http://www.spotify.com/ns/rss\""_qs} << QString();
    QTest::newRow("bare ampersands in text and in an address")
        << QByteArray("<rss><link>https://a.example/?a=1&b=2</link><t>Tom & Jerry &#; &#x;</t>"
                      "</rss>")
        << QByteArray("<rss><link>https://a.example/?a=1&amp;b=2</link><t>Tom &amp; Jerry "
                      "&amp;#; &amp;#x;</t></rss>")
        << QStringList{u"1|&|&amp;"_qs, u"1|&|&amp;"_qs, u"1|&|&amp;"_qs, u"1|&|&amp;"_qs}
        << u"bare & escaped"_qs;
    QTest::newRow("ampersand in an attribute value")
        << QByteArray("<rss><enclosure url=\"https://a.example/x.mp3?a=1&b=2\" /></rss>")
        << QByteArray("<rss><enclosure url=\"https://a.example/x.mp3?a=1&amp;b=2\" /></rss>")
        << QStringList{u"1|&|&amp;"_qs} << QString();
    QTest::newRow("HTML named references become their characters, unknown ones text")
        << QByteArray("<rss><t>a&nbsp;b&hellip;&ellip; &amp;&#38;&lt;</t></rss>")
        << QByteArray("<rss><t>a\xC2\xA0"
                      "b\xE2\x80\xA6&amp;ellip; &amp;&#38;&lt;</t></rss>")
        << QStringList{u"1|&nbsp;|\u00A0"_qs, u"1|&hellip;|\u2026"_qs, u"1|&ellip;|&amp;ellip;"_qs}
        << u"HTML named reference replaced by its character"_qs;
    QTest::newRow("outside UTF-8 an HTML reference becomes a character reference")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss>\xE9&eacute;</rss>")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss>\xE9&#233;</rss>")
        << QStringList{u"1|&eacute;|&#233;"_qs} << QString();
    QTest::newRow("entities of the internal subset, comments and CDATA are left alone")
        << QByteArray("<!DOCTYPE rss [<!ENTITY show \"S\">]><rss><!-- & --><![CDATA[&x]]>"
                      "&show; & </rss>")
        << QByteArray("<!DOCTYPE rss [<!ENTITY show \"S\">]><rss><!-- & --><![CDATA[&x]]>"
                      "&show; &amp; </rss>")
        << QStringList{u"1|&|&amp;"_qs} << QString();
    QTest::newRow("lines counted across CR LF and a lone CR")
        << QByteArray("<rss>\r\n<a>1</a>\r<b>&</b>\n&copy;</rss>")
        << QByteArray("<rss>\r\n<a>1</a>\r<b>&amp;</b>\n\xC2\xA9</rss>")
        << QStringList{u"3|&|&amp;"_qs, u"4|&copy;|\u00A9"_qs} << QString();
}

void tst_XmlRepair::repaired_exactBytesAndListedLines() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QFETCH(QStringList, changes);
    QFETCH(QString, firstWhat);
    QVERIFY(!XmlDocument::checkWellFormed(input).isEmpty());

    const XmlRepair::Result result = XmlRepair::repair(input, Known);
    QVERIFY2(result.repaired, qPrintable(result.error));
    QCOMPARE(result.text, output);
    QCOMPARE(listed(result.changes), changes);
    if (!firstWhat.isEmpty())
        QCOMPARE(result.changes.first().what, firstWhat);

    // What the repair gives, the strict parser takes as it is, and a second
    // repair finds nothing to change in it.
    QCOMPARE(XmlDocument::checkWellFormed(result.text), QString());
    const XmlRepair::Result again = XmlRepair::repair(result.text, Known);
    QVERIFY(again.repaired);
    QCOMPARE(again.text, result.text);
    QVERIFY(again.changes.isEmpty());
}

void tst_XmlRepair::notAlmostXml_staysRefused_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("errorHas");
    QTest::newRow("empty") << QByteArray() << u"empty"_qs;
    QTest::newRow("only blanks") << QByteArray(" \n\n") << u"empty"_qs;
    QTest::newRow("HTML page that moved")
        << QByteArray("<head><title>Document Moved</title></head>\n<body><h1>Object Moved</h1>"
                      "This document may be found <a HREF=\"https://a.example/feed\">here</a>"
                      "</body>")
        << u"not well-formed"_qs;
    QTest::newRow("HTML page before a declaration is not dropped")
        << "<html><body>Moved</body></html>\n" + Decl + "<rss/>" << u"not well-formed"_qs;
    QTest::newRow("crossed tags") << Decl + "<rss><channel><title>A</channel></title></rss>"
                                  << u"not well-formed"_qs;
    QTest::newRow("unclosed tag") << Decl + "<rss><channel><title>A</title>"
                                  << u"not well-formed"_qs;
    QTest::newRow("no root, only text")
        << QByteArray("Service unavailable") << u"not well-formed"_qs;
    QTest::newRow("unquoted attribute")
        << QByteArray("<rss><a href=x>&</a></rss>") << u"not well-formed"_qs;
    QTest::newRow("text after the root")
        << QByteArray("<rss/>\nWarning: x") << u"not well-formed"_qs;
    QTest::newRow("bare less-than") << QByteArray("<rss>1 < 2 &</rss>") << u"not well-formed"_qs;
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << u"NUL"_qs;
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0r\0s\0s\0/\0>\0", 14) << u"UTF-16"_qs;
    QTest::newRow("encoding not read byte for byte")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-7\"?><rss>&</rss>") << u"UTF-7"_qs;
}

void tst_XmlRepair::notAlmostXml_staysRefused() {
    QFETCH(QByteArray, input);
    QFETCH(QString, errorHas);
    const XmlRepair::Result result = XmlRepair::repair(input, Known);
    QVERIFY(!result.repaired);
    QVERIFY2(result.error.contains(errorHas, Qt::CaseInsensitive), qPrintable(result.error));
    QVERIFY(result.text.isEmpty());
    QVERIFY(result.changes.isEmpty());
}

void tst_XmlRepair::tooManyChanges_refused() {
    const QByteArray many = "<rss>" + QByteArray(XmlRepair::MaxChanges + 1, '&') + "</rss>";
    const XmlRepair::Result result = XmlRepair::repair(many, Known);
    QVERIFY(!result.repaired);
    QVERIFY2(result.error.contains(u"more than 250000 changes"_qs), qPrintable(result.error));

    // Undeclared prefixes count as they are met, each a change to come.
    QByteArray prefixes = "<rss>";
    for (int i = 0; i <= XmlRepair::MaxChanges; ++i)
        prefixes += "<p" + QByteArray::number(i) + ":x/>";
    const XmlRepair::Result bound = XmlRepair::repair(prefixes + "</rss>", Known);
    QVERIFY2(bound.error.contains(u"more than 250000 changes"_qs), qPrintable(bound.error));

    const QByteArray enough = "<rss>" + QByteArray(XmlRepair::MaxChanges, '&') + "</rss>";
    QCOMPARE(XmlRepair::repair(enough, Known).changes.size(), XmlRepair::MaxChanges);
}

void tst_XmlRepair::describe_makesTextVisibleAndShort() {
    QCOMPARE(XmlRepair::describe({3, u"\r\n\t\x01"_qs, QString(), u"why"_qs}),
             u"line 3: \"\\r\\n\\t\\x01\" \u2192 \"\": why"_qs);
    const QString described = XmlRepair::describe({1, QString(100, u'x'), u"y"_qs, u"w"_qs});
    QCOMPARE(described, u"line 1: \""_qs + QString(60, u'x') + u"\u2026\" \u2192 \"y\": w"_qs);
}

QTEST_APPLESS_MAIN(tst_XmlRepair)
#include "tst_xmlrepair.moc"
