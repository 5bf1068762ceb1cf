#include "xml/XmlDocument.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QTest>

// Inputs that are large or unusual in shape rather than broken: many
// prefixes, long CDATA sections. Each either loads whole and can be written
// back and checked again, or fails with a reason that says why.
class tst_XmlLimits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void redeclaredPrefixes_renamedInOrder_data();
    void redeclaredPrefixes_renamedInOrder();
    void longCdata_loadsWholeAndChecksAgain_data();
    void longCdata_loadsWholeAndChecksAgain();
    void errorAfterLongCdata_columnAsWritten();
    void namespaceCounts_loadWithinLimitsFailBeyond_data();
    void namespaceCounts_loadWithinLimitsFailBeyond();
    void checkFragment_declaresOnlyWhatItUses();
    void defaultNamespace_sameUnderManyPrefixes_data();
    void defaultNamespace_sameUnderManyPrefixes();
};

namespace {
bool loadBytes(XmlDocument &document, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return document.load(&buffer);
}

QByteArray digest(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// `count` items, the item n binding `prefix` (numbered when `numbered`) to
// its own namespace and using it.
QByteArray itemsBinding(int count, const QByteArray &prefix, bool numbered,
                        const QByteArray &uriTail = {}) {
    QByteArray xml = "<rss><channel>";
    for (int n = 0; n < count; ++n) {
        const QByteArray p = numbered ? prefix + QByteArray::number(n) : prefix;
        xml += "<item xmlns:" + p + "=\"urn:n:" + QByteArray::number(n) + uriTail + "\"><" + p +
               ":x>" + QByteArray::number(n) + "</" + p + ":x></item>";
    }
    return xml + "</channel></rss>";
}

// Elements nested `depth` deep, each declaring `count` prefixes.
QByteArray nestedDeclarations(int depth, int count) {
    QByteArray xml;
    for (int level = 0; level < depth; ++level) {
        xml += "<w";
        for (int i = 0; i < count; ++i)
            xml += " xmlns:q" + QByteArray::number(level) + '_' + QByteArray::number(i) +
                   "=\"u:" + QByteArray::number(i) + '"';
        xml += '>';
    }
    xml += "<z/>";
    for (int level = 0; level < depth; ++level)
        xml += "</w>";
    return xml;
}

// Content of `size` bytes with a ']' at every 64 KB boundary, where input
// is handed to the parser in chunks.
QByteArray bracketsAtChunkEnds(qsizetype size) {
    QByteArray content(size, 'b');
    for (qsizetype at = 0; at < size; at += 65536) {
        content[at] = ']';
        if (at > 0)
            content[at - 1] = ']';
    }
    return content;
}
} // namespace

void tst_XmlLimits::redeclaredPrefixes_renamedInOrder_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<XmlDocument::Namespaces>("given");
    QTest::addColumn<XmlDocument::Namespaces>("expected");
    QTest::addColumn<QString>("lastParent");
    QTest::addColumn<QByteArray>("lastName");

    XmlDocument::Namespaces renamed;
    for (int n = 0; n < 2000; ++n)
        renamed.append({n == 0 ? u"p"_qs : u"p"_qs + QString::number(n + 1),
                        u"urn:n:"_qs + QString::number(n)});
    QTest::newRow("one prefix bound anew in 2,000 items")
        << itemsBinding(2000, "p", false) << XmlDocument::Namespaces() << renamed
        << u"rss/channel/item"_qs << QByteArray("p2000:x");

    // Numbers taken by the given bindings, or by the input itself, are skipped.
    const XmlDocument::Namespaces given{{u"p"_qs, u"urn:given"_qs}, {u"p3"_qs, u"urn:other"_qs}};
    QTest::newRow("numbers already taken")
        << QByteArray("<r><a xmlns:p=\"urn:1\"><p:x/></a><a xmlns:p=\"urn:2\"><p:x/></a>"
                      "<a xmlns:p2=\"urn:3\"><p2:x/></a><a xmlns:p=\"urn:given\"><p:x/></a></r>")
        << given
        << (given + XmlDocument::Namespaces{{u"p2"_qs, u"urn:1"_qs},
                                            {u"p4"_qs, u"urn:2"_qs},
                                            {u"p22"_qs, u"urn:3"_qs}})
        << u"r/a"_qs << QByteArray("p:x");
}

