#pragma once

#include <QString>
#include <array>

// Channel fields by the index of the box that shows them on the main window.
namespace ChannelField {
enum Index : int {
    Title = 0,
    Link,
    Language,
    Copyright,
    Description,
    Subtitle,
    Author,
    Summary,
    Category,
    OwnerName,
    OwnerEmail,
    ImageLink,
};
inline constexpr int Count = 12;

// Captions beside the boxes, by field index.
QString caption(int index);
} // namespace ChannelField
