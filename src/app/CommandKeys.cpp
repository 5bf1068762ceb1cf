#include "CommandKeys.h"

namespace CommandKeys {
QKeySequence keys(EditorCommand command) {
    switch (command) {
    case EditorCommand::AddEpisode:
        return QKeySequence(Qt::Key_Insert);
    case EditorCommand::EditEpisode:
        // Ctrl+E is "end of line" in a text box under the X11, KDE and GNOME
        // schemes; F2 is the desktops' usual "edit the selected item".
        return QKeySequence(Qt::Key_F2);
    // The desktop's own keys for these, as its other programs use them.
    case EditorCommand::NewDocument:
        return QKeySequence(QKeySequence::New);
    case EditorCommand::SaveDocument:
        return QKeySequence(QKeySequence::Save);
    case EditorCommand::LoadFeed:
        return QKeySequence(QKeySequence::Open);
    case EditorCommand::Help:
        return QKeySequence(QKeySequence::HelpContents);
    case EditorCommand::CheckFeed:
        return QKeySequence(Qt::Key_F7);
    }
    return {};
}

QList<EditorCommand> all() {
    return {EditorCommand::AddEpisode,   EditorCommand::EditEpisode, EditorCommand::NewDocument,
            EditorCommand::SaveDocument, EditorCommand::LoadFeed,    EditorCommand::Help,
            EditorCommand::CheckFeed};
}

QString toolTip(const QString &caption, EditorCommand command) {
    return QStringLiteral("%1 (%2)").arg(caption, keys(command).toString(QKeySequence::NativeText));
}
} // namespace CommandKeys