void tst_XmlLimits::redeclaredPrefixes_renamedInOrder() {
    QFETCH(QByteArray, xml);
    QFETCH(XmlDocument::Namespaces, given);
    QFETCH(XmlDocument::Namespaces, expected);
    XmlDocument document;
    document.setNamespaces(given);
    QVERIFY2(loadBytes(document, xml), qPrintable(document.errorString()));
    QCOMPARE(document.namespaces(), expected);
    // The last element is written with the prefix its namespace got.
    QFETCH(QString, lastParent);
    QFETCH(QByteArray, lastName);
    const XmlNode last = document.selectNodes(lastParent).last().childNodes().first();
    QCOMPARE(last.outputName(), lastName);
}

void tst_XmlLimits::longCdata_loadsWholeAndChecksAgain_data() {
    QTest::addColumn<QByteArrayList>("sections");

    const qsizetype MB = 1024 * 1024;
    QTest::newRow("three adjacent 4 MB sections") << QByteArrayList{
        QByteArray(4 * MB, 'a'), QByteArray(4 * MB, 'b'), QByteArray(4 * MB, 'c')};
    QTest::newRow("one 12 MB section") << QByteArrayList{QByteArray(12 * MB, 's')};
    QTest::newRow("']' at every chunk boundary") << QByteArrayList{bracketsAtChunkEnds(11 * MB)};
    // Two bytes a character, so chunk boundaries fall inside characters.
    QTest::newRow("two-byte characters")
        << QByteArrayList{QByteArray("\xC3\xA9").repeated(6 * MB) + "x"};
    QTest::newRow("markup-like content")
        << QByteArrayList{QByteArray("<p>a &amp; ]] > b</p>\n").repeated(600'000)};
}

void tst_XmlLimits::longCdata_loadsWholeAndChecksAgain() {
    QFETCH(QByteArrayList, sections);
    QByteArray xml = "<rss><d>";
    QByteArray content;
    for (const QByteArray &section : std::as_const(sections)) {
        xml += "<![CDATA[" + section + "]]>";
        content += section;
    }
    xml += "</d><e>after</e></rss>";

    XmlDocument document;
    QVERIFY2(loadBytes(document, xml), qPrintable(document.errorString()));
    const XmlNode d = document.selectSingleNode(u"rss/d");
    QVERIFY(d.hasOwnText());
    // One section again, holding every byte in order.
    const QByteArray inner = d.innerXml();
    QVERIFY(inner.startsWith("<![CDATA[") && inner.endsWith("]]>"));
    QCOMPARE(inner.count("<![CDATA["), 1);
    QCOMPARE(inner.size(), content.size() + 12);
    QCOMPARE(digest(QByteArrayView(inner).sliced(9, content.size())), digest(content));
    QCOMPARE(document.selectSingleNode(u"rss/e").text(), u"after"_qs);
    // What is written back passes the same check the save makes.
    const QString error = XmlDocument::checkWellFormed(document.documentElement().outerXml());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void tst_XmlLimits::errorAfterLongCdata_columnAsWritten() {
    // The column counts the input as written, whatever the parser was fed.
    const QByteArray cdata = "<a><![CDATA[" + QByteArray(600'000, 'x') + "]]></b>";
    const QByteArray text = "<a>" + QByteArray(600'012, 'x') + "</b>";
    const QString error = XmlDocument::checkWellFormed(cdata);
    QVERIFY(error.endsWith(u"(line 1, column 600020)"_qs));
    QCOMPARE(error, XmlDocument::checkWellFormed(text));
}

void tst_XmlLimits::namespaceCounts_loadWithinLimitsFailBeyond_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("error");

    const int most = int(XmlDocument::MaxNamespaceWeight);
    QTest::newRow("as many prefixes as a root can declare")
        << itemsBinding(most, "p", true) << QString();
    QTest::newRow("one prefix more")
        << itemsBinding(most + 1, "p", true)
        << QStringLiteral("Too many namespace prefixes: declared on one element they would make "
                          "more than %1 attributes")
               .arg(most);
    // The input guard counts every '=' in a tag, in values too.
    QTest::newRow("'=' in namespace names") << itemsBinding(most / 2 + 1, "p", true, "?a=b")
                                            << QStringLiteral("Too many namespace prefixes");
    QTest::newRow("6,000 declarations in scope") << nestedDeclarations(2, 3000) << QString();
    QTest::newRow("6,001 declarations in scope")
        << "<v xmlns:x=\"u\">" + nestedDeclarations(2, 3000) + "</v>"
        << QStringLiteral("More than 6000 namespace declarations in scope (line 1, column ");
}

void tst_XmlLimits::namespaceCounts_loadWithinLimitsFailBeyond() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, error);
    XmlDocument document;
    const bool loaded = loadBytes(document, xml);
    QVERIFY2(loaded == error.isEmpty(), qPrintable(document.errorString()));
    QVERIFY2(document.errorString().startsWith(error), qPrintable(document.errorString()));
    if (!loaded)
        return;
    // All bindings on one element, beside two more attributes, as a save
    // writes its root: the save's own check takes it.
    QByteArray root = "<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"";
    for (const auto &[prefix, name] : document.namespaces())
        root += " xmlns:" + prefix.toUtf8() + "=\"" + name.toUtf8() + '"';
    root += " version=\"2.0\"/>";
    const QString saved = XmlDocument::checkWellFormed(root);
    QVERIFY2(saved.isEmpty(), qPrintable(saved));
}

void tst_XmlLimits::checkFragment_declaresOnlyWhatItUses() {
    XmlDocument::Namespaces declared;
    for (int n = 0; n < 20000; ++n)
        declared.append({u"p"_qs + QString::number(n), u"urn:"_qs + QString::number(n)});
    QCOMPARE(XmlDocument::checkFragment("<p19999:x p7:a=\"1\">text: p5</p19999:x>", declared),
             QString());
    QVERIFY(!XmlDocument::checkFragment("<q:x/>", declared).isEmpty());
}

void tst_XmlLimits::defaultNamespace_sameUnderManyPrefixes_data() {
    // '@' stands where the root's other declarations go.
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no default") << QByteArray("<r @><a><b/></a></r>")
                                << QByteArray("<r><a><b /></a></r>");
    QTest::newRow("default declared first") << QByteArray("<r xmlns=\"urn:d\" @><a/></r>")
                                            << QByteArray("<r xmlns=\"urn:d\"><a /></r>");
    QTest::newRow("default declared last") << QByteArray("<r @ xmlns=\"urn:d\"><a/></r>")
                                           << QByteArray("<r xmlns=\"urn:d\"><a /></r>");
    QTest::newRow("default taken away inside")
        << QByteArray("<r xmlns=\"urn:d\" @><a xmlns=\"\"><b/></a><c/></r>")
        << QByteArray("<r xmlns=\"urn:d\"><a xmlns=\"\"><b /></a><c /></r>");
    QTest::newRow("default given inside") << QByteArray("<r @><a xmlns=\"urn:e\"><b/></a><c/></r>")
                                          << QByteArray("<r><a xmlns=\"urn:e\"><b /></a><c /></r>");
    QTest::newRow("under a prefixed element")
        << QByteArray("<r xmlns=\"urn:d\" @><p3:x><y/></p3:x></r>")
        << QByteArray("<r xmlns=\"urn:d\"><p3:x><y /></p3:x></r>");
    QTest::newRow("prefixed root")
        << QByteArray("<p1:r @><a/></p1:r>") << QByteArray("<p1:r><a /></p1:r>");
}

void tst_XmlLimits::defaultNamespace_sameUnderManyPrefixes() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    for (const int count : {5, 40, 5000}) {
        QByteArray declarations;
        for (int n = 0; n < count; ++n)
            declarations +=
                " xmlns:p" + QByteArray::number(n) + "=\"urn:" + QByteArray::number(n) + '"';
        XmlDocument document;
        QVERIFY2(loadBytes(document, QByteArray(xml).replace(" @", declarations)),
                 qPrintable(document.errorString()));
        QCOMPARE(document.documentElement().outerXml(), expected);
    }
}

QTEST_APPLESS_MAIN(tst_XmlLimits)
#include "tst_xmllimits.moc"
