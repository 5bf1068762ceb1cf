#include "xml/XmlDocument.h"

#include <QBuffer>
#include <QTest>

// A streamed element whose content the store copies from the input text
// must read exactly as one the parser's callbacks made.
class tst_XmlStoreText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void copiedItem_readsAsMade_data();
    void copiedItem_readsAsMade();
    void inputView_sameBytesInTheText_data();
    void inputView_sameBytesInTheText();
    void longCdata_laterItemsStillCopied();
    void itemStartTag_readWhereverItEnds_data();
    void itemStartTag_readWhereverItEnds();
    void streamedItems_blankTextAroundThemNotKept_data();
    void streamedItems_blankTextAroundThemNotKept();
};

namespace {
const QByteArray Itunes = "http://www.itunes.com/dtds/podcast-1.0.dtd";

QByteArray feed(const QByteArray &items, const QByteArray &rootAttributes = {},
                const QByteArray &prolog = {}) {
    return R"(<?xml version="1.0" encoding="utf-8"?>)" + prolog + "\n<rss xmlns:itunes=\"" +
           Itunes + "\" xmlns:media=\"http://search.yahoo.com/mrss/\"" + rootAttributes +
           " version=\"2.0\"><channel><title>T</title>" + items + "</channel></rss>";
}

// The name a start tag is written with: its first word.
QByteArray startTagName(const QByteArray &xml) {
    qsizetype end = 1;
    while (end < xml.size() && xml[end] != ' ' && xml[end] != '>' && xml[end] != '/')
        ++end;
    return xml.mid(1, end - 1);
}

// Everything a reader of the store can ask of a node and its descendants.
void describe(const XmlNode &node, QStringList &out, int depth = 0) {
    // Asked of the node, the written name must be the one its tag is written with.
    if (node.kind() == XmlNode::Kind::Element && node.outputName() != startTagName(node.outerXml()))
        out.append(QStringLiteral("MISNAMED ") + QString::fromUtf8(node.outputName()));
    QStringList parts{QString(depth, u' ') + QString::number(int(node.kind())),
                      node.name(),
                      QString::fromUtf8(node.outerXml()),
                      QString::fromUtf8(node.innerXml()),
                      node.heldText(),
                      node.text(),
                      node.hasOwnText() ? QStringLiteral("own") : QStringLiteral("none"),
                      QString::fromUtf8(node.outputName())};
    for (const XmlAttribute &a : node.attributes())
        parts << a.baseName << a.qualifiedName << a.text << a.heldText << QString::fromUtf8(a.xml);
    out.append(parts.join(u'|'));
    for (const XmlNode &child : node.childNodes())
        describe(child, out, depth + 1);
}

struct Load {
    bool ok = false;
    QStringList items;  // described as streamed
    QList<bool> copied; // whether each was copied from the text
    QString error;
};

// Loads `text` streaming its items, copied from the text where the store
// can (`fromText`) or always made by the parser.
Load load(QByteArray text, bool fromText, const XmlDocument::Namespaces &bindings = {}) {
    Load result;
    XmlDocument document;
    document.setRetainedPaths({QStringLiteral("rss/channel")});
    document.setStreamedPath(QStringLiteral("rss/channel/item"), [&](const XmlNode &item) {
        QStringList lines;
        describe(item, lines);
        result.items.append(lines.join(u'\n'));
        result.copied.append(item.hasInputText());
    });
    document.setNamespaces(bindings);
    if (fromText)
        document.setStreamedText(text);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    result.ok = document.load(&buffer);
    result.error = document.errorString();
    return result;
}
} // namespace

