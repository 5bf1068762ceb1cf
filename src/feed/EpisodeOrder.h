#pragma once

#include "model/Episode.h"

#include <QDateTime>
#include <QList>

// Where episodes made from media files go, decided by the publication dates
// the list already has.
namespace EpisodeOrder {
// The publication date of an episode, or an invalid one when it does not read.
QDateTime publicationDate(const Episode &episode);
// The index of the episode with the latest date; the last one when no date
// reads; -1 for an empty list.
qsizetype newest(const QList<Episode> &episodes);
// True when the dated episodes run newest first.
bool newestFirst(const QList<Episode> &episodes);

// New episodes, made in the order their files were given (each one second
// after the one before), put where the newest episodes are: at the top of a
// newest-first list, newest on top, and at the end otherwise. Returns the
// 1-based number of the first one; `made` comes back in list order.
qsizetype place(const QList<Episode> &episodes, QList<Episode> &made);

// The list newest first. Episodes of the same date keep their order, and
// those whose date does not read go last, in theirs.
QList<Episode> sortedNewestFirst(const QList<Episode> &episodes);
} // namespace EpisodeOrder
