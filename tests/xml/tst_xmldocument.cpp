#include "xml/XmlDocument.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

class tst_XmlDocument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selectNodes_matchesQualifiedNamesAsWritten_data();
    void selectNodes_matchesQualifiedNamesAsWritten();
    void text_allCharacterDataTrimmed_data();
    void text_allCharacterDataTrimmed();
    void attributes_documentOrderLocalNamesNoDeclarations();
    void retainedPaths_sameAnswersForWhatIsKept();
    void notWellFormed_failsWithPosition_data();
    void notWellFormed_failsWithPosition();
    void externalEntity_neverRead();
    void deepNesting_loadsWithinLimitRefusedBeyond_data();
    void deepNesting_loadsWithinLimitRefusedBeyond();
    void unreadablePath_fails_data();
    void unreadablePath_fails();
    void otherEncodings_load_data();
    void otherEncodings_load();
    void failedLoad_dropsEarlierContent();
};

namespace {
bool loadBytes(XmlDocument &document, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return document.load(&buffer);
}

QString joinedTexts(const QList<XmlNode> &nodes) {
    QStringList texts;
    for (const XmlNode &node : nodes)
        texts.append(node.text());
    return texts.join(u'|');
}

QByteArray laughs() {
    QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        bomb += "<!ENTITY lol" + QByteArray::number(i) + " \"";
        for (int k = 0; k < 10; ++k)
            bomb += "&lol" + QByteArray::number(i - 1) + ";";
        bomb += "\">";
    }
    return bomb + "]><lolz>&lol9;</lolz>";
}

// Within the parser's limit for one entity, but a million of them.
QByteArray quadraticBlowup() {
    QByteArray text = "<!DOCTYPE rss [<!ENTITY x \"" + QByteArray(4000, 'x') + "\">]><rss><title>";
    text.reserve(text.size() + 3 * 1000000 + 32);
    for (int i = 0; i < 1000000; ++i)
        text += "&x;";
    return text + "</title></rss>";
}
} // namespace

void tst_XmlDocument::selectNodes_matchesQualifiedNamesAsWritten_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("path starts at the root")
        << QByteArray("<feed><channel><title>x</title></channel></feed>")
        << QStringLiteral("rss/channel/title") << QString();
    QTest::newRow("root matched by its own name")
        << QByteArray("<rss><channel><title>x</title></channel></rss>")
        << QStringLiteral("rss/channel/title") << QStringLiteral("x");
    QTest::newRow("prefix as written, not the namespace")
        << QByteArray(R"(<rss xmlns:it="http://www.itunes.com/dtds/podcast-1.0.dtd">)"
                      "<it:author>A</it:author></rss>")
        << QStringLiteral("rss/itunes:author") << QString();
    QTest::newRow("other prefix found by its own name")
        << QByteArray(R"(<rss xmlns:it="u"><it:author>A</it:author></rss>)")
        << QStringLiteral("rss/it:author") << QStringLiteral("A");
    QTest::newRow("itunes prefix bound to any URI")
        << QByteArray(R"(<rss xmlns:itunes="urn:other"><itunes:author>A</itunes:author></rss>)")
        << QStringLiteral("rss/itunes:author") << QStringLiteral("A");
    QTest::newRow("default namespace leaves the name bare")
        << QByteArray(R"(<rss xmlns="urn:x"><title>a</title></rss>)") << QStringLiteral("rss/title")
        << QStringLiteral("a");
    QTest::newRow("case-sensitive")
        << QByteArray("<rss><Title>a</Title></rss>") << QStringLiteral("rss/title") << QString();
    QTest::newRow("children only, in document order")
        << QByteArray("<r><a>1</a><b><a>x</a></b><a>2</a></r>") << QStringLiteral("r/a")
        << QStringLiteral("1|2");
    QTest::newRow("every branch searched")
        << QByteArray("<r><c><i>1</i></c><c><i>2</i><i>3</i></c></r>") << QStringLiteral("r/c/i")
        << QStringLiteral("1|2|3");
}

void tst_XmlDocument::selectNodes_matchesQualifiedNamesAsWritten() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    XmlDocument document;
    QVERIFY2(loadBytes(document, xml), qPrintable(document.errorString()));
    QCOMPARE(joinedTexts(document.selectNodes(path)), expected);
    const XmlNode first = document.selectSingleNode(path);
    QCOMPARE(first.isNull(), expected.isEmpty());
    if (!first.isNull())
        QCOMPARE(first.text(), expected.section(u'|', 0, 0));
}

