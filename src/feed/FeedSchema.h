#pragma once

#include <QByteArrayView>
#include <array>

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

inline constexpr char BuildDateElement[] = "lastBuildDate";
inline constexpr char ItemElement[] = "item";
} // namespace FeedSchema
