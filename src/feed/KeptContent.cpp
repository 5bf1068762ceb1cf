#include "KeptContent.h"

#include <QUuid>

#include <cstring>

namespace KeptContent {
namespace {
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isBlank(QByteArrayView text) {
    for (const char c : text) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

// The end of a start or end tag that begins at `at` ('<'): just past its '>'.
// Quoted attribute values may hold '>'.
qsizetype tagEnd(QByteArrayView text, qsizetype at) {
    char quote = 0;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return text.size();
}

// Just past the next `marker` from `from`, or the end. Markers start with a
// character that is rare in their section (']' in CDATA), so memchr finds
// the candidates faster than a general substring search.
qsizetype pastMarker(QByteArrayView text, qsizetype from, QByteArrayView marker) {
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    const char *p = begin + from;
    while (p < end) {
        const void *hit = std::memchr(p, marker[0], size_t(end - p));
        if (!hit)
            break;
        const char *at = static_cast<const char *>(hit);
        if (end - at >= marker.size() && QByteArrayView(at, marker.size()) == marker)
            return (at - begin) + marker.size();
        p = at + 1;
    }
    return text.size();
}

// Comments, CDATA and processing instructions: the end of the one at `at`, or
// -1 when `at` starts none of them.
qsizetype specialEnd(QByteArrayView text, qsizetype at) {
    if (at + 1 >= text.size() || (text[at + 1] != '!' && text[at + 1] != '?'))
        return -1;
    const QByteArrayView rest = text.sliced(at);
    if (rest.startsWith("<!--"))
        return pastMarker(text, at + 4, "-->");
    if (rest.startsWith("<![CDATA["))
        return pastMarker(text, at + 9, "]]>");
    if (rest.startsWith("<?"))
        return pastMarker(text, at + 2, "?>");
    return -1;
}

Node element(QByteArrayView text, qsizetype at, qsizetype *end) {
    Node node;
    qsizetype i = at + 1;
    while (i < text.size() && !isSpace(text[i]) && text[i] != '>' && text[i] != '/')
        ++i;
    node.name = text.sliced(at + 1, i - at - 1);
    const qsizetype startEnd = tagEnd(text, at);
    const bool selfClosing = startEnd >= 2 && text[startEnd - 2] == '/';
    qsizetype attributesEnd = startEnd - (selfClosing ? 2 : 1);
    while (attributesEnd > i && isSpace(text[attributesEnd - 1]))
        --attributesEnd;
    node.attributes = text.sliced(i, attributesEnd - i);
    if (selfClosing) {
        *end = startEnd;
        node.xml = text.sliced(at, startEnd - at);
        return node;
    }
    int depth = 1;
    qsizetype p = startEnd;
    while (p < text.size()) {
        const qsizetype open = text.indexOf('<', p);
        const qsizetype stop = open < 0 ? text.size() : open;
        if (depth == 1 && !isBlank(text.sliced(p, stop - p)))
            node.ownText = true;
        if (open < 0) {
            p = text.size();
            break;
        }
        const qsizetype special = specialEnd(text, open);
        if (special >= 0) {
            if (depth == 1 && text.sliced(open).startsWith("<![CDATA[") &&
                !isBlank(text.sliced(open + 9, qMax<qsizetype>(0, special - open - 12))))
                node.ownText = true;
            p = special;
            continue;
        }
        const qsizetype close = tagEnd(text, open);
        if (text.sliced(open).startsWith("</")) {
            if (--depth == 0) {
                node.content = text.sliced(startEnd, open - startEnd);
                p = close;
                break;
            }
        } else if (text[close - 2] != '/') {
            ++depth;
        }
        p = close;
    }
    *end = p;
    node.xml = text.sliced(at, p - at);
    return node;
}
} // namespace

Written channelElement(QByteArrayView name) {
    static constexpr QByteArrayView text[] = {"title",         "link",          "language",
                                              "copyright",     "description",   "itunes:subtitle",
                                              "itunes:author", "itunes:summary"};
    for (const QByteArrayView candidate : text) {
        if (name == candidate)
            return Written::Text;
    }
    if (name == "itunes:category" || name == "itunes:image")
        return Written::FirstAttribute;
    if (name == "itunes:owner")
        return Written::Owner;
    return Written::None;
}

Written itemElement(QByteArrayView name) {
    static constexpr QByteArrayView text[] = {
        "title",   "itunes:author",   "itunes:subtitle", "itunes:summary",  "guid",
        "pubDate", "itunes:duration", "itunes:keywords", "itunes:explicit", "category"};
    for (const QByteArrayView candidate : text) {
        if (name == candidate)
            return Written::Text;
    }
    return name == "enclosure" ? Written::Enclosure : Written::None;
}

bool Node::hasAttribute(QByteArrayView qualifiedName) const {
    qsizetype i = 0;
    const QByteArrayView a = attributes;
    while (i < a.size()) {
        while (i < a.size() && isSpace(a[i]))
            ++i;
        const qsizetype nameBegin = i;
        while (i < a.size() && a[i] != '=' && !isSpace(a[i]))
            ++i;
        if (a.sliced(nameBegin, i - nameBegin) == qualifiedName)
            return true;
        while (i < a.size() && a[i] != '"' && a[i] != '\'')
            ++i;
        if (i >= a.size())
            break;
        const char quote = a[i];
        const qsizetype close = a.indexOf(quote, i + 1);
        i = close < 0 ? a.size() : close + 1;
    }
    return false;
}

QList<Node> split(QByteArrayView block) {
    QList<Node> nodes;
    qsizetype i = 0;
    while (i < block.size()) {
        while (i < block.size() && isSpace(block[i]))
            ++i;
        if (i >= block.size())
            break;
        qsizetype end = 0;
        if (block[i] != '<') {
            const qsizetype open = block.indexOf('<', i);
            end = open < 0 ? block.size() : open;
            qsizetype last = end;
            while (last > i && isSpace(block[last - 1]))
                --last;
            Node text;
            text.xml = block.sliced(i, last - i);
            nodes.append(text);
        } else if (const qsizetype special = specialEnd(block, i); special >= 0) {
            end = special;
            Node node;
            node.xml = block.sliced(i, end - i);
            nodes.append(node);
        } else {
            nodes.append(element(block, i, &end));
        }
        i = end;
    }
    return nodes;
}

QByteArrayView writtenAttribute(QByteArrayView name) {
    return name == "itunes:image" ? QByteArrayView("href") : QByteArrayView("text");
}

bool addsToWritten(const Node &node, Written written) {
    switch (written) {
    case Written::None:
        return false;
    case Written::Text:
    case Written::Owner:
        return !node.ownText;
    case Written::FirstAttribute:
        return !node.hasAttribute(writtenAttribute(node.name));
    case Written::Enclosure:
        return !node.hasAttribute("url") && !node.hasAttribute("type") &&
               !node.hasAttribute("length");
    }
    return false;
}

void append(QByteArray &block, QByteArrayView node) {
    if (!block.isEmpty())
        block += '\n';
    block += node;
}
QString newGuid() {
    return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray withGuidNotPermaLink(QByteArrayView itemBlock) {
    for (const Node &node : split(itemBlock)) {
        if (node.name == "guid" && addsToWritten(node, Written::Text))
            return itemBlock.toByteArray();
    }
    QByteArray block("<guid isPermaLink=\"false\" />");
    if (!itemBlock.isEmpty())
        append(block, itemBlock);
    return block;
}
} // namespace KeptContent
