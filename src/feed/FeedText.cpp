#include "FeedText.h"

#include "KeptContent.h"
#include "model/PodcastDocument.h"

#include <QStringEncoder>
#include <array>
#include <cstring>
#include <vector>

namespace FeedText {
namespace {
constexpr QLatin1StringView Eol("\r\n");
constexpr QLatin1StringView Indent5("     ");
constexpr QLatin1StringView Indent10("          ");
constexpr QLatin1StringView Indent15("               ");

// Line end and indentation steps. The fixed layout is CR LF with five blanks
// a level; an item added to a loaded feed takes the file's own.
struct Layout {
    QLatin1StringView eol = Eol;
    QLatin1StringView step = Indent5;
    // Which of an item's elements are written when they hold nothing.
    const std::array<bool, EpisodeColumn::Count> *writeEmpty = nullptr;
    bool writesEmpty(int column) const { return !writeEmpty || (*writeEmpty)[size_t(column)]; }
};
const Layout Fixed;

// Reading turns a bare carriage return into a line feed; one held in a value
// (from &#13;) is written as the reference, so that it comes back.
QString withCrReferences(const QString &value) {
    if (!value.contains(u'\r'))
        return value;
    QString text = value;
    return text.replace(u'\r', QLatin1StringView("&#13;"));
}

// Collects the text as UTF-16, for callers that want a QString.
class Utf16Sink {
public:
    explicit Utf16Sink(qsizetype valueUnits, qsizetype markupUnits) {
        m_text.reserve(valueUnits + markupUnits);
    }
    void literal(QLatin1StringView text) { m_text += text; }
    void literal(QChar c) { m_text += c; }
    void value(const QString &text) { m_text += withCrReferences(text); }
    void raw(QByteArrayView utf8) { m_text += QString::fromUtf8(utf8); }
    QString take() { return std::move(m_text); }

private:
    QString m_text;
};

// Encodes straight to UTF-8: a large feed never exists twice in memory.
class Utf8Sink {
public:
    explicit Utf8Sink(qsizetype valueUnits, qsizetype markupUnits)
        // Values rarely leave ASCII by much; growing covers the rest.
        : m_bytes(valueUnits + valueUnits / 4 + markupUnits, Qt::Uninitialized) {}

    void literal(QLatin1StringView text) {
        std::memcpy(room(text.size()), text.data(), size_t(text.size()));
        m_used += text.size();
    }
    void literal(QChar c) {
        *room(1) = char(c.unicode());
        ++m_used;
    }
    void value(const QString &held) {
        const QString text = withCrReferences(held);
        const qsizetype size = text.size();
        char *out = room(3 * size); // a UTF-16 unit never takes more than 3 bytes
        const char16_t *in = reinterpret_cast<const char16_t *>(text.constData());
        qsizetype i = 0;
        while (i < size && in[i] < 0x80) {
            out[i] = char(in[i]);
            ++i;
        }
        if (i == size) {
            m_used += size;
            return;
        }
        char *end = m_encoder.appendToBuffer(out + i, QStringView(text).sliced(i));
        // The encoder writes U+FFFD for a lone surrogate where toUtf8() writes
        // '?'; such rare values take the slow road so both agree.
        if (QByteArrayView(out, end).contains(Replacement)) {
            const QByteArray exact = text.toUtf8();
            std::memcpy(out, exact.constData(), size_t(exact.size()));
            end = out + exact.size();
        }
        m_used = end - m_bytes.constData();
    }
    void raw(QByteArrayView utf8) {
        if (utf8.isEmpty())
            return; // a null view: memcpy may not be handed a null pointer
        std::memcpy(room(utf8.size()), utf8.data(), size_t(utf8.size()));
        m_used += utf8.size();
    }
    QByteArray take() {
        m_bytes.truncate(m_used);
        return std::move(m_bytes);
    }

private:
    char *room(qsizetype needed) {
        if (m_bytes.size() - m_used < needed)
            m_bytes.resize(qMax(m_bytes.size() * 3 / 2, m_used + needed));
        return m_bytes.data() + m_used;
    }

