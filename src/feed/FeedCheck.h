#pragma once

#include "FeedFinding.h"

#include <QDateTime>
#include <QList>
#include <QString>

class PodcastDocument;

// Will the directories take this feed? Checks the document as it stands (the
// fields, the columns and the kept content) against the rules that Apple
// Podcasts, the Podcast Index and the RSS Advisory Board publish for RSS 2.0.
namespace FeedCheck {
enum class Source {
    ApplePodcasts,   // "A Podcaster's Guide to RSS"
    AppleCategories, // its list of categories
    PodcastIndex,    // the podcast namespace documentation
    Rss2,            // the RSS 2.0 rules of the RSS Advisory Board
    Xml,             // XML 1.0: what the save's check refuses
};
QString sourceName(Source source);

struct Rule {
    const char *id;
    FeedFinding::Severity severity;
    Source source;
    const char *summary;
};
// Every rule, in the order they are applied.
QList<Rule> rules();

// A rule reports at most this many findings; the last one counts the rest.
inline constexpr qsizetype FindingsPerRule = 100;

// The findings: the errors, then the warnings, each the channel's first, then
// episode by episode in list order.
// `now` decides which publication dates lie in the future.
QList<FeedFinding> check(const PodcastDocument &document,
                         const QDateTime &now = QDateTime::currentDateTimeUtc());

// Both count the findings left out as well.
qsizetype errorCount(const QList<FeedFinding> &findings);
qsizetype totalCount(const QList<FeedFinding> &findings);
} // namespace FeedCheck
