#include "XmlOutline.h"

#include "ByteSearch.h"
#include "LargePages.h"

#include <cstring>
#include <limits>

namespace {
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// After the document type declaration, or -1. Sets `entities` when its
// internal subset declares any.
qsizetype skipDoctype(QByteArrayView text, qsizetype at, bool *entities) {
    qsizetype i = at + 2;
    int brackets = 0;
    const qsizetype size = text.size();
    while (i < size) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            const qsizetype close = text.indexOf(c, i + 1);
            if (close < 0)
                return -1;
            i = close + 1;
            continue;
        }
        if (c == '<' && text.sliced(i).startsWith("<!--")) {
            const qsizetype close = ByteSearch::findMarker(text, "-->", i + 4);
            if (close < 0)
                return -1;
            i = close + 3;
            continue;
        }
        if (c == '<' && text.sliced(i).startsWith("<!ENTITY"))
            *entities = true;
        if (c == '[')
            ++brackets;
        else if (c == ']')
            --brackets;
        else if (c == '>' && brackets == 0)
            return i + 1;
        ++i;
    }
    return -1;
}

// After the start tag's '>', or -1; attribute values may hold '>'.
qsizetype skipTag(QByteArrayView text, qsizetype from) {
    const qsizetype size = text.size();
    qsizetype i = from;
    while (i < size) {
        const char c = text[i];
        if (c == '>')
            return i + 1;
        if (c == '"' || c == '\'') {
            const qsizetype close = text.indexOf(c, i + 1);
            if (close < 0)
                return -1;
            i = close + 1;
            continue;
        }
        ++i;
    }
    return -1;
}
} // namespace

std::optional<XmlOutline> XmlOutline::of(QByteArrayView text, int maxDepth, QByteArrayView leaf) {
    if (text.size() >= std::numeric_limits<qint32>::max())
        return std::nullopt;
    XmlOutline outline;
    outline.m_text = text;
    // Reserved ahead, the list is not copied as it grows, and pages never
    // used are never touched. Without the children of leaves, a feed has
    // an element in every kilobyte or so.
    outline.m_elements.reserve(size_t(text.size() / (leaf.isEmpty() ? 64 : 512)) + 16);
    LargePages::advise(outline.m_elements.data(),
                       qsizetype(outline.m_elements.capacity() * sizeof(Element)));
    if (!outline.scan(0, text.size(), maxDepth, leaf))
        return std::nullopt;
    return outline;
}

std::optional<XmlOutline> XmlOutline::ofElement(QByteArrayView text, qsizetype begin,
                                                qsizetype end) {
    if (text.size() >= std::numeric_limits<qint32>::max() || begin < 0 || end > text.size() ||
        begin >= end)
        return std::nullopt;
    XmlOutline outline;
    outline.m_text = text;
    outline.m_elements.reserve(24);
    if (!outline.scan(begin, end, 1, {}))
        return std::nullopt;
    return outline;
}

