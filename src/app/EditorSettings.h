#pragma once

#include <QSettings>

// What the editor keeps between runs: the feeds used last, the window's size
// and the list's column widths. Never a secret, never a document's content.
namespace EditorSettings {
QSettings open();
} // namespace EditorSettings
