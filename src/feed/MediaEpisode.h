#pragma once

#include "model/Episode.h"

#include <QDateTime>
#include <QString>

// An Episode record made from one audio or video file, as a drop, "Add
// Episodes from Media Files…" and `brindlewood-feed add` make it: the title
// tag or the file name, the enclosure's length, type and address, the
// duration, a fresh GUID and date, and the columns a show keeps from one
// episode to the next copied from the one before.
//
// Texts go into the record as the document holds them, ready for the file:
// markup characters in a title or address are written as references.
struct MediaEpisode {
    Episode episode;
    // False when the media could not be read for its length: the episode
    // still stands, with an empty Duration, and the user is told.
    bool durationRead = false;
    // Why no episode could be made (the file is missing or not readable);
    // empty when episode holds one.
    QString error;

    bool isValid() const { return error.isEmpty(); }

    // previous is the episode the new one follows (none for an empty list).
    // urlBase, a plain address, replaces the previous episode's folder.
    static MediaEpisode fromFile(const QString &path, const Episode *previous, const QDateTime &now,
                                 const QString &urlBase = QString());
};
