#include "ByteSearch.h"
#include "XmlEscape.h"
#include "XmlStore.h"

#include <QVarLengthArray>
#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// What each byte is to the scan, by table: an item is read byte by byte
// once, and most of its runs are too short for a library search to pay.
enum ByteClass : quint8 {
    NotSpace = 1,      // character data that is not white space
    Escaped = 2,       // '&' and '>' in text, which the store writes escaped
    Cr = 4,            // read as a line feed
    Lt = 8,            // ends character data
    NameEnd = 16,      // ends a name in a tag
    AttributeBad = 32, // written escaped in an attribute value: & < TAB LF CR
    Quote = 64,        // ends an attribute value
};
constexpr auto Classes = [] {
    std::array<quint8, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        quint8 bits = space ? quint8(NameEnd) : quint8(NotSpace);
        if (c == '&' || c == '>')
            bits |= Escaped;
        if (c == '\r')
            bits |= Cr;
        if (c == '<')
            bits = Lt | AttributeBad;
        if (c == '/' || c == '>' || c == '=' || c == '"' || c == '\'')
            bits |= NameEnd;
        if (c == '&' || c == '\t' || c == '\n' || c == '\r')
            bits |= AttributeBad;
        if (c == '"')
            bits |= Quote;
        table[size_t(c)] = bits;
    }
    return table;
}();
quint8 classOf(char c) {
    return Classes[uchar(c)];
}

// Character data from `pos` up to the next '<': where that '<' stands (-1
// when there is none), and what kinds of bytes came before it (NotSpace,
// Escaped, Cr). The CRs are noted as well, each as it is read (see
// readLineEnds below): `left` counts those that a line feed follows.
// Most runs are a line end and an indent, or a short value: sixteen bytes
// at a time, each byte's kind found by comparison instead of by table.
struct Run {
    qsizetype lt = -1;
    quint8 seen = 0;
};
void noteCr(const char *data, qsizetype size, qsizetype i, QVarLengthArray<qsizetype, 32> &crs,
            qsizetype &left) {
    crs.append(i);
    left += i + 1 < size && data[i + 1] == '\n' ? 1 : 0;
}
Run scanRun(const char *data, qsizetype pos, qsizetype size, QVarLengthArray<qsizetype, 32> &crs,
            qsizetype &left) {
    Run run;
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i space = _mm_set1_epi8(' ');
    for (; pos + 16 <= size; pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + pos));
        const unsigned stops = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lt)));
        // The bytes before the first '<' of the sixteen, or all of them.
        const unsigned before = stops ? (stops & (0u - stops)) - 1 : 0xFFFFu;
        const __m128i crBytes = _mm_cmpeq_epi8(bytes, cr);
        const __m128i spaces =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(bytes, tab)),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, lf), crBytes));
        const unsigned escaped = unsigned(_mm_movemask_epi8(_mm_or_si128(
                                     _mm_cmpeq_epi8(bytes, amp), _mm_cmpeq_epi8(bytes, gt)))) &
                                 before;
        if (escaped)
            run.seen |= Escaped;
        if (~unsigned(_mm_movemask_epi8(spaces)) & before)
            run.seen |= NotSpace;
        for (unsigned crBits = unsigned(_mm_movemask_epi8(crBytes)) & before; crBits;
             crBits &= crBits - 1) {
            run.seen |= Cr;
            noteCr(data, size, pos + std::countr_zero(crBits), crs, left);
        }
        if (stops) {
            run.lt = pos + std::countr_zero(stops);
            return run;
        }
    }
#endif
    for (; pos < size; ++pos) {
        if (data[pos] == '<') {
            run.lt = pos;
            return run;
        }
        const quint8 kind = classOf(data[pos]);
        run.seen |= kind;
        if (kind & Cr)
            noteCr(data, size, pos, crs, left);
    }
    return run;
}

// An attribute value from `pos`: where its closing '"' stands, or -1 when
// there is none or a byte before it would be written escaped (& < TAB LF
// CR). Addresses run long: sixteen bytes at a time, as character data.
qsizetype scanValue(const char *data, qsizetype pos, qsizetype size) {
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; pos + 16 <= size; pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + pos));
        const unsigned stops = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)));
        const unsigned before = stops ? (stops & (0u - stops)) - 1 : 0xFFFFu;
        const __m128i bad = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, amp), _mm_cmpeq_epi8(bytes, lt)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, tab), _mm_cmpeq_epi8(bytes, lf)),
                         _mm_cmpeq_epi8(bytes, cr)));
        if (unsigned(_mm_movemask_epi8(bad)) & before)
            return -1;
        if (stops)
            return pos + std::countr_zero(stops);
    }
