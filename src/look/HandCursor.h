#pragma once

#include <QCursor>
#include <QString>

// The hand pointer shown over push buttons.
namespace HandCursor {
// The cursor file, relative to the application folder (a Windows .cur file).
inline constexpr char FileName[] = "HAND-M.CUR";
QString path(const QString &applicationFolder);

// Reads a Windows cursor file with its hot spot. Throws StepFailure when the
// file cannot be read as a cursor.
QCursor load(const QString &cursorPath);

// Shown when no cursor file is beside the program.
QCursor fallback();
} // namespace HandCursor
