#pragma once

#include <QString>

// Episode record columns, in list order; also the order of an item's elements.
namespace EpisodeColumn {
enum Index : int {
    Title = 0,
    Author,
    Subtitle,
    Summary,
    Url,
    Type,
    Length,
    Guid,
    PubDate,
    Duration,
    Keywords,
    Explicit,
    Category,
};
inline constexpr int Count = 13;

// List header, by column.
QString header(int column);
} // namespace EpisodeColumn
