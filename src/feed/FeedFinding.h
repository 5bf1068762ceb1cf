#pragma once

#include <QString>

// One problem the feed check found: how bad, which rule, where, what, and
// whose published rule it breaks.
struct FeedFinding {
    enum class Severity {
        Error,   // a directory refuses the feed or the episode
        Warning, // recommended, or accepted but discouraged
    };

    // Where the problem is: a channel field, an episode's column, or an
    // element of the kept content (of the channel, or of an episode).
    struct Place {
        int field = -1;        // channel field index, or -1
        qsizetype episode = 0; // episode number, or 0 for the channel
        int column = -1;       // episode column, or -1
        QString tag;           // kept element, such as "itunes:explicit"

        static Place ofField(int index) { return {index, 0, -1, {}}; }
        static Place ofColumn(qsizetype number, int column) { return {-1, number, column, {}}; }
        static Place ofTag(const QString &tag, qsizetype number = 0) {
            return {-1, number, -1, tag};
        }

        bool isField() const { return field >= 0; }
        bool isColumn() const { return episode > 0 && column >= 0; }
        // "Podcast, Title", "Episode 3, Pub. Date", "Podcast, itunes:explicit".
        QString text() const;
        bool operator==(const Place &other) const = default;
    };

    Severity severity = Severity::Error;
    QString rule;
    Place place;
    QString message;
    QString source;
    // Findings of the same rule left out after this one: a rule reports its
    // first findings in feed order, and the last of them counts the rest.
    qsizetype more = 0;

    static QString severityText(Severity severity);
    // "and 12 more like this", or empty when none were left out.
    QString moreText() const;
    bool operator==(const FeedFinding &other) const = default;
};
