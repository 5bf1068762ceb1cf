#include "xml/XmlDocument.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class tst_XmlDocument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selectNodes_matchesQualifiedNamesAsWritten_data();
    void selectNodes_matchesQualifiedNamesAsWritten();
    void childNodes_intoRoomGivesTheSameNodes_data();
    void childNodes_intoRoomGivesTheSameNodes();
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
    void growthBombs_failWhateverTheEncoding_data();
    void growthBombs_failWhateverTheEncoding();
    void manyAttributes_countedOnCharacters_data();
    void manyAttributes_countedOnCharacters();
    void undecodableInput_refusedWhereItStands_data();
    void undecodableInput_refusedWhereItStands();
    void endsOfTheDocument_faultNamed_data();
    void endsOfTheDocument_faultNamed();
    void externalDtd_htmlNamesResolvedOthersRefused_data();
    void externalDtd_htmlNamesResolvedOthersRefused();
    void checkWellFormed_agreesWithXmllint_data();
    void checkWellFormed_agreesWithXmllint();
    void fifo_refusedWithoutWaiting();
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
// Every character after the declaration in one base64 run, as UTF-7 allows:
// not one '<', '&' or '=' is left as a byte.
QByteArray utf7(const QByteArray &utf8Body) {
    const QString text = QString::fromUtf8(utf8Body);
    QByteArray utf16;
    for (const QChar c : text) {
        utf16 += char(c.unicode() >> 8);
        utf16 += char(c.unicode() & 0xFF);
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-7\"?>+" +
           utf16.toBase64(QByteArray::OmitTrailingEquals) + "-";
}

QByteArray utf16le(const QByteArray &utf8) {
    const QString text = QString::fromUtf8(utf8);
    return "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// 45 lines before, then `line46`, then the end of the document.
QByteArray fortySixLines(const QByteArray &declaration, const QByteArray &line46) {
    QByteArray xml = declaration + "\n<rss>\n<channel>\n";
    for (int line = 4; line <= 45; ++line)
        xml += "<!-- line " + QByteArray::number(line) + " -->\n";
    return xml + line46 + "\n</channel></rss>\n";
}

QByteArray withAttributes(int count, const QByteArray &value) {
    QByteArray tag = "<x";
    tag.reserve(count * (value.size() + 12));
    for (int i = 0; i < count; ++i)
        tag += " a" + QByteArray::number(i) + "=\"" + value + "\"";
    return "<rss>" + tag + "/></rss>";
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

void tst_XmlDocument::childNodes_intoRoomGivesTheSameNodes_data() {
    QTest::addColumn<int>("children");
    QTest::addColumn<int>("room");
    QTest::newRow("none") << 0 << 4;
    QTest::newRow("fewer than the room") << 3 << 24;
    QTest::newRow("as many as the room") << 24 << 24;
    QTest::newRow("more than the room") << 30 << 24;
    QTest::newRow("no room, only counted") << 5 << 0;
}

void tst_XmlDocument::childNodes_intoRoomGivesTheSameNodes() {
    QFETCH(int, children);
    QFETCH(int, room);
    // Elements with their own children and a comment among them: the count
    // hops over each child's subtree.
    QByteArray xml = "<rss><item>";
    for (int i = 0; i < children; ++i)
        xml += i % 3 == 2 ? QByteArray("<!-- c -->") : "<e><f/></e>";
    xml += "</item></rss>";
    XmlDocument document;
    QVERIFY2(loadBytes(document, xml), qPrintable(document.errorString()));
    const XmlNode item = document.selectSingleNode(u"rss/item");
    const QList<XmlNode> expected = item.childNodes();
    QCOMPARE(expected.size(), children);
    std::vector<XmlNode> into(size_t(room) + 1);
    QCOMPARE(item.childNodes(into.data(), room), qsizetype(children));
    for (int i = 0; i < std::min(room, children); ++i)
        QCOMPARE(into[size_t(i)], expected[i]);
    // Nothing is written past the room.
    QVERIFY(into[size_t(room)].isNull());
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
    // Found by fuzzing: libxml2 reported the encoding before the parser knew us.
    QTest::newRow("UCS-4 in byte order 2143") << QByteArray("\0<\0\0", 4);
    QTest::newRow("UCS-4 in byte order 2143, longer") << QByteArray("\0<\0\0\0\0", 6);
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

void tst_XmlDocument::growthBombs_failWhateverTheEncoding_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("reason");

    QByteArray big = "<!DOCTYPE rss [<!ENTITY big \"" + QByteArray(100000, 'q') + "\">]><rss>";
    big += QByteArray("&big;").repeated(100000) + "</rss>";
    QTest::newRow("entity blow-up declared UTF-7") << utf7(big) << QStringLiteral("Entities");
    QTest::newRow("billion laughs declared UTF-7")
        << utf7(laughs().sliced(laughs().indexOf("?>") + 2)) << QStringLiteral("entity");
    QTest::newRow("entity blow-up in UTF-16") << utf16le(big) << QStringLiteral("Entities");

    // No text at all: ten thousand empty elements, used a hundred thousand times.
    const QByteArray elements = "<!DOCTYPE rss [<!ENTITY e \"" +
                                QByteArray("<a/>").repeated(10000) + "\">]><rss>" +
                                QByteArray("&e;").repeated(100000) + "</rss>";
    QTest::newRow("entity of elements") << elements << QStringLiteral("Entities");

    // A hundred long defaults copied onto 270,000 elements: 1.9 MB of file.
    QByteArray defaults = "<!DOCTYPE rss [<!ATTLIST item";
    for (int i = 0; i < 100; ++i)
        defaults += " a" + QByteArray::number(i) + " CDATA \"" + QByteArray(1000, 'd') + "\"";
    defaults += ">]><rss>" + QByteArray("<item/>").repeated(270000) + "</rss>";
    QTest::newRow("DTD default attributes on many elements")
        << defaults << QStringLiteral("DTD default attributes");
}

void tst_XmlDocument::growthBombs_failWhateverTheEncoding() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, reason);
    XmlDocument document;
    QVERIFY(!loadBytes(document, xml));
    QVERIFY2(document.errorString().contains(reason), qPrintable(document.errorString()));
    QVERIFY(!XmlDocument::checkWellFormed(xml).isEmpty());
}

void tst_XmlDocument::manyAttributes_countedOnCharacters_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("given"); // attributes written on the element

    QTest::newRow("10,000 attributes") << withAttributes(10000, "v") << true << 10000;
    QTest::newRow("10,000 attributes in UTF-16")
        << utf16le(withAttributes(10000, "\xE3\xB8\xBE")) << true << 10000;
    QTest::newRow("100,000 attributes") << withAttributes(100000, "v") << false << 0;
    // U+3E3E: every value holds a '>' byte that ends no tag.
    QTest::newRow("100,000 attributes in UTF-16, '>' bytes inside characters")
        << utf16le(withAttributes(100000, "\xE3\xB8\xBE")) << false << 0;
    QTest::newRow("100,000 attributes in UTF-7, no '=' byte")
        << utf7(withAttributes(100000, "v")) << false << 0;

    // Declared in the DTD, defaults are checked against the element's own
    // attributes one by one.
    const auto declared = [](int count, bool split) {
        QByteArray dtd = "<!DOCTYPE rss [";
        for (int i = 0; i < count; ++i) {
            if (split || i == 0)
                dtd += "<!ATTLIST x";
            dtd += " a" + QByteArray::number(i) + " CDATA \"v\"";
            if (split || i == count - 1)
                dtd += ">";
        }
        return dtd + "]><rss><x b=\"1\"/></rss>";
    };
    QTest::newRow("10,000 defaults declared") << declared(10000, false) << true << 1;
    QTest::newRow("100,000 defaults declared") << declared(100000, false) << false << 0;
    QTest::newRow("100,000 defaults declared one by one") << declared(100000, true) << false << 0;
}

