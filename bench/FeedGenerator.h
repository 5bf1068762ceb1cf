#pragma once

#include <QByteArray>
#include <QString>

class PodcastDocument;

// A large podcast for benchmarks and fuzz seeds: every field and column is
// filled with mixed ASCII and non-ASCII text, about 1 KB per item once
// written, and the same count always gives the same bytes.
namespace FeedGenerator {
inline constexpr int DefaultEpisodes = 32767;

// Fills the twelve fields and appends `episodes` records (one batch).
void fill(PodcastDocument &document, int episodes);

// The fixed build date stamped into generated feeds, so output is stable.
QString buildDate();

// The feed file bytes in our writer's layout (UTF-8, no byte-order mark).
QByteArray feedBytes(int episodes);
// The same with what real feeds carry beyond the form in every item: about
// 2 KB of content:encoded, a CDATA description, an itunes:image and two
// podcast: tags.
QByteArray richFeedBytes(int episodes);
} // namespace FeedGenerator
