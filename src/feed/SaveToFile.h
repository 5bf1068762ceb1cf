#pragma once

#include "BuildDate.h"

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
} // namespace SaveToFile
