#include "xml/XmlOutline.h"

#include <QTest>

// Sections whose end marker is looked for byte by byte: what they hold must
// not end them early, nor hide the elements after them.
class tst_XmlOutline : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sections_endAtTheirMarker_data();
    void sections_endAtTheirMarker();
    void leaves_childrenOutlinedOnTheirOwn();
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

void tst_XmlOutline::leaves_childrenOutlinedOnTheirOwn() {
    const QByteArray text("<rss><channel><title>T</title><owner><name>N</name></owner>"
                          "<item><title>a</title><enclosure url=\"u\"/></item><item/>"
                          "<item><![CDATA[<title>x</title>]]><guid>g</guid></item>"
                          "</channel></rss>");
    const std::optional<XmlOutline> outline = XmlOutline::of(text, 3, "item");
    QVERIFY(outline);
    QByteArrayList names;
    std::vector<qint32> items;
    for (qint32 i = 0; i < qint32(outline->elements().size()); ++i) {
        names.append(outline->name(i).toByteArray());
        if (outline->name(i) == "item")
            items.push_back(i);
    }
    // The owner's child is there, no item's child is.
    QCOMPARE(names,
             (QByteArrayList{"rss", "channel", "title", "owner", "name", "item", "item", "item"}));
    QCOMPARE(outline->at(items[0]).firstChild, -1);
    QVERIFY(outline->at(items[1]).isSelfClosing());
    QVERIFY(!outline->at(items[0]).isSelfClosing());

    const auto children = [&](qint32 item) {
        const XmlOutline::Element &e = outline->at(item);
        const std::optional<XmlOutline> own = XmlOutline::ofElement(text, e.begin, e.end);
        QByteArrayList found;
        if (!own)
            return found;
        found.append(own->name(0).toByteArray());
        for (qint32 i = own->at(0).firstChild; i >= 0; i = own->at(i).nextSibling) {
            const XmlOutline::Element &child = own->at(i);
            found.append(own->name(i).toByteArray() + '=' +
                         text.sliced(child.contentBegin, child.contentEnd - child.contentBegin));
        }
        return found;
    };
    QCOMPARE(children(items[0]), (QByteArrayList{"item", "title=a", "enclosure="}));
    QCOMPARE(children(items[1]), QByteArrayList{"item"});
    QCOMPARE(children(items[2]), (QByteArrayList{"item", "guid=g"}));
}

QTEST_APPLESS_MAIN(tst_XmlOutline)
#include "tst_xmloutline.moc"
