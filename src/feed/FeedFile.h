#pragma once

#include <QByteArray>
#include <QString>

// The file side of a save, free of dialogs and messages.
namespace FeedFile {
// Empty when the bytes are well-formed XML with namespaces; otherwise the
// parser's reason with its line and column.
QString wellFormednessError(const QByteArray &bytes);

// Replaces the whole file at path, or leaves whatever stood there untouched:
// the bytes go to a temporary file beside it that is renamed over it only
// once complete. On failure the system's reason is in *error.
bool write(const QString &path, const QByteArray &bytes, QString *error);
} // namespace FeedFile
