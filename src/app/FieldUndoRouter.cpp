#include "FieldUndoRouter.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QUndoStack>

FieldUndoRouter::FieldUndoRouter(QUndoStack &stack, QAction &undo, QAction &redo, QObject *parent)
    : QObject(parent)
    , m_stack(stack)
    , m_undo(undo)
    , m_redo(redo) {}

void FieldUndoRouter::watch(QLineEdit &box) {
    box.installEventFilter(this);
}

QMenu *FieldUndoRouter::createContextMenu(QLineEdit &box) const {
    QMenu *menu = box.createStandardContextMenu();
    // Qt names neither entry; their captions are its own, translated.
    const QString undo = QCoreApplication::translate("QLineEdit", "&Undo");
    const QString redo = QCoreApplication::translate("QLineEdit", "&Redo");
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        const QString caption = action->text().section(u'\t', 0, 0);
        QAction *replacement = nullptr;
        if (caption == undo)
            replacement = &m_undo;
        else if (caption == redo)
            replacement = &m_redo;
        if (!replacement)
            continue;
        menu->insertAction(action, replacement);
        menu->removeAction(action);
        delete action;
    }
    // Entries the box carries itself ("Edit in a Larger Box…").
    if (!box.actions().isEmpty()) {
        menu->addSeparator();
        menu->addActions(box.actions());
    }
    return menu;
}

bool FieldUndoRouter::eventFilter(QObject *watched, QEvent *event) {
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Left unaccepted, the key goes on to the window's Undo and Redo.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
            return true;
        break;
    }
    case QEvent::KeyPress: {
        // Reached only when the window's action did not take the key (nothing
        // to undo): the box must not fall back on its own history.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Undo)) {
            m_stack.undo();
            return true;
        }
        if (key->matches(QKeySequence::Redo)) {
            m_stack.redo();
            return true;
        }
        break;
    }
    case QEvent::ContextMenu: {
        QMenu *menu = createContextMenu(*box);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
