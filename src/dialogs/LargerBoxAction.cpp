#include "LargerBoxAction.h"

#include "LargerTextDialog.h"

#include <QAction>
#include <QLineEdit>

QKeySequence LargerBoxAction::key() {
    // Beside F2, "edit": no text box reads Shift+F2.
    return QKeySequence(Qt::SHIFT | Qt::Key_F2);
}

QAction *LargerBoxAction::attach(QLineEdit &box, const QString &caption, Runner run, Apply apply) {
    auto *action = new QAction(QStringLiteral("Edit in a Larger Box…"), &box);
    action->setObjectName(QStringLiteral("LargerBoxAction"));
    action->setShortcut(key());
    action->setShortcutContext(Qt::WidgetShortcut);
    box.addAction(action);
    QObject::connect(action, &QAction::triggered, &box,
                     [&box, caption, run = std::move(run), apply = std::move(apply)] {
                         LargerTextDialog dialog(caption, box.text(), box.window());
                         const int result = run ? run(dialog) : dialog.exec();
                         if (result == QDialog::Accepted && dialog.text() != box.text())
                             apply(dialog.text());
                     });
    return action;
}
