#pragma once

#include "FeedSchema.h"
#include "model/Episode.h"

#include <QByteArray>
#include <QString>
#include <array>

class PodcastDocument;

namespace FeedText {
// The whole feed file text: fixed layout, CRLF between lines, no line break
// after </rss>. Values go in exactly as they stand; the save flow judges
// whether the result is well-formed.
QString build(const PodcastDocument &document, const QString &buildDate);
// The same text as file bytes: exactly build(...).toUtf8(), with no byte-order
// mark, built without the UTF-16 copy (half the memory for a large feed).
QByteArray buildUtf8(const PodcastDocument &document, const QString &buildDate);

// An item as the fixed layout writes it, in a loaded file's own line end and
// indentation (`step` is one level); an element whose value is empty is
// written only where writeEmpty says so, or where kept content adds to it.
// No line end after </item>, no indentation before <item>.
struct ItemLayout {
    QByteArray eol;
    QByteArray indent;
    QByteArray childIndent;
    QByteArray step;
    std::array<bool, EpisodeColumn::Count> writeEmpty{};
};
QByteArray itemUtf8(const Episode &episode, const ItemLayout &layout);

using FeedSchema::ItunesNamespace;
} // namespace FeedText
