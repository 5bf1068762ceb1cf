#include "EpisodeOrder.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace EpisodeOrder {
QDateTime publicationDate(const Episode &episode) {
    // Feeds often name the zone (RFC 822's GMT, EST, ...), which Qt's RFC 2822
    // reading does not take: it gets the offset instead.
    static const std::pair<QLatin1StringView, QLatin1StringView> Named[] = {
        {"GMT"_L1, "+0000"_L1}, {"UTC"_L1, "+0000"_L1}, {"UT"_L1, "+0000"_L1},
        {"Z"_L1, "+0000"_L1},   {"EST"_L1, "-0500"_L1}, {"EDT"_L1, "-0400"_L1},
        {"CST"_L1, "-0600"_L1}, {"CDT"_L1, "-0500"_L1}, {"MST"_L1, "-0700"_L1},
        {"MDT"_L1, "-0600"_L1}, {"PST"_L1, "-0800"_L1}, {"PDT"_L1, "-0700"_L1}};
    QString text = episode[EpisodeColumn::PubDate].trimmed();
    for (const auto &[name, offset] : Named) {
        if (text.endsWith(u' ' + name)) {
            text = text.chopped(name.size()) + offset;
            break;
        }
    }
    return QDateTime::fromString(text, Qt::RFC2822Date);
}

qsizetype newest(const QList<Episode> &episodes) {
    qsizetype found = -1;
    QDateTime latest;
    for (qsizetype i = 0; i < episodes.size(); ++i) {
        const QDateTime date = publicationDate(episodes[i]);
        if (date.isValid() && (!latest.isValid() || date > latest)) {
            latest = date;
            found = i;
        }
    }
    return found >= 0 ? found : episodes.size() - 1;
}

bool newestFirst(const QList<Episode> &episodes) {
    QDateTime first;
    QDateTime last;
    for (const Episode &episode : episodes) {
        const QDateTime date = publicationDate(episode);
        if (!date.isValid())
            continue;
        if (!first.isValid())
            first = date;
        last = date;
    }
    return first.isValid() && first > last;
}

qsizetype place(const QList<Episode> &episodes, QList<Episode> &made) {
    if (!newestFirst(episodes))
        return episodes.size() + 1;
    std::reverse(made.begin(), made.end());
    return 1;
}

QList<Episode> sortedNewestFirst(const QList<Episode> &episodes) {
    // The dates are read once each: a feed of thousands sorts in one go.
    QList<std::pair<QDateTime, qsizetype>> keyed;
    keyed.reserve(episodes.size());
    for (qsizetype i = 0; i < episodes.size(); ++i)
        keyed.append({publicationDate(episodes[i]), i});
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        if (a.first.isValid() != b.first.isValid())
            return a.first.isValid();
        return a.first.isValid() && a.first > b.first;
    });
    QList<Episode> sorted;
    sorted.reserve(episodes.size());
    for (const auto &[date, index] : keyed)
        sorted.append(episodes[index]);
    return sorted;
}
} // namespace EpisodeOrder
