#pragma once

#include <QString>

class QWidget;

namespace Skin {
// The skin file, relative to the application folder: a Qt style sheet.
inline constexpr char FileName[] = "x/o.cjs";
QString path(const QString &applicationFolder);
} // namespace Skin

// When the skin file is present: the theme colours first, then its style
// sheet on the main window. A missing file changes nothing; an unreadable or
// empty sheet is logged and left out, never fatal.
void ApplySkin(QWidget &mainWindow, const QString &applicationFolder);