    static constexpr QByteArrayView Replacement{"\xEF\xBF\xBD"};
    QByteArray m_bytes;
    qsizetype m_used = 0;
    // Markup (ASCII) surrounds every value, so encoding each value on its own
    // gives the same bytes as encoding the whole text at once.
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

// Kept XML goes in with the file's line ends.
template<typename Sink> void lines(Sink &out, QByteArrayView xml, const Layout &layout = Fixed) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = xml.indexOf('\n', from);
        if (lf < 0) {
            out.raw(xml.sliced(from));
            return;
        }
        qsizetype end = lf;
        if (end > from && xml[end - 1] == '\r')
            --end;
        out.raw(xml.sliced(from, end - from));
        out.literal(layout.eol);
        from = lf + 1;
    }
}

// A kept block taken apart: the pieces that add to written elements, and
// the rest, which follows the written lines.
class Kept {
public:
    Kept() = default;
    Kept(QByteArrayView block, KeptContent::Written (*written)(QByteArrayView)) {
        if (block.isEmpty())
            return;
        for (const KeptContent::Node &node : KeptContent::split(block)) {
            const KeptContent::Written kind =
                node.name.isEmpty() ? KeptContent::Written::None : written(node.name);
            if (kind != KeptContent::Written::None && !adds(node.name) &&
                KeptContent::addsToWritten(node, kind))
                m_adds.push_back(node);
            else
                m_rest.push_back(node);
        }
    }
    const KeptContent::Node *adds(QByteArrayView name) const {
        for (const KeptContent::Node &node : m_adds) {
            if (node.name == name)
                return &node;
        }
        return nullptr;
    }
    const std::vector<KeptContent::Node> &rest() const { return m_rest; }

private:
    std::vector<KeptContent::Node> m_adds;
    std::vector<KeptContent::Node> m_rest;
};

template<typename Sink, typename Nodes>
void keptLines(Sink &out, QLatin1StringView indent, const Nodes &nodes,
               const Layout &layout = Fixed) {
    for (const KeptContent::Node &node : nodes) {
        out.literal(indent);
        lines(out, node.xml, layout);
        out.literal(layout.eol);
    }
}

// What a piece adds inside an element that the editor writes with ` />`.
template<typename Sink>
void closeWithChildren(Sink &out, QLatin1StringView indent, QLatin1StringView name,
                       const KeptContent::Node *adds, const Layout &layout = Fixed) {
    const QList<KeptContent::Node> children =
        adds ? KeptContent::split(adds->content) : QList<KeptContent::Node>();
    if (children.isEmpty()) {
        out.literal(QLatin1StringView(" />"));
        out.literal(layout.eol);
        return;
    }
    out.literal(u'>');
    out.literal(layout.eol);
    const QByteArray deep = QByteArray(indent.data(), indent.size()) +
                            QByteArray(layout.step.data(), layout.step.size());
    for (const KeptContent::Node &child : children) {
        out.literal(QLatin1StringView(deep));
        lines(out, child.xml, layout);
        out.literal(layout.eol);
    }
    out.literal(indent);
    out.literal(QLatin1StringView("</"));
    out.literal(name);
    out.literal(u'>');
    out.literal(layout.eol);
}

template<typename Sink>
void element(Sink &out, QLatin1StringView indent, QLatin1StringView name, const QString &value,
             const Kept &kept = {}, const Layout &layout = Fixed, int column = -1) {
    const KeptContent::Node *adds = kept.adds(QByteArrayView(name.data(), name.size()));
    if (value.isEmpty() && !adds && column >= 0 && !layout.writesEmpty(column))
        return;
    out.literal(indent);
    out.literal(u'<');
    out.literal(name);
    if (adds)
        lines(out, adds->attributes, layout);
    out.literal(u'>');
    out.value(value);
    if (adds)
        lines(out, adds->content, layout);
    out.literal(QLatin1StringView("</"));
    out.literal(name);
    out.literal(u'>');
    out.literal(layout.eol);
}

// An element whose values are attributes: ` name="value"` each.
template<typename Sink>
void attributeElement(Sink &out, QLatin1StringView indent, QLatin1StringView name,
                      std::initializer_list<std::pair<QLatin1StringView, const QString *>> values,
                      const Kept &kept, const Layout &layout = Fixed, int column = -1) {
    const KeptContent::Node *adds = kept.adds(QByteArrayView(name.data(), name.size()));
    if (!adds && column >= 0 && !layout.writesEmpty(column) &&
        std::all_of(values.begin(), values.end(),
                    [](const auto &value) { return value.second->isEmpty(); }))
        return;
    out.literal(indent);
    out.literal(u'<');
    out.literal(name);
    for (const auto &[attribute, value] : values) {
        out.literal(u' ');
        out.literal(attribute);
        out.literal(QLatin1StringView("=\""));
        out.value(*value);
        out.literal(u'"');
    }
    if (adds)
        lines(out, adds->attributes, layout);
    closeWithChildren(out, indent, name, adds, layout);
}

template<typename Sink>
void item(Sink &out, const Episode &episode, QLatin1StringView indent,
          QLatin1StringView childIndent, const Layout &layout = Fixed) {
    namespace E = EpisodeColumn;
    using L = QLatin1StringView;
    const QByteArray extra = episode.extra();
    const Kept item(extra, KeptContent::itemElement);
    out.literal(indent);
    out.literal(L("<item>"));
    out.literal(layout.eol);
    const auto text = [&](const char *name, int column) {
        element(out, childIndent, L(name), episode[column], item, layout, column);
    };
    text("title", E::Title);
    text("itunes:author", E::Author);
    text("itunes:subtitle", E::Subtitle);
    text("itunes:summary", E::Summary);
    const QString url = episode[E::Url];
    const QString type = episode[E::Type];
    const QString length = episode[E::Length];
    attributeElement(out, childIndent, L("enclosure"),
                     {{L("url"), &url}, {L("type"), &type}, {L("length"), &length}}, item, layout,
                     E::Url);
    text("guid", E::Guid);
    text("pubDate", E::PubDate);
    text("itunes:duration", E::Duration);
    text("itunes:keywords", E::Keywords);
    text("itunes:explicit", E::Explicit);
    text("category", E::Category);
    keptLines(out, childIndent, item.rest(), layout);
    out.literal(indent);
    out.literal(L("</item>"));
}

template<typename Sink> Sink write(const PodcastDocument &document, const QString &buildDate) {
    using namespace ChannelField;
    namespace E = EpisodeColumn;
    using L = QLatin1StringView;

    qsizetype valueUnits = buildDate.size();
    // Kept content is UTF-8 already: its size is known to the byte.
    qsizetype keptBytes =
        document.channelExtra().size() + document.hiddenItems().size() + document.prolog().size();
    for (int i = 0; i < ChannelField::Count; ++i)
        valueUnits += document.field(i).size();
    for (const Episode &episode : document.episodes()) {
        // UTF-8 bytes: never fewer than the UTF-16 units they make.
        for (int column = 0; column < EpisodeColumn::Count; ++column)
            valueUnits += episode.view(column).size();
        keptBytes += episode.extraSize();
    }
    // The fixed markup: about 1 KB for the channel, under 600 units per item,
    // and a little for the line ends and indentation kept content gains.
    Sink out(valueUnits, keptBytes + keptBytes / 16 + 1024 + 600 * document.episodeCount());

    out.literal(L(R"(<?xml version="1.0" encoding="utf-8"?>)"));
    out.literal(Eol);
    for (const KeptContent::Node &node : KeptContent::split(document.prolog())) {
        lines(out, node.xml);
        out.literal(Eol);
    }
    out.literal(L(R"(<rss xmlns:itunes=")"));
    out.literal(L(ItunesNamespace));
    out.literal(u'"');
    for (const auto &[prefix, name] : document.namespaces()) {
        out.literal(L(" xmlns:"));
        out.value(prefix);
        out.literal(L("=\""));
        out.value(name);
        out.literal(u'"');
    }
    out.literal(L(R"( version="2.0">)"));
    out.literal(Eol);
    out.literal(Indent5);
    out.literal(L("<channel>"));
    out.literal(Eol);

    const Kept channel(document.channelExtra(), KeptContent::channelElement);
    element(out, Indent10, L("lastBuildDate"), buildDate);
    element(out, Indent10, L("title"), document.field(Title), channel);
    element(out, Indent10, L("link"), document.field(Link), channel);
    element(out, Indent10, L("language"), document.field(Language), channel);
    element(out, Indent10, L("copyright"), document.field(Copyright), channel);
    element(out, Indent10, L("description"), document.field(Description), channel);
    element(out, Indent10, L("itunes:subtitle"), document.field(Subtitle), channel);
    element(out, Indent10, L("itunes:author"), document.field(Author), channel);
    element(out, Indent10, L("itunes:summary"), document.field(Summary), channel);
    const QString category = document.field(Category);
    attributeElement(out, Indent10, L("itunes:category"), {{L("text"), &category}}, channel);
    const KeptContent::Node *owner = channel.adds("itunes:owner");
    out.literal(Indent10);
    out.literal(L("<itunes:owner"));
    if (owner)
        lines(out, owner->attributes);
    out.literal(u'>');
    out.literal(Eol);
    element(out, Indent15, L("itunes:name"), document.field(OwnerName));
    element(out, Indent15, L("itunes:email"), document.field(OwnerEmail));
    if (owner) {
        for (const KeptContent::Node &child : KeptContent::split(owner->content)) {
            out.literal(Indent15);
            lines(out, child.xml);
            out.literal(Eol);
        }
    }
    out.literal(Indent10);
    out.literal(L("</itunes:owner>"));
    out.literal(Eol);
    const QString image = document.field(ImageLink);
    attributeElement(out, Indent10, L("itunes:image"), {{L("href"), &image}}, channel);
    keptLines(out, Indent10, channel.rest());

    for (const Episode &episode : document.episodes()) {
        item(out, episode, Indent10, Indent15);
        out.literal(Eol);
    }
    // Items without a title are not listed but stay in the feed.
    keptLines(out, Indent10, KeptContent::split(document.hiddenItems()));

    out.literal(Indent5);
    out.literal(L("</channel>"));
    out.literal(Eol);
    out.literal(L("</rss>"));
    return out;
}
} // namespace

QString build(const PodcastDocument &document, const QString &buildDate) {
    return write<Utf16Sink>(document, buildDate).take();
}

QByteArray buildUtf8(const PodcastDocument &document, const QString &buildDate) {
    return write<Utf8Sink>(document, buildDate).take();
}

QByteArray itemUtf8(const Episode &episode, const ItemLayout &itemLayout) {
    const QLatin1StringView eol(itemLayout.eol);
    const QLatin1StringView step(itemLayout.step);
    Layout layout{eol, step, &itemLayout.writeEmpty};
    qsizetype size = episode.extraSize() + 600;
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        size += episode.view(column).size();
    Utf8Sink out(size, 0);
    item(out, episode, QLatin1StringView(itemLayout.indent),
         QLatin1StringView(itemLayout.childIndent), layout);
    return out.take().sliced(itemLayout.indent.size());
}
} // namespace FeedText
