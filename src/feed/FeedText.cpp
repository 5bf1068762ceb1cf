#include "FeedText.h"

#include "model/PodcastDocument.h"

#include <QStringEncoder>
#include <cstring>

namespace FeedText {
namespace {
constexpr QLatin1StringView Eol("\r\n");
constexpr QLatin1StringView Indent5("     ");
constexpr QLatin1StringView Indent10("          ");
constexpr QLatin1StringView Indent15("               ");

// Collects the text as UTF-16, for callers that want a QString.
class Utf16Sink {
public:
    explicit Utf16Sink(qsizetype valueUnits, qsizetype markupUnits) {
        m_text.reserve(valueUnits + markupUnits);
    }
    void literal(QLatin1StringView text) { m_text += text; }
    void literal(QChar c) { m_text += c; }
    void value(const QString &text) { m_text += text; }
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
    void value(const QString &text) {
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

template<typename Sink>
void element(Sink &out, QLatin1StringView indent, QLatin1StringView name, const QString &value) {
    out.literal(indent);
    out.literal(u'<');
    out.literal(name);
    out.literal(u'>');
    out.value(value);
    out.literal(QLatin1StringView("</"));
    out.literal(name);
    out.literal(u'>');
    out.literal(Eol);
}

template<typename Sink> Sink write(const PodcastDocument &document, const QString &buildDate) {
    using namespace ChannelField;
    namespace E = EpisodeColumn;

    qsizetype valueUnits = buildDate.size();
    for (int i = 0; i < ChannelField::Count; ++i)
        valueUnits += document.field(i).size();
    for (const Episode &episode : document.episodes())
        for (const QString &column : episode.columns)
            valueUnits += column.size();
    // The fixed markup: about 1 KB for the channel, under 600 units per item.
    Sink out(valueUnits, 1024 + 600 * document.episodeCount());

    out.literal(QLatin1StringView(R"(<?xml version="1.0" encoding="utf-8"?>)"));
    out.literal(Eol);
    out.literal(QLatin1StringView(R"(<rss xmlns:itunes=")"));
    out.literal(QLatin1StringView(ItunesNamespace));
    out.literal(QLatin1StringView(R"(" version="2.0">)"));
    out.literal(Eol);
    out.literal(Indent5);
    out.literal(QLatin1StringView("<channel>"));
    out.literal(Eol);
    element(out, Indent10, QLatin1StringView("lastBuildDate"), buildDate);
    element(out, Indent10, QLatin1StringView("title"), document.field(Title));
    element(out, Indent10, QLatin1StringView("link"), document.field(Link));
    element(out, Indent10, QLatin1StringView("language"), document.field(Language));
    element(out, Indent10, QLatin1StringView("copyright"), document.field(Copyright));
    element(out, Indent10, QLatin1StringView("description"), document.field(Description));
    element(out, Indent10, QLatin1StringView("itunes:subtitle"), document.field(Subtitle));
    element(out, Indent10, QLatin1StringView("itunes:author"), document.field(Author));
    element(out, Indent10, QLatin1StringView("itunes:summary"), document.field(Summary));
    out.literal(Indent10);
    out.literal(QLatin1StringView(R"(<itunes:category text=")"));
    out.value(document.field(Category));
    out.literal(QLatin1StringView(R"(" />)"));
    out.literal(Eol);
    out.literal(Indent10);
    out.literal(QLatin1StringView("<itunes:owner>"));
    out.literal(Eol);
    element(out, Indent15, QLatin1StringView("itunes:name"), document.field(OwnerName));
    element(out, Indent15, QLatin1StringView("itunes:email"), document.field(OwnerEmail));
    out.literal(Indent10);
    out.literal(QLatin1StringView("</itunes:owner>"));
    out.literal(Eol);
    out.literal(Indent10);
    out.literal(QLatin1StringView(R"(<itunes:image href=")"));
    out.value(document.field(ImageLink));
    out.literal(QLatin1StringView(R"(" />)"));
    out.literal(Eol);

    for (const Episode &episode : document.episodes()) {
        out.literal(Indent10);
        out.literal(QLatin1StringView("<item>"));
        out.literal(Eol);
        element(out, Indent15, QLatin1StringView("title"), episode[E::Title]);
        element(out, Indent15, QLatin1StringView("itunes:author"), episode[E::Author]);
        element(out, Indent15, QLatin1StringView("itunes:subtitle"), episode[E::Subtitle]);
        element(out, Indent15, QLatin1StringView("itunes:summary"), episode[E::Summary]);
        out.literal(Indent15);
        out.literal(QLatin1StringView(R"(<enclosure url=")"));
        out.value(episode[E::Url]);
        out.literal(QLatin1StringView(R"(" type=")"));
        out.value(episode[E::Type]);
        out.literal(QLatin1StringView(R"(" length=")"));
        out.value(episode[E::Length]);
        out.literal(QLatin1StringView(R"(" />)"));
        out.literal(Eol);
        element(out, Indent15, QLatin1StringView("guid"), episode[E::Guid]);
        element(out, Indent15, QLatin1StringView("pubDate"), episode[E::PubDate]);
        element(out, Indent15, QLatin1StringView("itunes:duration"), episode[E::Duration]);
        element(out, Indent15, QLatin1StringView("itunes:keywords"), episode[E::Keywords]);
        element(out, Indent15, QLatin1StringView("itunes:explicit"), episode[E::Explicit]);
        element(out, Indent15, QLatin1StringView("category"), episode[E::Category]);
        out.literal(Indent10);
        out.literal(QLatin1StringView("</item>"));
        out.literal(Eol);
    }

    out.literal(Indent5);
    out.literal(QLatin1StringView("</channel>"));
    out.literal(Eol);
    out.literal(QLatin1StringView("</rss>"));
    return out;
}
} // namespace

QString build(const PodcastDocument &document, const QString &buildDate) {
    return write<Utf16Sink>(document, buildDate).take();
}

QByteArray buildUtf8(const PodcastDocument &document, const QString &buildDate) {
    return write<Utf8Sink>(document, buildDate).take();
}
} // namespace FeedText
