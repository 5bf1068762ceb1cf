#include "FeedSource.h"

#include "FeedSchema.h"

#include <cerrno>
#include <iconv.h>

namespace {
// The root, the channel, its children (items, the owner) and theirs.
constexpr int OutlineDepth = 3;

bool startsWith(const QByteArray &bytes, QByteArrayView prefix) {
    return bytes.startsWith(prefix);
}

std::optional<QByteArray> convert(const QByteArray &bytes, const char *from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == iconv_t(-1))
        return std::nullopt;
    QByteArray out(bytes.size() * 2 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    size_t used = 0;
    bool ok = true;
    while (inLeft > 0) {
        char *outPtr = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = size_t(outPtr - out.data());
        if (result != size_t(-1))
            continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false;
        break;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.truncate(qsizetype(used));
    return out;
}

// The encoding the declaration at `from` names, and where its value stands.
QByteArrayView declaredEncoding(const QByteArray &text, qsizetype from, qsizetype *begin,
                                qsizetype *end) {
    if (!QByteArrayView(text).sliced(from).startsWith("<?xml"))
        return {};
    const qsizetype close = text.indexOf("?>", from);
    if (close < 0)
        return {};
    const qsizetype at = QByteArrayView(text).first(close).indexOf("encoding", from);
    if (at < 0)
        return {};
    qsizetype i = at + 8;
    while (i < close && text[i] != '"' && text[i] != '\'')
        ++i;
    if (i >= close)
        return {};
    const qsizetype valueEnd = text.indexOf(text[i], i + 1);
    if (valueEnd < 0 || valueEnd > close)
        return {};
    *begin = i + 1;
    *end = valueEnd;
    return QByteArrayView(text).sliced(i + 1, valueEnd - i - 1);
}
} // namespace

bool FeedSource::isUtf8Text(const QByteArray &bytes) {
    if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, QByteArrayView("\0<\0?", 4)) ||
        startsWith(bytes, "\xFF\xFE") || startsWith(bytes, QByteArrayView("<\0?\0", 4)))
        return false;
    const qsizetype bom = startsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0;
    qsizetype begin = 0;
    qsizetype end = 0;
    const QByteArray encoding = declaredEncoding(bytes, bom, &begin, &end).toByteArray().toLower();
    return encoding.isEmpty() || encoding == "utf-8" || encoding == "utf8" ||
           encoding == "us-ascii" || encoding == "ascii";
}

std::optional<QByteArray> FeedSource::utf8Text(const QByteArray &bytes) {
    if (isUtf8Text(bytes))
        return bytes;
    const char *wide = nullptr;
    if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, QByteArrayView("\0<\0?", 4)))
        wide = startsWith(bytes, "\xFE\xFF") ? "UTF-16" : "UTF-16BE";
    else if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, QByteArrayView("<\0?\0", 4)))
        wide = startsWith(bytes, "\xFF\xFE") ? "UTF-16" : "UTF-16LE";
    // A UTF-8 byte-order mark stays; the parser still follows a declaration
    // after it that names another encoding, and so does this.
    const qsizetype bom = !wide && startsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0;
    QByteArray text = bytes;
    if (wide) {
        const std::optional<QByteArray> converted = convert(bytes, wide);
        if (!converted)
            return std::nullopt;
        text = *converted;
    }
    qsizetype begin = 0;
    qsizetype end = 0;
    const QByteArray encoding = declaredEncoding(text, bom, &begin, &end).toByteArray().toLower();
    const bool utf8 = encoding.isEmpty() || encoding == "utf-8" || encoding == "utf8";
    if (!wide && (utf8 || encoding == "us-ascii" || encoding == "ascii"))
        return text;
    if (!wide) {
        const std::optional<QByteArray> converted =
            convert(bytes.sliced(bom), encoding.constData());
        if (!converted)
            return std::nullopt;
        text = bytes.first(bom) + *converted;
        declaredEncoding(text, bom, &begin, &end);
    }
    // The text is UTF-8 now, and its declaration must say so.
    if (end > begin || !encoding.isEmpty())
        text.replace(begin, end - begin, "utf-8");
    return text;
}