void tst_XmlStoreText::copiedItem_readsAsMade_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<QByteArray>("rootAttributes");

    const auto row = [](const char *name, const QByteArray &content, bool copied,
                        const QByteArray &root = {}) {
        QTest::newRow(name) << content << copied << root;
    };
    row("plain", "\n  <title>A</title>\n  <guid>g</guid>\n", true);
    row("CRLF line ends",
        "\r\n  <title>A</title>\r\n  <itunes:summary>one\r\ntwo</itunes:summary>\r\n", true);
    row("lone CR in text", "<title>A\rB</title>", true);
    row("prefixed elements",
        "<itunes:author>Zoë</itunes:author><itunes:explicit>no</itunes:explicit>", true);
    row("attributes", R"(<enclosure url="https://e.org/a.mp3?x=1" type="audio/mpeg" length="9" />)",
        true);
    row("'>' and an apostrophe in an attribute", R"(<a href="x>y" title="it's" />)", true);
    row("prefixed attribute", R"(<guid xml:lang="en" isPermaLink="false">g</guid>)", true);
    row("nested elements",
        R"(<media:group><media:content url="a" /><media:title>t</media:title></media:group>)",
        true);
    row("white space only", "<title> </title>", true);
    row("CDATA", "<description><![CDATA[<p>Q & A</p> ]]></description>", true);
    row("CDATA with CRLF", "<description><![CDATA[one\r\ntwo\rthree]]></description>", true);
    row("blank CDATA", "<description><![CDATA[  ]]></description>", true);
    row("comment", "<title>t</title><!-- a note --><guid>g</guid>", true);
    row("comment in CRLF text", "<title>t</title>\r\n<!-- one\r\ntwo -->", false);
    row("text around an element", "<summary>one <b>two</b> three</summary>", true);
    // Character data is read sixteen bytes at a time: what it holds is found
    // wherever it stands in them.
    row("an indent longer than sixteen bytes", "\r\n                    <title>A</title>", true);
    row("text longer than sixteen bytes", "<title>0123456789abcdefghij</title>", true);
    row("CR LF across two blocks", "<title>aaaaaaaaaaaaaaa\r\nbbbb</title>", true);
    row("lone CR at a block's end", "<title>aaaaaaaaaaaaaaa\rbbbb</title>", true);
    row("text after sixteen spaces", "<title>                 x</title>", true);
    row("'<' as the sixteenth byte", "<title>aaaaaaaaaaaaaaa</title>", true);
    row("'<' as the seventeenth byte", "<title>aaaaaaaaaaaaaaaa</title>", true);
    row("reference after sixteen bytes", "<title>0123456789abcdefghij &amp; k</title>", false);
    row("a long attribute value",
        R"(<enclosure url="https://media.example.org/episodes/00001-af4af26c.mp3" />)", true);
    row("a value of sixteen bytes", R"(<enclosure url="0123456789abcdef" length="1" />)", true);
    row("a reference after sixteen bytes of a value",
        R"(<enclosure url="https://example.org/a?b=1&amp;c=2" />)", false);
    row("a tab after sixteen bytes of a value", "<enclosure url=\"https://example.org/a\tb\" />",
        false);
    row("'>' after sixteen bytes", "<title>0123456789abcdefghij > k</title>", false);
    row("reference in text", "<title>Q &amp; A</title>", false);
    row("character reference", "<title>Tom&#8217;s</title>", false);
    row("'>' in text", "<title>a > b</title>", false);
    row("reference in an attribute", R"(<enclosure url="a?b=1&amp;c=2" />)", false);
    row("tab in an attribute", "<enclosure url=\"a\tb\" />", false);
    row("line end in an attribute", "<enclosure url=\"a\nb\" />", false);
    row("single quotes", "<enclosure url='a' />", false);
    row("two spaces before an attribute", R"(<enclosure  url="a" />)", false);
    row("space before '>'", R"(<guid isPermaLink="false" >g</guid>)", false);
    row("space around '='", R"(<enclosure url = "a" />)", false);
    row("empty element with an end tag", "<title></title>", false);
    row("empty element without a space", "<guid/>", false);
    row("end tag with a space", "<title>t</title ><guid>g</guid>", false);
    row("CDATA sections side by side", "<title><![CDATA[a]]><![CDATA[b]]></title>", false);
    row("empty CDATA", "<title>t<![CDATA[]]></title>", false);
    row("processing instruction", "<title>t</title><?pi data?>", false);
    row("namespace declared inside", R"(<x:a xmlns:x="urn:x">t</x:a>)", false);
    row("default namespace declared inside", R"(<a xmlns="urn:x">t</a>)", false);
    row("prefix renamed on writing", "<media:title>t</media:title>", false,
        R"( xmlns:m2="urn:other")");
    row("default namespace on the root", "<title>t</title>", true, R"( xmlns="urn:feed")");
    row("an item's end tag inside CDATA", "<title><![CDATA[</item>]]></title>", true);
    row("an item's end tag inside a comment", "<title>t</title><!-- </item> -->", true);
    row("an item inside the item", "<title>t</title><item><guid>g</guid></item>", true);
    row("an element named like the item's start", "<items>t</items><itemx />", true);
}

void tst_XmlStoreText::copiedItem_readsAsMade() {
    QFETCH(QByteArray, content);
    QFETCH(bool, copied);
    QFETCH(QByteArray, rootAttributes);
    // "media" bound elsewhere to another namespace is renamed where it is written.
    XmlDocument::Namespaces bindings{{QStringLiteral("itunes"), QString::fromLatin1(Itunes)}};
    if (!rootAttributes.contains("m2"))
        bindings.append({QStringLiteral("media"), QStringLiteral("http://search.yahoo.com/mrss/")});
    else
        bindings.append({QStringLiteral("media"), QStringLiteral("urn:taken")});
    // Twice, and a plain item between, so places differ from item to item.
    const QByteArray text = feed("<item>" + content + "</item><item><title>P</title></item><item>" +
                                     content + "</item>",
                                 rootAttributes);
    const Load made = load(text, false, bindings);
    const Load copy = load(text, true, bindings);
    QVERIFY2(made.ok, qPrintable(made.error));
    QVERIFY2(copy.ok, qPrintable(copy.error));
    QCOMPARE(made.copied, QList<bool>({false, false, false}));
    QCOMPARE(copy.copied, QList<bool>({copied, true, copied}));
    QCOMPARE(copy.items, made.items);
    QVERIFY2(!made.items.join(u'\n').contains(u"MISNAMED"), qPrintable(made.items.join(u'\n')));
}

void tst_XmlStoreText::inputView_sameBytesInTheText_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("value"); // the title's held text
    QTest::addColumn<bool>("inText");      // found again in the text
    QTest::newRow("LF") << QByteArray("\n<title>one two</title>\n") << QByteArray("one two")
                        << true;
    QTest::newRow("after CRLF lines")
        << QByteArray("\r\n\r\n<title>one two</title>\r\n") << QByteArray("one two") << true;
    QTest::newRow("spanning a CRLF")
        << QByteArray("\r\n<title>one\r\ntwo</title>") << QByteArray("one\ntwo") << false;
    QTest::newRow("spanning a lone CR")
        << QByteArray("<title>one\rtwo</title>") << QByteArray("one\ntwo") << false;
    QTest::newRow("CDATA made into text")
        << QByteArray("<title><![CDATA[a<b]]></title>") << QByteArray("a&lt;b") << false;
}

void tst_XmlStoreText::inputView_sameBytesInTheText() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, value);
    QFETCH(bool, inText);
    QByteArray text = feed("<item><guid>g</guid>\r\n</item><item>" + content + "</item>");
    XmlDocument document;
    document.setRetainedPaths({QStringLiteral("rss/channel")});
    bool checked = false;
    document.setStreamedPath(QStringLiteral("rss/channel/item"), [&](const XmlNode &item) {
        const XmlNode title = item.selectSingleNode(u"title");
        if (title.isNull())
            return;
        QVERIFY(item.hasInputText());
        QByteArray made;
        const QByteArrayView held = title.heldTextView(&made);
        QCOMPARE(held, QByteArrayView(value));
        const QByteArrayView input = item.inputView(held);
        QCOMPARE(!input.isNull(), inText);
        if (inText) {
            QCOMPARE(input, held);
            QVERIFY(input.data() >= text.constData() && input.data() < text.constEnd());
            QCOMPARE(input.data() - text.constData(), text.indexOf(value));
        }
        checked = true;
    });
    document.setStreamedText(text);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    QVERIFY2(document.load(&buffer), qPrintable(document.errorString()));
    QVERIFY(checked);
}

