#pragma once

#include <QByteArrayView>
#include <array>
#include <cstring>

// Where each Channel field and Episode column lives in a feed. The loader,
// the writers and the checks take element and attribute names from here.
namespace FeedSchema {
inline constexpr char ItunesNamespace[] = "http://www.itunes.com/dtds/podcast-1.0.dtd";

struct Place {
    const char *element;   // qualified name, as written
    const char *attribute; // the attribute holding the value, or nullptr for the text
    const char *parent;    // the element it sits in below channel or item, or nullptr
};

// By Channel field index; the index is also the order of the fixed layout.
inline constexpr std::array<Place, 12> Channel{{
    {"title", nullptr, nullptr},
    {"link", nullptr, nullptr},
    {"language", nullptr, nullptr},
    {"copyright", nullptr, nullptr},
    {"description", nullptr, nullptr},
    {"itunes:subtitle", nullptr, nullptr},
    {"itunes:author", nullptr, nullptr},
    {"itunes:summary", nullptr, nullptr},
    {"itunes:category", "text", nullptr},
    {"itunes:name", nullptr, "itunes:owner"},
    {"itunes:email", nullptr, "itunes:owner"},
    {"itunes:image", "href", nullptr},
}};

// By Episode column; the order of an item's children in the fixed layout,
// the three enclosure attributes sharing one element.
inline constexpr std::array<Place, 13> Item{{
    {"title", nullptr, nullptr},
    {"itunes:author", nullptr, nullptr},
    {"itunes:subtitle", nullptr, nullptr},
    {"itunes:summary", nullptr, nullptr},
    {"enclosure", "url", nullptr},
    {"enclosure", "type", nullptr},
    {"enclosure", "length", nullptr},
    {"guid", nullptr, nullptr},
    {"pubDate", nullptr, nullptr},
    {"itunes:duration", nullptr, nullptr},
    {"itunes:keywords", nullptr, nullptr},
    {"itunes:explicit", nullptr, nullptr},
    {"category", nullptr, nullptr},
}};

// The channel's children in the fixed layout's order, the build date first.
inline constexpr std::array<const char *, 12> ChannelOrder{
    "lastBuildDate", "title",           "link",          "language",       "copyright",
    "description",   "itunes:subtitle", "itunes:author", "itunes:summary", "itunes:category",
    "itunes:owner",  "itunes:image"};
inline constexpr std::array<const char *, 11> ItemOrder{
    "title",   "itunes:author",   "itunes:subtitle", "itunes:summary",  "enclosure", "guid",
    "pubDate", "itunes:duration", "itunes:keywords", "itunes:explicit", "category"};

// The column whose element has this qualified name (the enclosure's under
// Url), or -1: asked for every child of every item a load reads.
inline int itemColumnOf(QByteArrayView name) {
    static const auto elements = [] {
        std::array<QByteArrayView, Item.size()> made;
        for (size_t column = 0; column < Item.size(); ++column)
            made[column] = QByteArrayView(Item[column].element);
        return made;
    }();
    if (name.isEmpty())
        return -1;
    for (int column = 0; column < int(Item.size()); ++column) {
        const QByteArrayView element = elements[size_t(column)];
        if (name.size() == element.size() &&
            std::memcmp(name.data(), element.data(), size_t(name.size())) == 0)
            return column;
    }
    return -1;
}

inline constexpr char BuildDateElement[] = "lastBuildDate";
inline constexpr char ItemElement[] = "item";
} // namespace FeedSchema
