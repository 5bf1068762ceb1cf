#pragma once

#include "model/Episode.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class MediaSource;

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
    // TagLib had not judged the file when its reading budget ran out (see
    // MediaSource::Budget); the duration is left empty.
    bool readCutShort = false;
    // Characters XML cannot hold, left out of the title taken from the tag
    // or the file name.
    qsizetype droppedCharacters = 0;
    // Why no episode could be made (the file is missing, not readable, not a
    // regular file, not audio or video, or changed while read); empty when
    // episode holds one.
    QString error;
    // The error is about the content: the file was read, and is empty or
    // neither audio nor video.
    bool notAudioOrVideo = false;

    bool isValid() const { return error.isEmpty(); }
    // No address for the enclosure: no urlBase and nothing before to follow.
    bool urlMissing() const { return isValid() && episode[EpisodeColumn::Url].isEmpty(); }

    // previous is the episode the new one follows (none for an empty list).
    // urlBase, a plain address, replaces the previous episode's folder.
    static MediaEpisode fromFile(const QString &path, const Episode *previous, const QDateTime &now,
                                 const QString &urlBase = QString());
    // path as the file system spells it (QFile::encodeName).
    static MediaEpisode fromFile(const QByteArray &path, const Episode *previous,
                                 const QDateTime &now, const QString &urlBase = QString());
    // From a file already opened, which must not have changed since.
    static MediaEpisode fromSource(const MediaSource &source, const Episode *previous,
                                   const QDateTime &now, const QString &urlBase = QString());

    // "64 MB or 5 seconds", for messages about a read that was cut short.
    static QString budgetText();
};