void tst_XmlStoreText::longCdata_laterItemsStillCopied() {
    // A section this long is broken up as it is pushed to the parser, which
    // then stands on more bytes than the text has: later items must still
    // be found where they are.
    QByteArray notes(700 << 10, 'n');
    for (qsizetype i = 100; i < notes.size(); i += 100)
        notes[i] = '\n';
    const QByteArray text = feed("<item><title>one</title><description><![CDATA[" + notes +
                                 "]]></description></item><item><title>two</title></item>"
                                 "<item><title>three</title><guid>g</guid></item>");
    const Load made = load(text, false);
    const Load copy = load(text, true);
    QVERIFY2(copy.ok, qPrintable(copy.error));
    QCOMPARE(copy.copied, QList<bool>({true, true, true}));
    QCOMPARE(copy.items, made.items);
}

void tst_XmlStoreText::itemStartTag_readWhereverItEnds_data() {
    QTest::addColumn<QByteArray>("startTag");
    QTest::newRow("plain") << QByteArray("<item>");
    QTest::newRow("attributes") << QByteArray(R"(<item id="1" note="a>b">)");
    QTest::newRow("line end before an attribute") << QByteArray("<item\r\n  id=\"1\">");
    QTest::newRow("space before '>'") << QByteArray("<item >");
}

