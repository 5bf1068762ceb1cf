#pragma once

#include <QString>

namespace ApplicationFolder {
// The folder that holds the program's files: the executable's own folder
// when it has a "Samples" folder beside it (a build tree), otherwise the
// installed data folder.
QString path();

// Appends a file name to the application folder with the platform separator.
QString file(const QString &relative);
} // namespace ApplicationFolder