void tst_XmlDocument::manyAttributes_countedOnCharacters() {
    QFETCH(QByteArray, xml);
    QFETCH(bool, loads);
    QFETCH(int, given);
    XmlDocument document;
    QCOMPARE(loadBytes(document, xml), loads);
    if (loads) {
        QCOMPARE(document.selectSingleNode(u"rss/x").attributeCount(), given);
    } else {
        QVERIFY2(document.errorString().startsWith(
                     QStringLiteral("An element has more than 10000 attributes")),
                 qPrintable(document.errorString()));
    }
}

void tst_XmlDocument::undecodableInput_refusedWhereItStands_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("error");

    QTest::newRow("us-ascii with byte 0xE9")
        << QByteArray(
               "<?xml version=\"1.0\" encoding=\"us-ascii\"?>\n<rss><title>caf\xE9</title></rss>")
        << QStringLiteral(
               "Byte 0xE9 is not a character in the encoding US-ASCII (line 2, column 16)");
    QByteArray surrogate = utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<rss>caf@</rss>");
    surrogate.replace(QByteArray("@\0", 2), QByteArray("\0\xD8", 2));
    QTest::newRow("lone surrogate in UTF-16")
        << surrogate
        << QStringLiteral(
               "Bytes 0x00 0xD8 are not a character in the encoding UTF-16LE (line 2, column 9)");
    QTest::newRow("invalid UTF-8 on line 46")
        << fortySixLines("<?xml version=\"1.0\"?>", "  <title>caf\xE9x</title>")
        << QStringLiteral("Input is not proper UTF-8, indicate encoding ! Bytes: 0xE9 0x78 0x3C "
                          "0x2F (line 46, column 13)");
    QTest::newRow("undefined windows-1252 byte on line 46")
        << fortySixLines("<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
                         "  <title>caf\x81</title>")
        << QStringLiteral(
               "Byte 0x81 is not a character in the encoding windows-1252 (line 46, column 13)");
    QTest::newRow("broken Shift_JIS pair on line 46")
        << fortySixLines("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
                         "  <title>\x93\xFA\x80x</title>")
        << QStringLiteral(
               "Byte 0x80 is not a character in the encoding Shift_JIS (line 46, column 11)");
    QTest::newRow("control character on line 46, named by its code")
        << fortySixLines("<?xml version=\"1.0\"?>", "  <title>caf\x01</title>")
        << QStringLiteral("PCDATA invalid Char value 1 (U+0001) (line 46, column 13)");
    QTest::newRow("control character on line 46 in windows-1252")
        << fortySixLines("<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
                         "  <title>caf\x01</title>")
        << QStringLiteral("PCDATA invalid Char value 1 (U+0001) (line 46, column 13)");
    QTest::newRow("control character on line 46 in UTF-16")
        << utf16le(fortySixLines("<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
                                 "  <title>caf\x01</title>"))
        << QStringLiteral("PCDATA invalid Char value 1 (U+0001) (line 46, column 13)");
}