void tst_XmlDocument::text_allCharacterDataTrimmed_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");

    QTest::newRow("entity references replaced")
        << QByteArray("<a>Tom &amp; Jerry &lt;3 &#233;&#x20AC;</a>")
        << QStringLiteral("Tom & Jerry <3 é€");
    QTest::newRow("CDATA included")
        << QByteArray("<a>x <![CDATA[<b>&amp;</b>]]> y</a>") << QStringLiteral("x <b>&amp;</b> y");
    QTest::newRow("descendants included, no markup")
        << QByteArray("<a>one <b>two <c>three</c></b> four</a>")
        << QStringLiteral("one two three four");
    QTest::newRow("leading line break and indentation removed")
        << QByteArray("<a>\r\n      Text\t \r\n  </a>") << QStringLiteral("Text");
    QTest::newRow("inner line breaks kept, CR LF read as LF")
        << QByteArray("<a>one\r\ntwo</a>") << QStringLiteral("one\ntwo");
    QTest::newRow("no-break space is not XML white space")
        << QByteArray("<a>\xc2\xa0x\xc2\xa0</a>") << QStringLiteral("\u00a0x\u00a0");
    QTest::newRow("internal entity expanded")
        << QByteArray("<!DOCTYPE a [<!ENTITY who \"Brindlewood\">]><a>by &who;</a>")
        << QStringLiteral("by Brindlewood");
    QTest::newRow("comments and instructions are not text")
        << QByteArray("<a>x<!-- no --><?pi no?>y</a>") << QStringLiteral("xy");
    QTest::newRow("empty element") << QByteArray("<a/>") << QString();
}

void tst_XmlDocument::text_allCharacterDataTrimmed() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);
    XmlDocument document;
    QVERIFY2(loadBytes(document, xml), qPrintable(document.errorString()));
    QCOMPARE(document.documentElement().text(), expected);

    // The same answer when only the element is kept.
    XmlDocument retained;
    retained.setRetainedPaths({QStringLiteral("a")});
    QVERIFY(loadBytes(retained, xml));
    QCOMPARE(retained.selectSingleNode(u"a").text(), expected);
}

void tst_XmlDocument::attributes_documentOrderLocalNamesNoDeclarations() {
    XmlDocument document;
    QVERIFY(loadBytes(document,
                      R"(<rss xmlns:itunes="u1"><itunes:category xmlns:itunes="u2" )"
                      R"(z="1" xmlns:p="u3" p:url="two" text="Arts &amp; Crafts"/></rss>)"));
    const XmlNode category = document.selectSingleNode(u"rss/itunes:category");
    QVERIFY(!category.isNull());
    QCOMPARE(category.name(), QStringLiteral("itunes:category"));
    const QList<XmlAttribute> attributes = category.attributes();
    QCOMPARE(attributes.size(), 3);
    QCOMPARE(category.attributeCount(), 3);
    QCOMPARE(attributes[0].baseName, QStringLiteral("z"));
    QCOMPARE(attributes[1].baseName, QStringLiteral("url"));
    QCOMPARE(attributes[1].text, QStringLiteral("two"));
    QCOMPARE(attributes[2].baseName, QStringLiteral("text"));
    QCOMPARE(attributes[2].text, QStringLiteral("Arts & Crafts"));
}

void tst_XmlDocument::retainedPaths_sameAnswersForWhatIsKept() {
    const QByteArray xml = "<rss><channel><title>T</title><junk><title>no</title></junk>"
                           "<item><title> A </title><x>skip</x></item><item><title>B</title>"
                           "<enclosure url=\"u\"/></item></channel></rss>";
    XmlDocument all;
    XmlDocument kept;
    kept.setRetainedPaths({QStringLiteral("rss/channel/title"),
                           QStringLiteral("rss/channel/item/title"),
                           QStringLiteral("rss/channel/item/enclosure")});
    QVERIFY(loadBytes(all, xml));
    QVERIFY(loadBytes(kept, xml));
    for (XmlDocument *document : {&all, &kept}) {
        QCOMPARE(document->selectSingleNode(u"rss/channel/title").text(), QStringLiteral("T"));
        const QList<XmlNode> items = document->selectNodes(u"rss/channel/item");
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].selectSingleNode(u"title").text(), QStringLiteral("A"));
        QCOMPARE(items[1].selectSingleNode(u"enclosure").attributes().value(0).text,
                 QStringLiteral("u"));
    }
    QVERIFY(kept.selectSingleNode(u"rss/channel/junk").isNull());
    QVERIFY(kept.selectSingleNode(u"rss/channel/item/x").isNull());
    QCOMPARE(all.selectSingleNode(u"rss/channel/item/x").text(), QStringLiteral("skip"));
}

void tst_XmlDocument::notWellFormed_failsWithPosition_data() {
    QTest::addColumn<QByteArray>("xml");

    QTest::newRow("bare ampersand") << QByteArray("<rss><title>a & b</title></rss>");
    QTest::newRow("truncated") << QByteArray("<rss><channel><title>a</title>");
    QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QTest::newRow("NUL byte in text") << QByteArray("<rss><title>a\0b</title></rss>", 30);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("undeclared prefix") << QByteArray("<rss><itunes:image href=\"x\"/></rss>");
    QTest::newRow("entity bomb") << laughs();
    QTest::newRow("quadratic blow-up") << quadraticBlowup();
    // Past the first chunks the reader takes in, so the end is checked too.
    QTest::newRow("garbage far after the root") << QByteArray(
        "<rss>" + QByteArray(200000, 'x') + "</rss>" + QByteArray(100000, ' ') + "<junk/>");
    QTest::newRow("second root") << QByteArray("<rss/><rss/>");
}

