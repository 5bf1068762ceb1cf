#pragma once

#include <QString>

// What the editor needs to know of a file the user drops or names: whether it
// is an episode's audio or video, or a feed, and the enclosure data of media.
namespace MediaFile {
// Audio or video by name and content, so that a damaged recording still
// counts as one (it becomes an episode without a duration).
bool isMedia(const QString &path);
// XML by name and content: what "Load Podcast.xml" can try to read.
bool isFeed(const QString &path);

// The enclosure type from the file's content, under the name directories
// expect (audio/ogg rather than audio/x-vorbis+ogg, audio/x-m4a for AAC in
// MP4). Falls back to the name when the content says nothing.
QString type(const QString &path);

// Whole seconds, rounded to the nearest, as HH:MM:SS; hours go past 99.
QString durationText(qint64 milliseconds);

// The previous enclosure address with its last path segment replaced by the
// percent-encoded file name; its query and fragment belonged to the old file
// and go. Empty when there is no previous address.
QString urlBeside(const QString &previousUrl, const QString &fileName);
// The base address, a slash if it has none at its end, and the
// percent-encoded file name.
QString urlUnder(const QString &base, const QString &fileName);
} // namespace MediaFile