void tst_XmlDocument::undecodableInput_refusedWhereItStands() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, error);
    XmlDocument document;
    QVERIFY(!loadBytes(document, xml));
    QCOMPARE(document.errorString(), error);
    QVERIFY(document.documentElement().isNull());
}

void tst_XmlDocument::endsOfTheDocument_faultNamed_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("error");

    const QString noRoot = QStringLiteral("Start tag expected, '<' not found");
    QTest::newRow("no bytes") << QByteArray()
                              << QStringLiteral("Document is empty (line 1, column 1)");
    QTest::newRow("blank lines") << QByteArray("  \r\n\n")
                                 << noRoot + QStringLiteral(" (line 3, column 1)");
    QTest::newRow("plain text") << QByteArray("Show notes\n")
                                << noRoot + QStringLiteral(" (line 1, column 1)");
    QTest::newRow("text after a declaration") << QByteArray("<?xml version=\"1.0\"?>\nShow notes")
                                              << noRoot + QStringLiteral(" (line 2, column 1)");
    QTest::newRow("a declaration alone") << QByteArray("<?xml version=\"1.0\"?>\n")
                                         << noRoot + QStringLiteral(" (line 2, column 1)");
    QTest::newRow("a comment alone") << QByteArray("<?xml version=\"1.0\"?>\n<!-- feed -->\n")
                                     << noRoot + QStringLiteral(" (line 3, column 1)");
    QTest::newRow("cut short in the channel")
        << QByteArray("<rss><channel><title>a</title>")
        << QStringLiteral("Premature end of data in tag channel (line 1, column 31)");
    // Cut where a failed upload stops: far past the first pieces read.
    QByteArray longFeed = "<rss>\n<channel>\n";
    for (int i = 0; i < 3000; ++i)
        longFeed += "<item><title>Episode</title><description>" + QByteArray(40, 'x') +
                    "</description></item>\n";
    longFeed += "<item><title>Last</title>";
    QTest::newRow("cut short in an item, past the first pieces")
        << longFeed << QStringLiteral("Premature end of data in tag item (line 3003, column 26)");
    // Still the fault it is where the root is whole.
    QTest::newRow("a second root")
        << QByteArray("<rss/>\n<rss/>")
        << QStringLiteral("Extra content at the end of the document (line 2, column 1)");
    QTest::newRow("text after the root")
        << QByteArray("<rss/>\nx")
        << QStringLiteral("Extra content at the end of the document (line 2, column 1)");
}

