#pragma once

#include <QKeySequence>
#include <QString>
#include <functional>

class LargerTextDialog;
class QAction;
class QLineEdit;

// Gives a one-line box of long text "Edit in a Larger Box…", in its context
// menu and on Shift+F2. What the larger box gives back goes to `apply`.
// The action is one of the box's own actions: the menus that the windows
// build for their boxes list those.
class LargerBoxAction {
public:
    using Runner = std::function<int(LargerTextDialog &)>; // empty: exec()
    using Apply = std::function<void(const QString &)>;

    static QKeySequence key();
    // The action lives as long as the box.
    static QAction *attach(QLineEdit &box, const QString &caption, Runner run, Apply apply);
};
