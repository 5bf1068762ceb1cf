#pragma once

#include "FeedFinding.h"
#include "model/PodcastContent.h"

#include <QDateTime>
#include <QString>
#include <optional>

class PodcastDocument;

// The safe fixes of the feed check's findings: each gives the document's
// content with the fix made, for the window to put in as one undo step.
namespace FeedFix {
struct Context {
    // The folder of the feed's file, where media files named in the
    // enclosure addresses are looked for; empty for a feed not yet saved.
    QString feedFolder;
    QDateTime now = QDateTime::currentDateTimeUtc();
};

// Whether the finding has a fix that can be made now.
bool canFix(const PodcastDocument &document, const FeedFinding &finding, const Context &context);
// What the fix does, as a button's tooltip says it; empty without a fix.
QString description(const QString &rule);

// The content with this finding fixed; none when there is nothing to fix.
std::optional<PodcastContent> fix(const PodcastDocument &document, const FeedFinding &finding,
                                  const Context &context);
// The content with every place the rule finds fixed, those a check left out
// of its list included.
std::optional<PodcastContent> fixAll(const PodcastDocument &document, const QString &rule,
                                     const Context &context);

// A save refused for values that escaping mends: the content with all of
// them mended; none when a value at fault needs the user.
std::optional<PodcastContent> fixRefusal(const PodcastDocument &document);

// The value with each bare "&" written as "&amp;" and, in an attribute,
// "<" and '"' as references.
QString escaped(const QString &value, bool attribute);
} // namespace FeedFix
