#pragma once

#include <QByteArray>
#include <QString>

class PodcastDocument;

namespace FeedText {
// The whole feed file text: fixed layout, CRLF between lines, no line break
// after </rss>. Values go in exactly as they stand; the save flow judges
// whether the result is well-formed.
QString build(const PodcastDocument &document, const QString &buildDate);
// The same text as file bytes: exactly build(...).toUtf8(), with no byte-order
// mark, built without the UTF-16 copy (half the memory for a large feed).
QByteArray buildUtf8(const PodcastDocument &document, const QString &buildDate);

inline constexpr char ItunesNamespace[] = "http://www.itunes.com/dtds/podcast-1.0.dtd";
} // namespace FeedText
