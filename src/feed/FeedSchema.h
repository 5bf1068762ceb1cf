#pragma once

#include "xml/ByteSearch.h"

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
// Url), or -1: asked for every child of every item a load reads, so the
// names are found by a small hash of their length and two of their bytes.
inline int itemColumnOf(QByteArrayView name) {
    constexpr size_t Slots = 64; // a power of two, well above the names
    const auto slotOf = [](QByteArrayView n) {
        const auto size = size_t(n.size());
        return (size * 31 + uchar(n[n.size() - 1]) * 7 + uchar(n[n.size() / 2])) & (Slots - 1);
    };
    struct Table {
        std::array<QByteArrayView, Slots> elements{};
        std::array<int, Slots> columns{};
    };
    static const Table table = [&] {
        Table made;
        made.columns.fill(-1);
        for (size_t column = 0; column < Item.size(); ++column) {
            const QByteArrayView element(Item[column].element);
            size_t at = slotOf(element);
            while (made.columns[at] >= 0 && made.elements[at] != element)
                at = (at + 1) & (Slots - 1);
            if (made.columns[at] < 0) { // the first column of a name (Url) holds it
                made.elements[at] = element;
                made.columns[at] = int(column);
            }
        }
        return made;
    }();
    if (name.isEmpty())
        return -1;
    for (size_t at = slotOf(name); table.columns[at] >= 0; at = (at + 1) & (Slots - 1)) {
        const QByteArrayView element = table.elements[at];
        if (element.size() == name.size() &&
            ByteSearch::sameBytes(element.data(), name.data(), size_t(name.size())))
            return table.columns[at];
    }
    return -1;
}

inline constexpr char BuildDateElement[] = "lastBuildDate";
inline constexpr char ItemElement[] = "item";
} // namespace FeedSchema
