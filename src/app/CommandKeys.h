#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The editor's commands that have a key. The buttons use these keys now; a
// menu bar can take the same ones from here.
enum class EditorCommand {
    AddEpisode,
    EditEpisode,
    NewDocument,
    SaveDocument,
    LoadFeed,
    Help,
    CheckFeed
};

namespace CommandKeys {
// No key here is one a text box claims for editing under any of Qt's key
// schemes (Windows, macOS, X11, KDE, GNOME), so each works from every field.
QKeySequence keys(EditorCommand command);

QList<EditorCommand> all();

// "Caption (Key)", the key written as the desktop writes it.
QString toolTip(const QString &caption, EditorCommand command);
} // namespace CommandKeys
