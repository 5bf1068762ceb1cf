#pragma once

#include "BuildDate.h"
#include "xml/TextPieces.h"

#include <QString>

class PodcastDocument;

// Saving back to a file the document already has, without a dialog and
// without showing anything: the caller tells the user in plain words.
namespace SaveToFile {
struct Result {
    enum class Status { Saved, NotWellFormed, WriteFailed };
    Status status = Status::WriteFailed;
    // For NotWellFormed, the value to mend or the parser's reason; for
    // WriteFailed, the system's reason.
    QString detail;
};

// Why the file at `path` cannot be written now (a missing folder, no
// permission, a name too long), in the system's words; empty when it can.
QString writeProblem(const QString &path);

// Builds the text, checks it, and only then replaces the file.
Result save(const PodcastDocument &document, const QString &path, BuildDate::Clock clock);

// Writes `bytes`, the document's text as SourceFeedText builds it with
// `buildDate`, to `path`. The check runs on a second thread while the bytes
// are written to the temporary file, and they replace the file only once
// it has passed. Should a kept file's text fail where the fixed layout
// passes, the fixed layout is written instead (see buildChecked). On a
// failed check nothing is replaced and *reason says why; a failed write
// fills *error.
Result writeChecked(const PodcastDocument &document, const TextPieces &bytes,
                    const QString &buildDate, const QString &path);
} // namespace SaveToFile
