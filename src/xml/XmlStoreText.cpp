#include "XmlEscape.h"
#include "XmlStore.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cstring>

using namespace XmlStore;

// The parser's callbacks store an element's content by writing it again:
// names with their prefixes mapped, text and attribute values escaped, an
// empty element as <a />. Most of a feed's items are written that way to
// begin with, and copying them is several times faster than making them.
// The copy is taken only where every byte is what the callbacks would have
// written; anything else (a reference, a CR, a prefix that is renamed, a
// declaration, single quotes, <a/>, ...) leaves the item to the callbacks.
// libxml2 still parses and checks the whole text either way.

namespace {
bool contains(QByteArrayView text, char c) {
    return std::memchr(text.data(), c, size_t(text.size())) != nullptr;
}

// The end of a name in a tag: a name holds none of these.
bool endsName(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '/' || c == '>' || c == '=' || c == '"' ||
           c == '\'';
}

// The end markers start with a byte that is rare where they are looked for:
// memchr finds it faster than a general search through long show notes.
qsizetype find(QByteArrayView text, QByteArrayView what, qsizetype from, qsizetype to) {
    const char *data = text.data();
    while (from + what.size() <= to) {
        const auto *hit = static_cast<const char *>(
            std::memchr(data + from, what.front(), size_t(to - what.size() - from + 1)));
        if (!hit)
            return -1;
        const qsizetype at = hit - data;
        if (std::memcmp(hit, what.data(), size_t(what.size())) == 0)
            return at;
        from = at + 1;
    }
    return -1;
}
// Appends `text` with each CR LF and lone CR as LF, noting where (see
// XmlDocument::Data::Copied).
void appendReadLineEnds(QByteArray &out, QByteArrayView text,
                        std::vector<std::pair<qsizetype, qsizetype>> &lineEnds) {
    const char *data = text.data();
    const qsizetype size = text.size();
    const qsizetype base = out.size();
    lineEnds.clear();
    // Sized once and written in place: a CRLF file has a CR on every line.
    out.resize(base + size);
    char *written = out.data() + base;
    qsizetype from = 0;
    qsizetype left = 0;
    while (from < size) {
        const auto *cr =
            static_cast<const char *>(std::memchr(data + from, '\r', size_t(size - from)));
        const qsizetype at = cr ? cr - data : size;
        std::memcpy(written, data + from, size_t(at - from));
        written += at - from;
        if (!cr)
            break;
        const bool pair = at + 1 < size && data[at + 1] == '\n';
        left += pair ? 1 : 0;
        lineEnds.emplace_back(written - out.constData(), left);
        *written++ = '\n';
        from = pair ? at + 2 : at + 1;
    }
    out.truncate(written - out.constData());
}

// A run of character data: false when it holds what the store escapes
// (& and >; < ends it); `blank` tells whether it is all white space.
bool plainText(QByteArrayView run, bool *blank) {
    // Between tags most runs are a line end and the indent.
    const char *data = run.data();
    const qsizetype size = run.size();
    qsizetype i = 0;
    while (i < size && (data[i] == ' ' || data[i] == '\n' || data[i] == '\t'))
        ++i;
    *blank = i == size;
    if (*blank)
        return true;
    const QByteArrayView rest = run.sliced(i);
    return !contains(rest, '&') && !contains(rest, '>');
}
} // namespace