void tst_XmlDocument::endsOfTheDocument_faultNamed() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, error);
    XmlDocument document;
    QVERIFY(!loadBytes(document, xml));
    QCOMPARE(document.errorString(), error);
    // The check before a save says the same.
    QCOMPARE(XmlDocument::checkWellFormed(xml), error);
}

void tst_XmlDocument::externalDtd_htmlNamesResolvedOthersRefused_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("text");
    // Without the external DTD only XML's own names are known.
    QTest::addColumn<bool>("loadsWithoutDtd");

    QTest::newRow("HTML name") << QByteArray("Caf&eacute;") << true << QStringLiteral("Café")
                               << false;
    QTest::newRow("HTML names outside Latin-1") << QByteArray("&ldquo;&euro;&nbsp;5&rdquo;") << true
                                                << QStringLiteral("“€\u00a05”") << false;
    QTest::newRow("in an attribute")
        << QByteArray("<b c=\"&copy;\"/>x") << true << QStringLiteral("x") << false;
    QTest::newRow("XML's own names")
        << QByteArray("&amp;&lt;") << true << QStringLiteral("&<") << true;
    QTest::newRow("undeclared name") << QByteArray("Caf&bogus;") << false << QString() << false;
    QTest::newRow("HTML name in the wrong case")
        << QByteArray("&EACUTE;") << false << QString() << false;
}

void tst_XmlDocument::externalDtd_htmlNamesResolvedOthersRefused() {
    QFETCH(QByteArray, body);
    QFETCH(bool, loads);
    QFETCH(QString, text);
    QFETCH(bool, loadsWithoutDtd);
    const QByteArray xml =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS "
        "0.91//EN\" \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n"
        "<rss version=\"0.91\"><title>" +
        body + "</title></rss>";
    XmlDocument document;
    QCOMPARE(loadBytes(document, xml), loads);
    if (loads) {
        QCOMPARE(document.selectSingleNode(u"rss/title").text(), text);
    } else {
        QVERIFY2(document.errorString().contains(QStringLiteral("not defined")),
                 qPrintable(document.errorString()));
    }
    QCOMPARE(XmlDocument::checkWellFormed(xml).isEmpty(), loads);
    XmlDocument plain;
    QCOMPARE(loadBytes(plain, "<rss><title>" + body + "</title></rss>"), loadsWithoutDtd);
}

