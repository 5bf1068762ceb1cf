#include "xml/PrefixIndex.h"

#include <QTest>

class tst_PrefixIndex : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void usedBy_findsEveryPrefixUsed_data();
    void usedBy_findsEveryPrefixUsed();
};

void tst_PrefixIndex::usedBy_findsEveryPrefixUsed_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("prefixes");

    QTest::newRow("none") << QByteArray("<x a=\"1\">t</x>") << QStringList();
    QTest::newRow("element") << QByteArray("<b:x/>") << QStringList{u"b"_qs};
    QTest::newRow("end tag only counts once") << QByteArray("<b:x>1</b:x>") << QStringList{u"b"_qs};
    QTest::newRow("attribute") << QByteArray("<x c:a=\"1\"/>") << QStringList{u"c"_qs};
    // In the given order, not the order of use.
    QTest::newRow("several") << QByteArray("<c:x><a:y b:z=\"\"/></c:x>")
                             << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("dots and dashes") << QByteArray("<d.e-f:x/>") << QStringList{u"d.e-f"_qs};
    QTest::newRow("non-ASCII") << QByteArray("<\xC3\xA9t\xC3\xA9:x/>") << QStringList{u"été"_qs};
    QTest::newRow("text that looks like one")
        << QByteArray("<x>see a: or http://a</x>") << QStringList{u"a"_qs};
    QTest::newRow("unbound") << QByteArray("<z:x/>") << QStringList();
    QTest::newRow("a longer name ending in one") << QByteArray("<ab:x/>") << QStringList();
    QTest::newRow("bound twice") << QByteArray("<twice:x/>")
                                 << QStringList{u"twice"_qs, u"twice"_qs};
}

void tst_PrefixIndex::usedBy_findsEveryPrefixUsed() {
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, prefixes);
    const PrefixIndex index({{u"a"_qs, u"urn:a"_qs},
                             {u"twice"_qs, u"urn:1"_qs},
                             {u"b"_qs, u"urn:b"_qs},
                             {u"c"_qs, u"urn:c"_qs},
                             {u"d.e-f"_qs, u"urn:d"_qs},
                             {u"été"_qs, u"urn:e"_qs},
                             {QString(), u"urn:default"_qs},
                             {u"twice"_qs, u"urn:2"_qs}});
    QStringList found;
    for (const auto &[prefix, name] : index.usedBy(xml))
        found.append(prefix);
    QCOMPARE(found, prefixes);
}

QTEST_APPLESS_MAIN(tst_PrefixIndex)
#include "tst_prefixindex.moc"