bool XmlDocument::Data::storeAsWritten(QByteArrayView source, qsizetype tagEnd, QByteArrayView name,
                                       qint32 parent,
                                       const std::function<bool(QByteArrayView)> &prefixKept) {
    // The start tag: `name` and then white space or the '>' at tagEnd.
    if (tagEnd <= 0 || tagEnd >= source.size() || source[tagEnd] != '>')
        return false;
    const auto *lt = static_cast<const char *>(memrchr(source.data(), '<', size_t(tagEnd)));
    const qsizetype nameAt = lt ? lt - source.data() + 1 : -1;
    if (nameAt < 0 || nameAt + name.size() > tagEnd ||
        std::memcmp(source.data() + nameAt, name.data(), size_t(name.size())) != 0 ||
        !(nameAt + name.size() == tagEnd || source[nameAt + name.size()] == ' ' ||
          source[nameAt + name.size()] == '\t' || source[nameAt + name.size()] == '\n' ||
          source[nameAt + name.size()] == '\r'))
        return false;
    // The content ends at the first end tag of the name. One that stands
    // inside a CDATA section or a comment, or closes a nested element of
    // the name, leaves something open at that point: the scan below finds
    // that and refuses the copy.
    const qsizetype from = tagEnd + 1;
    QByteArray endTag = "</" + name.toByteArray() + '>';
    qsizetype to = find(source, endTag, from, source.size());
    if (to < 0)
        return false;
    const size_t nodeCount = nodes.size();
    const size_t attributeCount = attributes.size();
    const qsizetype base = buffer.size();
    // XML reads every CR LF and lone CR as a line feed: the content goes in
    // with its line ends read so, and is then compared as the parser reads it.
    copied.bufferBegin = -1;
    appendReadLineEnds(buffer, source.sliced(from, to - from), copied.lineEnds);
    const bool hadCr = !copied.lineEnds.empty();
    const QByteArrayView text = QByteArrayView(buffer).sliced(base);
    const auto at = [&](qsizetype i) { return base + i; };
    qsizetype pos = 0;
    const auto undo = [&] {
        buffer.truncate(base);
        nodes.resize(nodeCount);
        attributes.resize(attributeCount);
        return false;
    };
    // An item's names mostly share one prefix.
    QByteArrayView lastPrefix;
    bool lastKept = false;
    const auto nameKept = [&](QByteArrayView name) {
        const auto *colon =
            static_cast<const char *>(std::memchr(name.data(), ':', size_t(name.size())));
        if (!colon)
            return true;
        const QByteArrayView prefix = name.first(colon - name.data());
        if (prefix != lastPrefix) {
            lastPrefix = prefix;
            lastKept = prefixKept(prefix);
        }
        return lastKept;
    };
    to = text.size();

    const char *data = text.data();
    QVarLengthArray<qint32, 8> open{parent};
    qsizetype cdataEnd = -1;
    while (pos < to) {
        const auto *hit = static_cast<const char *>(std::memchr(data + pos, '<', size_t(to - pos)));
        const qsizetype lt = hit ? hit - data : to;
        if (lt > pos) {
            bool blank = true;
            if (!plainText(text.sliced(pos, lt - pos), &blank))
                return undo();
            if (!blank)
                nodes[size_t(open.back())].flags |= OwnText;
        }
        if (!hit)
            break;
        if (lt + 1 >= to)
            return undo();
        const char next = data[lt + 1];
        if (next == '/') {
            if (open.size() == 1)
                return undo();
            const qint32 index = open.back();
            Node &node = nodes[size_t(index)];
            const QByteArray &name = names.name(node.name);
            const qsizetype close = lt + 2 + name.size();
            // An element with nothing inside is written back as <a />.
            if (close >= to || data[close] != '>' ||
                std::memcmp(data + lt + 2, name.constData(), size_t(name.size())) != 0 ||
                at(lt) == node.innerBegin)
                return undo();
            node.innerEnd = at(lt);
            node.outerEnd = at(close + 1);
            node.end = static_cast<qint32>(nodes.size());
            open.pop_back();
            if (node.flags & HasCdata)
                nodes[size_t(open.back())].flags |= HasCdata;
            pos = close + 1;
            continue;
        }
        if (next == '!') {
            const QByteArrayView rest = text.sliced(lt, to - lt);
            if (rest.startsWith("<!--")) {
                const qsizetype close = find(text, "-->", lt + 4, to);
                // Not known to read a CR in a comment as the parser does.
                if (close < 0 || (hadCr && contains(text.sliced(lt, close - lt), '\n')))
                    return undo();
                const auto index = static_cast<qint32>(nodes.size());
                const auto attributesAt = static_cast<qint32>(attributes.size());
                nodes.push_back({at(lt), at(lt), at(close + 3), at(close + 3), index + 1, -1,
                                 attributesAt, attributesAt, XmlNode::Kind::Comment, 0});
                pos = close + 3;
                continue;
            }
            if (!rest.startsWith("<![CDATA["))
                return undo();
            const qsizetype close = find(text, "]]>", lt + 9, to);
            // Sections side by side are stored as one; an empty one not at all.
            if (close < 0 || close == lt + 9 || lt == cdataEnd)
                return undo();
            Node &holder = nodes[size_t(open.back())];
            holder.flags |= HasCdata;
            if (!XmlEscape::isBlank(text.sliced(lt + 9, close - lt - 9)))
                holder.flags |= OwnText;
            cdataEnd = pos = close + 3;
            continue;
        }
        if (next == '?')
            return undo();

        // A start tag: <name( name="value")*( />|>)
        qsizetype i = lt + 1;
        while (i < to && !endsName(data[i]))
            ++i;
        const QByteArrayView name = text.sliced(lt + 1, i - lt - 1);
        if (name.isEmpty() || !nameKept(name))
            return undo();
        const auto index = static_cast<qint32>(nodes.size());
        Node node{at(lt),
                  0,
                  0,
                  0,
                  index + 1,
                  names.internRecent(name),
                  static_cast<qint32>(attributes.size()),
                  0,
                  XmlNode::Kind::Element,
                  0};
        bool selfClosing = false;
        for (;;) {
            if (i >= to)
                return undo();
            if (data[i] == '>') {
                ++i;
                break;
            }
            if (data[i] != ' ')
                return undo();
            if (i + 2 < to && data[i + 1] == '/' && data[i + 2] == '>') {
                i += 3;
                selfClosing = true;
                break;
            }
            const qsizetype nameBegin = i + 1;
            qsizetype equals = nameBegin;
            while (equals < to && !endsName(data[equals]))
                ++equals;
            if (equals == nameBegin || equals + 1 >= to || data[equals] != '=' ||
                data[equals + 1] != '"')
                return undo();
            const QByteArrayView attributeName = text.sliced(nameBegin, equals - nameBegin);
            if (attributeName == "xmlns" || attributeName.startsWith("xmlns:") ||
                !nameKept(attributeName))
                return undo();
            const qsizetype valueBegin = equals + 2;
            const auto *quote = static_cast<const char *>(
                std::memchr(data + valueBegin, '"', size_t(to - valueBegin)));
            if (!quote)
                return undo();
            const qsizetype valueEnd = quote - data;
            // Written back with & < " TAB LF escaped.
            const QByteArrayView value = text.sliced(valueBegin, valueEnd - valueBegin);
            if (contains(value, '&') || contains(value, '<') || contains(value, '\t') ||
                contains(value, '\n'))
                return undo();
            const qsizetype colon = attributeName.indexOf(':');
            attributes.push_back({names.internRecent(attributeName),
                                  names.internRecent(attributeName.sliced(colon + 1)), at(i),
                                  at(valueBegin), at(valueEnd), at(valueEnd + 1)});
            i = valueEnd + 1;
        }
        node.attributeEnd = static_cast<qint32>(attributes.size());
        if (selfClosing) {
            node.innerBegin = node.innerEnd = node.outerEnd = at(i);
            nodes.push_back(node);
        } else {
            node.innerBegin = at(i);
            nodes.push_back(node);
            open.append(index);
        }
        pos = i;
    }
    if (open.size() != 1)
        return undo();
    copied.bufferBegin = base;
    copied.bufferEnd = buffer.size();
    copied.textBegin = from;
    return true;
}

QByteArrayView XmlDocument::Data::inputView(QByteArrayView stored) const {
    const char *data = buffer.constData();
    if (copied.bufferBegin < 0 || stored.isNull() || stored.data() < data + copied.bufferBegin ||
        stored.data() + stored.size() > data + copied.bufferEnd)
        return {};
    const qsizetype begin = stored.data() - data;
    const auto &lineEnds = copied.lineEnds;
    const auto after = std::lower_bound(lineEnds.begin(), lineEnds.end(), begin,
                                        [](const std::pair<qsizetype, qsizetype> &lineEnd,
                                           qsizetype at) { return lineEnd.first < at; });
    // A line end read from a CR is another byte, or two, in the text.
    if (after != lineEnds.end() && after->first < begin + stored.size())
        return {};
    const qsizetype left = after == lineEnds.begin() ? 0 : std::prev(after)->second;
    return streamedText.sliced(copied.textBegin + (begin - copied.bufferBegin) + left,
                               stored.size());
}