void tst_XmlDocument::checkWellFormed_agreesWithXmllint_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("wellFormed");

    const auto row = [](const char *name, const QByteArray &xml, bool wellFormed) {
        QTest::newRow(name) << xml << wellFormed;
    };
    row("plain", "<a>x</a>", true);
    row("DOCTYPE inside element content", "<rss><title>x</title><!DOCTYPE rss></rss>", false);
    row("DOCTYPE after the root", "<a/><!DOCTYPE a>", false);
    row("attribute name starting with a digit", "<a 1b=\"x\"/>", false);
    row("attribute name with '!'", "<a b!c=\"x\"/>", false);
    row("attribute name with a no-break space",
        "<a b\xC2\xA0"
        "c=\"x\"/>",
        false);
    row("attribute name with a non-ASCII letter", "<a caf\xC3\xA9=\"x\"/>", true);
    row("attribute with two colons", "<a xmlns:b=\"u\" b:c:d=\"x\"/>", false);
    row("undeclared attribute prefix", "<a b:c=\"1\"/>", false);
    row("undeclared element prefix", "<a><x:b/></a>", false);
    row("empty namespace for a prefix", "<a xmlns:x=\"\"/>", false);
    row("empty default namespace", "<a xmlns=\"\">x</a>", true);
    row("same attribute twice", "<a b=\"1\" b=\"2\"/>", false);
    row("same attribute through two prefixes",
        "<a x:b=\"1\" y:b=\"2\" xmlns:x=\"u\" xmlns:y=\"u\"/>", false);
    row("xml prefix rebound", "<a xmlns:xml=\"urn:wrong\"/>", false);
    row("xml:lang", "<a xml:lang=\"en\"/>", true);
    row("'<' in an attribute value", "<a b=\"<\"/>", false);
    row("']]>' in text", "<a>]]></a>", false);
    row("'>' in text", "<a>></a>", true);
    row("NUL by reference", "<a>&#0;</a>", false);
    row("surrogate by reference", "<a>&#xD800;</a>", false);
    row("U+FFFE", "<a>\xEF\xBF\xBE</a>", false);
    row("astral character", "<a>\xF0\x9F\x8E\x99 &#x1F399;</a>", true);
    row("'--' inside a comment", "<a><!-- a -- b --></a>", false);
    row("second XML declaration", "<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>", false);
    row("declaration after white space", " <?xml version=\"1.0\"?><a/>", false);
    row("version 1.1", "<?xml version=\"1.1\"?><a/>", true);
    row("version 2.0", "<?xml version=\"2.0\"?><a/>", false);
    row("stylesheet instruction", "<?xml-stylesheet href=\"s.css\"?><a/>", true);
    row("undeclared entity", "<a>&e;</a>", false);
    row("entity with an unbalanced element", "<!DOCTYPE a [<!ENTITY e \"<b>\">]><a>&e;</a>", false);
    row("declared entity", "<!DOCTYPE a [<!ENTITY e \"<b/>\">]><a>&e;</a>", true);
    row("undeclared entity, standalone with an external DTD",
        "<?xml version=\"1.0\" standalone=\"yes\"?><!DOCTYPE a SYSTEM \"x.dtd\"><a>&e;</a>", false);
    row("undeclared entity with an external DTD", "<!DOCTYPE a SYSTEM \"x.dtd\"><a>&e;</a>", false);
    row("two roots", "<a/><a/>", false);
    row("text after the root", "<a/>x", false);
    row("comment after the root", "<a/><!-- x -->\n", true);
    row("byte-order mark", "\xEF\xBB\xBF<a/>", true);
    row("mismatched end tag", "<a><b></a></b>", false);
    row("end tag with another prefix", "<x:a xmlns:x=\"u\" xmlns:y=\"u\"></y:a>", false);
    row("unquoted attribute", "<a b=c/>", false);
    row("no white space between attributes", "<a b=\"1\"c=\"2\"/>", false);
    row("character reference to a tab in an attribute", "<a b=\"&#9;\"/>", true);
    row("CDATA outside the root", "<![CDATA[x]]><a/>", false);
    row("processing instruction named xml", "<a><?xml x?></a>", false);
    row("encoding UTF-16 on ASCII bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", false);
    row("unknown encoding", "<?xml version=\"1.0\" encoding=\"x-nothing\"?><a/>", false);
}

void tst_XmlDocument::checkWellFormed_agreesWithXmllint() {
    QFETCH(QByteArray, xml);
    QFETCH(bool, wellFormed);
    const QString error = XmlDocument::checkWellFormed(xml);
    QVERIFY2(error.isEmpty() == wellFormed, qPrintable(error));
    XmlDocument document;
    QCOMPARE(loadBytes(document, xml), wellFormed);

    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
        QSKIP("xmllint is not installed (libxml2-utils)");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(xml);
    file.close();
    QProcess process;
    process.start(xmllint, {QStringLiteral("--noout"), path});
    QVERIFY(process.waitForFinished());
    // xmllint exits 0 after a namespace error; any error it prints counts.
    const QByteArray output = process.readAllStandardError();
    const bool passes = process.exitCode() == 0 && !output.contains(" error ");
    QVERIFY2(passes == wellFormed, output.constData());
}

void tst_XmlDocument::fifo_refusedWithoutWaiting() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("feed.xml"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // With no writer, opening it for reading would block for ever.
    XmlDocument document;
    QVERIFY(!document.load(path));
    QCOMPARE(document.errorString(), QStringLiteral("%1 is not a regular file").arg(path));
    QVERIFY(!XmlDocument().load(QStringLiteral("/dev/zero")));
}

QTEST_APPLESS_MAIN(tst_XmlDocument)
#include "tst_xmldocument.moc"
