#pragma once

#include "xml/TextPieces.h"

#include <QByteArray>
#include <QString>

class FeedSource;
class PodcastDocument;

// The feed file's bytes for a save. A document made in the editor is written
// in the fixed layout (FeedText). A document loaded from a file is written as
// that file's own text with only what changed since the load replaced:
// - a changed value goes into the place of the old one, in the held form;
// - a value the file lacked gets its element after the nearest one that
//   precedes it in the fixed layout, in the file's indentation and line end;
//   an element the file lacked whose value is empty is not written;
// - the items follow the Episode list: unchanged ones keep their text, moved
//   ones take it along, removed ones go with their line, new ones are written
//   in the fixed layout's child order;
// - lastBuildDate gets the build date.
namespace SourceFeedText {
QByteArray buildUtf8(const PodcastDocument &document, const QString &buildDate);
// The same bytes, with the loaded text's unchanged parts as views into it.
TextPieces buildPieces(const PodcastDocument &document, const QString &buildDate);

// The bytes a save writes, checked: empty *reason when well-formed. Should
// the loaded text with its changes ever fail the check where the fixed
// layout passes it, the fixed layout is written: a save is never refused
// for how the file was kept, only for what the values hold.
QByteArray buildChecked(const PodcastDocument &document, const QString &buildDate, QString *reason);

// The loaded text with the document's changes; null when the document's kept
// content (More Tags of the channel, the prolog or the items without a title)
// changed, which the fixed layout writes instead.
QByteArray fromSource(const PodcastDocument &document, const FeedSource &source,
                      const QString &buildDate);

// Whether a save writes the element of an empty field or column: always in
// the fixed layout; for a loaded file, only where the file had it.
bool writesEmptyField(const PodcastDocument &document, int index);
bool writesEmptyColumn(const PodcastDocument &document, qsizetype number, int column);
} // namespace SourceFeedText
