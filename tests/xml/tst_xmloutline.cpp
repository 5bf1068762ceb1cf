#include "xml/XmlOutline.h"

#include <QTest>

// Sections whose end marker is looked for byte by byte: what they hold must
// not end them early, nor hide the elements after them.
class tst_XmlOutline : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sections_endAtTheirMarker_data();
    void sections_endAtTheirMarker();
};

void tst_XmlOutline::sections_endAtTheirMarker_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("names"); // elements in document order
    QTest::addColumn<QByteArray>("last");      // content of the last element
    QTest::newRow("CDATA with brackets")
        << QByteArray("<r><a><![CDATA[ ] ]] ]>]]]></a><b>t</b></r>")
        << QByteArrayList{"r", "a", "b"} << QByteArray("t");
    QTest::newRow("CDATA holding tags") << QByteArray("<r><a><![CDATA[<x><y/>]]></a><b>t</b></r>")
                                        << QByteArrayList{"r", "a", "b"} << QByteArray("t");
    QTest::newRow("comment with dashes") << QByteArray("<r><!-- a - b -> <x/> --><b>t</b></r>")
                                         << QByteArrayList{"r", "b"} << QByteArray("t");
    QTest::newRow("processing instruction with '?'")
        << QByteArray("<r><?pi a ? b > <x/> ?><b>t</b></r>") << QByteArrayList{"r", "b"}
        << QByteArray("t");
    QTest::newRow("marker as the last bytes")
        << QByteArray("<r><b><![CDATA[t]]></b></r>") << QByteArrayList{"r", "b"}
        << QByteArray("<![CDATA[t]]>");
    // No names: the text cannot be outlined.
    QTest::newRow("CDATA never ended")
        << QByteArray("<r><a><![CDATA[ ]] ]></a></r>") << QByteArrayList() << QByteArray();
    QTest::newRow("comment never ended")
        << QByteArray("<r><!-- -- -></r>") << QByteArrayList() << QByteArray();
}

void tst_XmlOutline::sections_endAtTheirMarker() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, names);
    QFETCH(QByteArray, last);
    const std::optional<XmlOutline> outline = XmlOutline::of(text, 3);
    QCOMPARE(outline.has_value(), !names.isEmpty());
    if (!outline)
        return;
    QByteArrayList found;
    for (qint32 i = 0; i < qint32(outline->elements().size()); ++i)
        found.append(outline->name(i).toByteArray());
    QCOMPARE(found, names);
    const XmlOutline::Element &e = outline->elements().back();
    QCOMPARE(text.sliced(e.contentBegin, e.contentEnd - e.contentBegin), last);
}

QTEST_APPLESS_MAIN(tst_XmlOutline)
#include "tst_xmloutline.moc"