#endif
    for (; pos < size; ++pos) {
        const quint8 kind = classOf(data[pos]);
        if (kind & Quote)
            return pos;
        if (kind & AttributeBad)
            return -1;
    }
    return -1;
}

// Appends text[from, to) with each CR LF and lone CR as LF; `crs` are the
// CRs in it, in order. Notes where (see XmlDocument::Data::Copied).
void appendReadLineEnds(QByteArray &out, const char *data, qsizetype from, qsizetype to,
                        const QVarLengthArray<qsizetype, 32> &crs,
                        std::vector<std::pair<qsizetype, qsizetype>> &lineEnds) {
    const qsizetype base = out.size();
    lineEnds.clear();
    // Sized once and written in place: a CRLF file has a CR on every line.
    out.resize(base + (to - from));
    char *written = out.data() + base;
    qsizetype left = 0;
    for (const qsizetype cr : crs) {
        std::memcpy(written, data + from, size_t(cr - from));
        written += cr - from;
        const bool pair = cr + 1 < to && data[cr + 1] == '\n';
        left += pair ? 1 : 0;
        lineEnds.emplace_back(written - out.constData(), left);
        *written++ = '\n';
        from = pair ? cr + 2 : cr + 1;
    }
    std::memcpy(written, data + from, size_t(to - from));
    written += to - from;
    out.truncate(written - out.constData());
}
} // namespace