std::shared_ptr<FeedSource> FeedSource::prepare(const QByteArray &bytes) {
    std::optional<QByteArray> text = utf8Text(bytes);
    if (!text)
        return nullptr;
    std::shared_ptr<FeedSource> source(new FeedSource);
    // The outline points into this buffer: from here on it is only read,
    // never written through a non-const call that could copy it away.
    source->m_text = std::move(*text);
    // Items' children are outlined when wanted: held for every item of a
    // long feed, they were a third of what a load kept beside the text.
    std::optional<XmlOutline> outline =
        XmlOutline::of(source->m_text, OutlineDepth, FeedSchema::ItemElement);
    if (!outline)
        return nullptr;
    source->m_outline = std::move(*outline);
    const XmlOutline &o = source->m_outline;
    if (o.name(0) != "rss")
        return nullptr;
    source->m_channel = o.child(0, "channel");
    if (source->m_channel < 0 || o.at(source->m_channel).isSelfClosing())
        return nullptr;
    // The loader reads the first channel only; a second one would leave its
    // items where no episode says.
    for (qint32 i = o.at(0).firstChild; i >= 0; i = o.at(i).nextSibling) {
        if (i != source->m_channel && o.name(i) == "channel")
            return nullptr;
    }
    for (qint32 i = o.at(source->m_channel).firstChild; i >= 0; i = o.at(i).nextSibling) {
        if (o.name(i) == FeedSchema::ItemElement)
            source->m_allItems.push_back(i);
    }
    const qsizetype lf = source->m_text.indexOf('\n');
    source->m_eol = lf > 0 && source->m_text.at(lf - 1) == '\r' ? QByteArray("\r\n") : "\n";
    return source;
}

std::shared_ptr<const FeedSource> FeedSource::finish(std::shared_ptr<FeedSource> source,
                                                     Loaded loaded, qsizetype itemsRead) {
    // Items are matched by their number: the parser and the outline must
    // have seen the same ones.
    if (!source || qsizetype(source->m_items.size()) != loaded.episodes.size() ||
        itemsRead != source->itemCount())
        return nullptr;
    source->m_loaded = std::move(loaded);
    return source;
}

qint32 FeedSource::fieldElement(int index) const {
    const FeedSchema::Place &place = FeedSchema::Channel[size_t(index)];
    if (!place.parent)
        return m_outline.child(m_channel, place.element);
    const qint32 parent = m_outline.child(m_channel, place.parent);
    return parent < 0 ? -1 : m_outline.child(parent, place.element);
}

qint32 FeedSource::listItem(qsizetype ordinal) {
    if (ordinal < 0 || size_t(ordinal) >= m_allItems.size())
        return -1;
    m_items.push_back(m_allItems[size_t(ordinal)]);
    return m_items.back();
}

qint32 FeedSource::itemElement(qsizetype ordinal) const {
    return ordinal < 0 || size_t(ordinal) >= m_allItems.size() ? -1 : m_allItems[size_t(ordinal)];
}

std::optional<XmlOutline> FeedSource::itemOutline(qint32 item) const {
    const XmlOutline::Element &e = m_outline.at(item);
    return XmlOutline::ofElement(m_text, e.begin, e.end);
}

bool FeedSource::hasField(int index) const {
    return fieldElement(index) >= 0;
}

bool FeedSource::hasColumn(qint32 source, int column) const {
    if (source < 0 || size_t(source) >= m_items.size())
        return false;
    const std::optional<XmlOutline> item = itemOutline(m_items[size_t(source)]);
    const qint32 element = item ? item->child(0, FeedSchema::Item[size_t(column)].element) : -1;
    if (element < 0)
        return false;
    const char *attribute = FeedSchema::Item[size_t(column)].attribute;
    if (!attribute)
        return true;
    for (const XmlOutline::Attribute &a : item->attributes(element)) {
        if (a.qualifiedName.toByteArray().toLower() == attribute)
            return true;
    }
    return false;
}

QString FeedSource::valueAsText(int index) const {
    const qint32 element = fieldElement(index);
    if (element < 0 || !FeedSchema::Channel[size_t(index)].attribute ||
        !m_outline.attributes(element).isEmpty() || !m_outline.hasContent(element))
        return {};
    const XmlOutline::Element &e = m_outline.at(element);
    return QString::fromUtf8(
        QByteArrayView(m_text).sliced(e.contentBegin, e.contentEnd - e.contentBegin).trimmed());
}