bool XmlOutline::scan(qsizetype from, qsizetype to, int maxDepth, QByteArrayView leaf) {
    const QByteArrayView text = m_text;
    XmlOutline &outline = *this;
    std::vector<qint32> open;      // recorded elements still open
    std::vector<qint32> lastChild; // per open recorded element, and one for the top
    lastChild.push_back(-1);
    int depth = 0;
    // Deeper than this nothing is recorded: maxDepth, or the depth of the
    // leaf whose children are being passed over.
    int recordMax = maxDepth;
    const qsizetype size = to;
    const char *data = text.data();
    qsizetype pos = from;
    bool rootClosed = false;
    while (pos < size && !rootClosed) {
        const void *hit = std::memchr(data + pos, '<', size_t(size - pos));
        if (!hit)
            break;
        const qsizetype lt = static_cast<const char *>(hit) - data;
        if (lt + 1 >= size)
            return false;
        const char next = data[lt + 1];
        if (next == '/') {
            const qsizetype gt = text.indexOf('>', lt);
            if (gt < 0 || depth == 0)
                return false;
            --depth;
            if (depth <= recordMax) {
                recordMax = maxDepth;
                Element &element = outline.m_elements[size_t(open.back())];
                element.contentEnd = qint32(lt);
                element.end = qint32(gt + 1);
                open.pop_back();
                lastChild.pop_back();
            }
            pos = gt + 1;
            rootClosed = depth == 0;
            continue;
        }
        if (next == '?') {
            const qsizetype close = ByteSearch::findMarker(text, "?>", lt + 2);
            if (close < 0)
                return false;
            pos = close + 2;
            continue;
        }
        if (next == '!') {
            const QByteArrayView rest = text.sliced(lt);
            qsizetype after = -1;
            if (rest.startsWith("<!--")) {
                const qsizetype close = ByteSearch::findMarker(text, "-->", lt + 4);
                after = close < 0 ? -1 : close + 3;
            } else if (rest.startsWith("<![CDATA[")) {
                const qsizetype close = ByteSearch::findMarker(text, "]]>", lt + 9);
                after = close < 0 ? -1 : close + 3;
            } else {
                bool entities = false;
                after = skipDoctype(text, lt, &entities);
                if (entities)
                    return false;
            }
            if (after < 0)
                return false;
            pos = after;
            continue;
        }
        // A start tag.
        qsizetype nameEnd = lt + 1;
        while (nameEnd < size && !isSpace(data[nameEnd]) && data[nameEnd] != '/' &&
               data[nameEnd] != '>')
            ++nameEnd;
        const qsizetype after = skipTag(text, nameEnd);
        if (after < 0)
            return false;
        const bool selfClosing = data[after - 2] == '/';
        if (depth <= recordMax) {
            Element element;
            element.begin = qint32(lt);
            element.contentBegin = qint32(after);
            element.contentEnd = qint32(after);
            element.end = qint32(after);
            const qint32 parent = open.empty() ? -1 : open.back();
            const auto index = qint32(outline.m_elements.size());
            if (lastChild.back() >= 0)
                outline.m_elements[size_t(lastChild.back())].nextSibling = index;
            else if (parent >= 0)
                outline.m_elements[size_t(parent)].firstChild = index;
            lastChild.back() = index;
            outline.m_elements.push_back(element);
            if (!selfClosing) {
                open.push_back(index);
                lastChild.push_back(-1);
                if (!leaf.isEmpty() && text.sliced(lt + 1, nameEnd - lt - 1) == leaf)
                    recordMax = depth;
            }
        }
        if (!selfClosing)
            ++depth;
        else
            rootClosed = depth == 0;
        pos = after;
    }
    return !outline.m_elements.empty() && depth == 0;
}

qsizetype XmlOutline::nameEnd(qint32 index) const {
    const qsizetype end = at(index).contentBegin;
    qsizetype i = at(index).begin + 1;
    while (i < end && !isSpace(m_text[i]) && m_text[i] != '/' && m_text[i] != '>')
        ++i;
    return i;
}

QByteArrayView XmlOutline::name(qint32 index) const {
    const qsizetype begin = at(index).begin + 1;
    return m_text.sliced(begin, nameEnd(index) - begin);
}

qint32 XmlOutline::child(qint32 parent, QByteArrayView name) const {
    for (qint32 i = at(parent).firstChild; i >= 0; i = at(i).nextSibling) {
        if (this->name(i) == name)
            return i;
    }
    return -1;
}

QList<XmlOutline::Attribute> XmlOutline::attributes(qint32 index) const {
    const Element &element = at(index);
    QList<Attribute> list;
    qsizetype i = nameEnd(index);
    const qsizetype end = element.contentBegin;
    while (i < end) {
        while (i < end && (isSpace(m_text[i]) || m_text[i] == '/' || m_text[i] == '>'))
            ++i;
        if (i >= end)
            break;
        const qsizetype nameBegin = i;
        while (i < end && m_text[i] != '=' && !isSpace(m_text[i]))
            ++i;
        const QByteArrayView qualifiedName = m_text.sliced(nameBegin, i - nameBegin);
        while (i < end && m_text[i] != '"' && m_text[i] != '\'')
            ++i;
        if (i >= end)
            break;
        const char quote = m_text[i];
        const qsizetype close = m_text.indexOf(quote, i + 1);
        if (close < 0 || close >= end)
            break;
        list.append({qualifiedName, i + 1, close, quote});
        i = close + 1;
    }
    return list;
}

bool XmlOutline::hasContent(qint32 index) const {
    const Element &element = at(index);
    for (qsizetype i = element.contentBegin; i < element.contentEnd; ++i) {
        if (!isSpace(m_text[i]))
            return true;
    }
    return false;
}
