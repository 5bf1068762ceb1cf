#pragma once

#include <QByteArray>
#include <QMimeType>
#include <QString>

// What the editor needs to know of a file the user drops or names: whether it
// is an episode's audio or video, or a feed, and the enclosure data of media.
namespace MediaFile {
// Audio or video by content, whatever the name says; a damaged recording
// that still looks like one counts (it becomes an episode without a
// duration). Opens the file as MediaSource does: a FIFO or device is not.
bool isMedia(const QString &path);
// XML by name and content: what "Load Podcast.xml" can try to read.
bool isFeed(const QString &path);

// Audio and video types, but not the text ones among them (playlists such
// as audio/x-mpegurl are text that points elsewhere).
bool isEpisodeType(const QMimeType &mime);

// The enclosure type for a content type, under the name directories expect
// (audio/ogg rather than audio/x-vorbis+ogg, audio/x-m4a for AAC in MP4).
QString enclosureType(const QMimeType &mime);

// Whole seconds, rounded to the nearest, as HH:MM:SS; hours go past 99.
QString durationText(qint64 milliseconds);

// text without the characters XML 1.0 cannot hold (controls other than tab,
// line feed and carriage return, U+FFFE, U+FFFF, lone surrogates); *dropped
// counts them.
QString xmlCharactersOnly(const QString &text, qsizetype *dropped);

// Why base cannot be the folder of enclosure addresses; empty when it can.
// Only an absolute http or https address with a host, and without blanks,
// control characters, a query or a fragment, which would swallow the name.
QString urlBaseProblem(const QString &base);

// The previous enclosure address with its last path segment replaced by the
// percent-encoded file name; its query and fragment belonged to the old file
// and go. Empty when there is no previous address.
QString urlBeside(const QString &previousUrl, const QString &fileName);
// The same for a name as the file system spells it: its bytes are encoded
// as they are, so a name that is not UTF-8 still reaches its file.
QString urlBeside(const QString &previousUrl, const QByteArray &fileName);
// The base address, a slash if it has none at its end, and the
// percent-encoded file name.
QString urlUnder(const QString &base, const QString &fileName);
QString urlUnder(const QString &base, const QByteArray &fileName);
} // namespace MediaFile