void tst_XmlDocument::notWellFormed_failsWithPosition() {
    QFETCH(QByteArray, xml);
    XmlDocument document;
    QVERIFY(!loadBytes(document, xml));
    QVERIFY(document.documentElement().isNull());
    QVERIFY2(document.errorString().contains(QStringLiteral("line")),
             qPrintable(document.errorString()));
    QVERIFY(document.errorString().contains(QStringLiteral("column")));
    QCOMPARE(XmlDocument::checkWellFormed(xml).isEmpty(), false);
}

void tst_XmlDocument::externalEntity_neverRead() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString secretPath = dir.filePath(QStringLiteral("secret.txt"));
    QFile secret(secretPath);
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("TOP-SECRET-MARKER");
    secret.close();

    const QByteArray url = QUrl::fromLocalFile(secretPath).toEncoded();
    const QByteArray xml = "<!DOCTYPE rss [<!ENTITY path SYSTEM \"" + secretPath.toUtf8() +
                           "\"><!ENTITY url SYSTEM \"" + url +
                           "\">]><rss><title>a&path;b&url;c</title></rss>";
    XmlDocument document;
    if (loadBytes(document, xml)) {
        const QString title = document.selectSingleNode(u"rss/title").text();
        QVERIFY(!title.contains(QStringLiteral("MARKER")));
        QCOMPARE(title, QStringLiteral("abc"));
    }
    const QByteArray parameter =
        "<!DOCTYPE rss [<!ENTITY % p SYSTEM \"" + url + "\"> %p;]><rss><title>t</title></rss>";
    XmlDocument second;
    if (loadBytes(second, parameter))
        QVERIFY(!second.documentElement().text().contains(QStringLiteral("MARKER")));
}

void tst_XmlDocument::deepNesting_loadsWithinLimitRefusedBeyond_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("loads");
    QTest::newRow("200 deep") << 200 << true << true;
    QTest::newRow("100,000 deep") << 100000 << true << false;
    QTest::newRow("10 million deep, never closed") << 10000000 << false << false;
}

void tst_XmlDocument::deepNesting_loadsWithinLimitRefusedBeyond() {
    QFETCH(int, depth);
    QFETCH(bool, closed);
    QFETCH(bool, loads);
    QByteArray xml;
    xml.reserve(qsizetype(depth) * 7 + 16);
    for (int i = 0; i < depth; ++i)
        xml += "<a>";
    xml += "deep";
    for (int i = 0; closed && i < depth; ++i)
        xml += "</a>";
    XmlDocument document;
    QCOMPARE(loadBytes(document, xml), loads);
    if (loads) {
        QCOMPARE(document.documentElement().text(), QStringLiteral("deep"));
        QCOMPARE(document.selectNodes(u"a/a/a").size(), 1);
    } else {
        QVERIFY2(document.errorString().contains(QStringLiteral("depth")),
                 qPrintable(document.errorString()));
        QVERIFY(document.documentElement().isNull());
    }
}

void tst_XmlDocument::unreadablePath_fails_data() {
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing file") << QStringLiteral("missing.xml");
    QTest::newRow("folder") << QStringLiteral("folder.xml");
    QTest::newRow("under a missing folder") << QStringLiteral("nowhere/Podcast.xml");
}

void tst_XmlDocument::unreadablePath_fails() {
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.xml")));
    XmlDocument document;
    QVERIFY(!document.load(dir.filePath(relative)));
    QVERIFY(!document.errorString().isEmpty());
}

void tst_XmlDocument::otherEncodings_load_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ISO-8859-1")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caf\xe9 \xa9</a>")
        << QStringLiteral("Café ©");
    QTest::newRow("windows-1252") << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                                                "<a>\x93"
                                                "Caf\xe9\x94 \x80 5 \x96 6</a>")
                                  << QStringLiteral("“Café” € 5 – 6");
    QTest::newRow("UTF-16 with byte-order mark")
        << QByteArray("\xff\xfe<\0a\0>\0\xe9\0<\0/\0a\0>\0", 18) << QStringLiteral("é");
    QTest::newRow("UTF-8 with byte-order mark")
        << QByteArray("\xef\xbb\xbf<a>\xc3\xa9</a>") << QStringLiteral("é");
}

void tst_XmlDocument::otherEncodings_load() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);
    XmlDocument document;
    QVERIFY2(loadBytes(document, xml), qPrintable(document.errorString()));
    QCOMPARE(document.documentElement().text(), expected);
}

void tst_XmlDocument::failedLoad_dropsEarlierContent() {
    XmlDocument document;
    QVERIFY(loadBytes(document, "<rss><title>x</title></rss>"));
    QVERIFY(!loadBytes(document, "<rss><title>x</title>"));
    QVERIFY(document.selectSingleNode(u"rss/title").isNull());
}

QTEST_APPLESS_MAIN(tst_XmlDocument)
#include "tst_xmldocument.moc"
