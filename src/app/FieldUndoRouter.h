#pragma once

#include <QObject>

class QAction;
class QLineEdit;
class QMenu;
class QUndoStack;

// The document has one history. A line edit keeps one of its own, which
// would undo typing behind the document's back: its undo and redo keys and
// the Undo and Redo of its context menu go to the document's stack instead.
class FieldUndoRouter : public QObject {
    Q_OBJECT

public:
    FieldUndoRouter(QUndoStack &stack, QAction &undo, QAction &redo, QObject *parent = nullptr);

    void watch(QLineEdit &box);
    // The box's standard context menu with the document's Undo and Redo.
    QMenu *createContextMenu(QLineEdit &box) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QUndoStack &m_stack;
    QAction &m_undo;
    QAction &m_redo;
};
