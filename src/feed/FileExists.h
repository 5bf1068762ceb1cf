#pragma once

#include <QString>

// True when the file system can report a modification time for the path:
// files and folders alike. Never fails; anything odd answers false.
bool FileExists(const QString &path);
