#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The editor's commands that have a key, shared by the buttons' tooltips and
// the menus.
enum class EditorCommand {
    AddEpisode,
    EditEpisode,
    NewDocument,
    OpenDocument, // File ▸ Open…, which replaces the document
    SaveDocument, // File ▸ Save, back to the document's file
    SaveAs,       // the save flow with its dialog ("Save This As Podcast.xml")
    LoadFeed,     // the additive load ("Load Podcast.xml"): no key of its own
    Help,
    CheckFeed,
    Undo,
    Redo,
    Quit,
    MoveUp,
    MoveDown,
    // Acts only while the list has the focus: in a text box Delete deletes text.
    DeleteEpisode,
    // Only in the boxes of long texts (Description, Summary).
    EditInLargerBox,
    Publish, // File ▸ Publish…
};

namespace CommandKeys {
// Every key but DeleteEpisode's is one no text box claims for editing under
// any of Qt's key schemes (Windows, macOS, X11, KDE, GNOME), so each works
// from every field. Undo and Redo are claimed by text boxes, and the window
// takes them back (FieldUndoRouter).
QKeySequence keys(EditorCommand command);
// Every key of the command under the current scheme (Redo has more than one
// on some desktops).
QList<QKeySequence> allKeys(EditorCommand command);

// The commands whose keys work from every box.
QList<EditorCommand> all();

// "Caption (Key)", the key written as the desktop writes it.
QString toolTip(const QString &caption, EditorCommand command);
} // namespace CommandKeys
