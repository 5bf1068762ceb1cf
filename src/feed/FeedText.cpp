#include "FeedText.h"

#include "model/PodcastDocument.h"

namespace FeedText {
namespace {
constexpr QLatin1StringView Eol("\r\n");
constexpr QLatin1StringView Indent5("     ");
constexpr QLatin1StringView Indent10("          ");
constexpr QLatin1StringView Indent15("               ");

void element(QString &out, QLatin1StringView indent, QLatin1StringView name, const QString &value) {
    out += indent;
    out += u'<';
    out += name;
    out += u'>';
    out += value;
    out += QLatin1StringView("</");
    out += name;
    out += u'>';
    out += Eol;
}

qsizetype estimatedSize(const PodcastDocument &document) {
    qsizetype size = 1024;
    for (int i = 0; i < ChannelField::Count; ++i)
        size += document.field(i).size();
    for (const Episode &episode : document.episodes()) {
        size += 600;
        for (const QString &column : episode.columns)
            size += column.size();
    }
    return size;
}
} // namespace

QString build(const PodcastDocument &document, const QString &buildDate) {
    using namespace ChannelField;
    QString out;
    out.reserve(estimatedSize(document));

    out += QLatin1StringView(R"(<?xml version="1.0" encoding="utf-8"?>)");
    out += Eol;
    out += QLatin1StringView(R"(<rss xmlns:itunes=")");
    out += QLatin1StringView(ItunesNamespace);
    out += QLatin1StringView(R"(" version="2.0">)");
    out += Eol;
    out += Indent5 + QLatin1StringView("<channel>") + Eol;
    element(out, Indent10, QLatin1StringView("lastBuildDate"), buildDate);
    element(out, Indent10, QLatin1StringView("title"), document.field(Title));
    element(out, Indent10, QLatin1StringView("link"), document.field(Link));
    element(out, Indent10, QLatin1StringView("language"), document.field(Language));
    element(out, Indent10, QLatin1StringView("copyright"), document.field(Copyright));
    element(out, Indent10, QLatin1StringView("description"), document.field(Description));
    element(out, Indent10, QLatin1StringView("itunes:subtitle"), document.field(Subtitle));
    element(out, Indent10, QLatin1StringView("itunes:author"), document.field(Author));
    element(out, Indent10, QLatin1StringView("itunes:summary"), document.field(Summary));
    out += Indent10 + QLatin1StringView(R"(<itunes:category text=")") + document.field(Category) +
           QLatin1StringView(R"(" />)") + Eol;
    out += Indent10 + QLatin1StringView("<itunes:owner>") + Eol;
    element(out, Indent15, QLatin1StringView("itunes:name"), document.field(OwnerName));
    element(out, Indent15, QLatin1StringView("itunes:email"), document.field(OwnerEmail));
    out += Indent10 + QLatin1StringView("</itunes:owner>") + Eol;
    out += Indent10 + QLatin1StringView(R"(<itunes:image href=")") + document.field(ImageLink) +
           QLatin1StringView(R"(" />)") + Eol;

    for (const Episode &episode : document.episodes()) {
        namespace E = EpisodeColumn;
        out += Indent10;
        out += QLatin1StringView("<item>");
        out += Eol;
        element(out, Indent15, QLatin1StringView("title"), episode[E::Title]);
        element(out, Indent15, QLatin1StringView("itunes:author"), episode[E::Author]);
        element(out, Indent15, QLatin1StringView("itunes:subtitle"), episode[E::Subtitle]);
        element(out, Indent15, QLatin1StringView("itunes:summary"), episode[E::Summary]);
        out += Indent15;
        out += QLatin1StringView(R"(<enclosure url=")");
        out += episode[E::Url];
        out += QLatin1StringView(R"(" type=")");
        out += episode[E::Type];
        out += QLatin1StringView(R"(" length=")");
        out += episode[E::Length];
        out += QLatin1StringView(R"(" />)");
        out += Eol;
        element(out, Indent15, QLatin1StringView("guid"), episode[E::Guid]);
        element(out, Indent15, QLatin1StringView("pubDate"), episode[E::PubDate]);
        element(out, Indent15, QLatin1StringView("itunes:duration"), episode[E::Duration]);
        element(out, Indent15, QLatin1StringView("itunes:keywords"), episode[E::Keywords]);
        element(out, Indent15, QLatin1StringView("itunes:explicit"), episode[E::Explicit]);
        element(out, Indent15, QLatin1StringView("category"), episode[E::Category]);
        out += Indent10;
        out += QLatin1StringView("</item>");
        out += Eol;
    }

    out += Indent5 + QLatin1StringView("</channel>") + Eol;
    out += QLatin1StringView("</rss>");
    return out;
}
} // namespace FeedText