void tst_XmlStoreText::itemStartTag_readWhereverItEnds() {
    QFETCH(QByteArray, startTag);
    const QByteArray item = startTag + "<title>t</title>\n<guid>g</guid></item>";
    const QByteArray text = feed(item + item);
    const Load made = load(text, false);
    const Load copy = load(text, true);
    QVERIFY2(copy.ok, qPrintable(copy.error));
    QCOMPARE(copy.copied, QList<bool>({true, true}));
    QCOMPARE(copy.items, made.items);
}

void tst_XmlStoreText::streamedItems_blankTextAroundThemNotKept_data() {
    QTest::addColumn<QByteArray>("channel"); // the channel's content as read
    QTest::addColumn<QByteArray>("kept");    // what the store keeps of it
    QTest::newRow("line ends between items")
        << QByteArray("\n <title>T</title>\n <item><title>1</title></item>\n <item />\n")
        << QByteArray("\n <title>T</title>\n ");
    QTest::newRow("text after an item")
        << QByteArray("<item><title>1</title></item> text <link>L</link>")
        << QByteArray(" text <link>L</link>");
    QTest::newRow("white space inside the element after an item")
        << QByteArray("<item><title>1</title></item>\r\n<x> </x>\r\n") << QByteArray("<x> </x>\n");
    QTest::newRow("a comment after an item")
        << QByteArray("<item><title>1</title></item>\n<!-- c -->\n") << QByteArray("<!-- c -->\n");
    QTest::newRow("CDATA after an item")
        << QByteArray("<item><title>1</title></item><![CDATA[ ]]>\n")
        << QByteArray("<![CDATA[ ]]>\n");
    // The parser hands a run of text over in pieces: one blank piece first
    // leaves the run's text to keep.
    QTest::newRow("white space, then a reference after an item")
        << QByteArray("<item><title>1</title></item>\n  &amp; x") << QByteArray("\n  &amp; x");
    QTest::newRow("white space, then other letters after an item")
        << QByteArray("<item><title>1</title></item>\n  \xC3\x9C x")
        << QByteArray("\n  \xC3\x9C x");
    QTest::newRow("spaces and CR LF, then text after an item")
        << QByteArray("<item><title>1</title></item>  \r\n x") << QByteArray("  \n x");
    QTest::newRow("CDATA on either side of an item")
        << QByteArray("<![CDATA[a]]><item><title>1</title></item>\n<![CDATA[b]]>")
        << QByteArray("<![CDATA[a]]><![CDATA[b]]>");
}

void tst_XmlStoreText::streamedItems_blankTextAroundThemNotKept() {
    QFETCH(QByteArray, channel);
    QFETCH(QByteArray, kept);
    for (const bool fromText : {false, true}) {
        QByteArray text = "<rss version=\"2.0\"><channel>" + channel + "</channel></rss>";
        XmlDocument document;
        document.setRetainedPaths({QStringLiteral("rss/channel")});
        int items = 0;
        document.setStreamedPath(QStringLiteral("rss/channel/item"),
                                 [&](const XmlNode &) { ++items; });
        if (fromText)
            document.setStreamedText(text);
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        QVERIFY2(document.load(&buffer), qPrintable(document.errorString()));
        QVERIFY(items > 0);
        QCOMPARE(document.selectSingleNode(u"rss/channel").innerXml(), kept);
    }
}

QTEST_GUILESS_MAIN(tst_XmlStoreText)
#include "tst_xmlstoretext.moc"
