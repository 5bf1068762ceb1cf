#include "CommandKeys.h"

#include "dialogs/LargerBoxAction.h"

namespace CommandKeys {
QKeySequence keys(EditorCommand command) {
    const QList<QKeySequence> sequences = allKeys(command);
    return sequences.isEmpty() ? QKeySequence() : sequences.constFirst();
}

QList<QKeySequence> allKeys(EditorCommand command) {
    switch (command) {
    case EditorCommand::AddEpisode:
        return {QKeySequence(Qt::Key_Insert)};
    case EditorCommand::EditEpisode:
        // Ctrl+E is "end of line" in a text box under the X11, KDE and GNOME
        // schemes; F2 is the desktops' usual "edit the selected item".
        return {QKeySequence(Qt::Key_F2)};
    // The desktop's own keys for these, as its other programs use them.
    case EditorCommand::NewDocument:
        return QKeySequence::keyBindings(QKeySequence::New);
    case EditorCommand::SaveDocument:
        return QKeySequence::keyBindings(QKeySequence::Save);
    case EditorCommand::OpenDocument:
        return QKeySequence::keyBindings(QKeySequence::Open);
    case EditorCommand::SaveAs: {
        const QList<QKeySequence> saveAs = QKeySequence::keyBindings(QKeySequence::SaveAs);
        return saveAs.isEmpty()
                   ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}
                   : saveAs;
    }
    case EditorCommand::LoadFeed:
        return {};
    case EditorCommand::Help:
        return QKeySequence::keyBindings(QKeySequence::HelpContents);
    case EditorCommand::CheckFeed:
        return {QKeySequence(Qt::Key_F7)};
    case EditorCommand::Undo:
        return QKeySequence::keyBindings(QKeySequence::Undo);
    case EditorCommand::Redo:
        return QKeySequence::keyBindings(QKeySequence::Redo);
    case EditorCommand::Quit: {
        // Windows has no key for it (Alt+F4 belongs to the window manager).
        const QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
        return quit.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Q)} : quit;
    }
    // Alt with the arrows: a text box moves its cursor on the plain and the
    // Ctrl arrows only, and a list does not read Alt.
    case EditorCommand::MoveUp:
        return {QKeySequence(Qt::ALT | Qt::Key_Up)};
    case EditorCommand::MoveDown:
        return {QKeySequence(Qt::ALT | Qt::Key_Down)};
    case EditorCommand::DeleteEpisode:
        return QKeySequence::keyBindings(QKeySequence::Delete);
    case EditorCommand::EditInLargerBox:
        return {LargerBoxAction::key()};
    case EditorCommand::Publish:
        return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)};
    }
    return {};
}

QList<EditorCommand> all() {
    return {EditorCommand::AddEpisode,   EditorCommand::EditEpisode,  EditorCommand::NewDocument,
            EditorCommand::OpenDocument, EditorCommand::SaveDocument, EditorCommand::SaveAs,
            EditorCommand::Help,         EditorCommand::CheckFeed,    EditorCommand::Undo,
            EditorCommand::Redo,         EditorCommand::Quit,         EditorCommand::MoveUp,
            EditorCommand::MoveDown,     EditorCommand::Publish};
}

QString toolTip(const QString &caption, EditorCommand command) {
    if (keys(command).isEmpty())
        return caption;
    return QStringLiteral("%1 (%2)").arg(caption, keys(command).toString(QKeySequence::NativeText));
}
} // namespace CommandKeys
