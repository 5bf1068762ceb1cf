#pragma once

#include "xml/TextPieces.h"

#include <QByteArray>
#include <QString>
#include <functional>

// The file side of a save, free of dialogs and messages.
namespace FeedFile {
// Empty when the bytes are well-formed XML with namespaces; otherwise the
// parser's reason with its line and column.
QString wellFormednessError(const QByteArray &bytes);
QString wellFormednessError(const TextPieces &text);

// Puts the whole of bytes at path and returns true, or returns false with
// "path: reason" in *error. Only a regular file, a symbolic link to one (the
// link stays, its target is replaced) or a missing file is written; anything
// else, and a file without any write permission bit, is refused before it is
// opened. A replaced file keeps its mode (and, for root, its owner).
//
// The bytes normally go to a temporary file beside the target that is renamed
// over it once complete and flushed, so a failure leaves the old file as it
// was. When the folder takes no new file but the file itself is writable, the
// file is rewritten in place: its full new size is reserved first, so a full
// disk fails before the old text changes; a later failure (an I/O error)
// can leave it partly written, and is reported.
//
// The target is locked (FeedLock) for the write; when another program holds
// it past the wait, nothing is written and the reason says so.
//
// `approved`, when given, is asked once the bytes stand complete and
// flushed in the temporary file, just before they replace anything (before
// an in-place rewrite begins): false leaves the old file as it was and
// returns false with an empty *error.
bool write(const QString &path, const QByteArray &bytes, QString *error,
           const std::function<bool()> &approved = {});
// The same for a text in pieces, written as one.
bool write(const QString &path, const TextPieces &bytes, QString *error,
           const std::function<bool()> &approved = {});
} // namespace FeedFile