bool XmlDocument::Data::storeAsWritten(QByteArrayView text, qsizetype tagEnd, QByteArrayView name,
                                       qint32 parent,
                                       const std::function<bool(QByteArrayView)> &prefixKept) {
    const char *data = text.data();
    const qsizetype size = text.size();
    // The start tag: `name`, then white space or the '>' at tagEnd.
    if (tagEnd <= 0 || tagEnd >= size || data[tagEnd] != '>')
        return false;
    const auto *lt = static_cast<const char *>(memrchr(data, '<', size_t(tagEnd)));
    const qsizetype nameAt = lt ? lt - data + 1 : -1;
    if (nameAt < 0 || nameAt + name.size() > tagEnd ||
        !ByteSearch::sameBytes(data + nameAt, name.data(), size_t(name.size())) ||
        !(nameAt + name.size() == tagEnd || isSpace(data[nameAt + name.size()])))
        return false;

    const qsizetype from = tagEnd + 1;
    const size_t nodeCount = nodes.size();
    const size_t attributeCount = attributes.size();
    const qsizetype base = buffer.size();
    copied.bufferBegin = -1;
    // The copy reads each CR LF as LF (and a lone CR as LF, in place): the
    // CRs left out before a place move it in the copy.
    qsizetype left = 0;
    const auto at = [&](qsizetype i) { return base + (i - from) - left; };
    // Character data, where CRs may stand: they are noted, and a CR LF
    // moves what follows one byte nearer in the copy.
    QVarLengthArray<qsizetype, 32> crs;
    const auto readLineEnds = [&](qsizetype begin, qsizetype end) {
        while (begin < end) {
            const auto *cr =
                static_cast<const char *>(std::memchr(data + begin, '\r', size_t(end - begin)));
            if (!cr)
                break;
            const qsizetype i = cr - data;
            crs.append(i);
            const bool pair = i + 1 < end && data[i + 1] == '\n';
            left += pair ? 1 : 0;
            begin = i + (pair ? 2 : 1);
        }
    };
    const auto undo = [&] {
        nodes.resize(nodeCount);
        attributes.resize(attributeCount);
        return false;
    };
    // An item's names mostly share one prefix.
    QByteArrayView lastPrefix;
    bool lastKept = false;
    const auto nameKept = [&](QByteArrayView qualified) {
        const auto *colon =
            static_cast<const char *>(std::memchr(qualified.data(), ':', size_t(qualified.size())));
        if (!colon)
            return true;
        const QByteArrayView prefix = qualified.first(colon - qualified.data());
        if (prefix != lastPrefix) {
            lastPrefix = prefix;
            lastKept = prefixKept(prefix);
        }
        return lastKept;
    };

    QVarLengthArray<qint32, 8> open{parent};
    qsizetype cdataEnd = -1;
    qsizetype to = -1; // where the element's own end tag begins
    qsizetype pos = from;
    while (to < 0) {
        const Run run = scanRun(data, pos, size, crs, left);
        if (run.lt < 0 || (run.seen & Escaped))
            return undo();
        const qsizetype lt = run.lt;
        if (run.seen & NotSpace)
            nodes[size_t(open.back())].flags |= OwnText;
        if (lt + 1 >= size)
            return undo();
        const char next = data[lt + 1];
        if (next == '/') {
            const qint32 index = open.back();
            const QByteArrayView closing =
                open.size() == 1 ? name : QByteArrayView(names.name(nodes[size_t(index)].name));
            const qsizetype close = lt + 2 + closing.size();
            if (close >= size || data[close] != '>' ||
                !ByteSearch::sameBytes(data + lt + 2, closing.data(), size_t(closing.size())))
                return undo();
            if (open.size() == 1) {
                to = lt;
                break;
            }
            Node &node = nodes[size_t(index)];
            // An element with nothing inside is written back as <a />.
            if (at(lt) == node.innerBegin)
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
            const QByteArrayView rest = text.sliced(lt);
            if (rest.startsWith("<!--")) {
                const qsizetype close = ByteSearch::findMarker(text, "-->", lt + 4);
                // Not known to read a CR in a comment as the parser does.
                if (close < 0 || contains(text.sliced(lt, close - lt), '\r'))
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
            const qsizetype close = ByteSearch::findMarker(text, "]]>", lt + 9);
            // Sections side by side are stored as one; an empty one not at all.
            if (close < 0 || close == lt + 9 || lt == cdataEnd)
                return undo();
            Node &holder = nodes[size_t(open.back())];
            holder.flags |= HasCdata;
            if (!XmlEscape::isBlank(text.sliced(lt + 9, close - lt - 9)))
                holder.flags |= OwnText;
            readLineEnds(lt + 9, close);
            cdataEnd = pos = close + 3;
            continue;
        }
        if (next == '?')
            return undo();

        // A start tag: <name( name="value")*( />|>)
        qsizetype i = lt + 1;
        while (i < size && !(classOf(data[i]) & NameEnd))
            ++i;
        const QByteArrayView element = text.sliced(lt + 1, i - lt - 1);
        if (element.isEmpty() || !nameKept(element))
            return undo();
        const auto index = static_cast<qint32>(nodes.size());
        Node node{at(lt),
                  0,
                  0,
                  0,
                  index + 1,
                  names.internRecent(element),
                  static_cast<qint32>(attributes.size()),
                  0,
                  XmlNode::Kind::Element,
                  NamedAsWritten};
        bool selfClosing = false;
        for (;;) {
            if (i >= size)
                return undo();
            if (data[i] == '>') {
                ++i;
                break;
            }
            if (data[i] != ' ')
                return undo();
            if (i + 2 < size && data[i + 1] == '/' && data[i + 2] == '>') {
                i += 3;
                selfClosing = true;
                break;
            }
            const qsizetype nameBegin = i + 1;
            qsizetype equals = nameBegin;
            while (equals < size && !(classOf(data[equals]) & NameEnd))
                ++equals;
            if (equals == nameBegin || equals + 1 >= size || data[equals] != '=' ||
                data[equals + 1] != '"')
                return undo();
            const QByteArrayView attributeName = text.sliced(nameBegin, equals - nameBegin);
            if (attributeName == "xmlns" || attributeName.startsWith("xmlns:") ||
                !nameKept(attributeName))
                return undo();
            // Written back with & < " TAB LF CR escaped.
            const qsizetype valueBegin = equals + 2;
            const qsizetype valueEnd = scanValue(data, valueBegin, size);
            if (valueEnd < 0)
                return undo();
            const auto *colonAt = static_cast<const char *>(
                std::memchr(attributeName.data(), ':', size_t(attributeName.size())));
            const qsizetype colon = colonAt ? colonAt - attributeName.data() : -1;
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
    appendReadLineEnds(buffer, data, from, to, crs, copied.lineEnds);
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
