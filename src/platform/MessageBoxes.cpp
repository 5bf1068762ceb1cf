#include "MessageBoxes.h"

#include "feed/ErrorReportText.h"
#include "feed/ApplicationTitle.h"

#include <QKeyEvent>
#include <QMessageBox>

namespace {
// A Yes/No question has no "don't decide": No may discard the user's work,
// so Escape must not answer it by accident.
class EscapeIgnorer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

QMessageBox::StandardButton toButton(MessageService::Answer answer) {
    switch (answer) {
    case MessageService::Answer::Yes:
        return QMessageBox::Yes;
    case MessageService::Answer::No:
        return QMessageBox::No;
    case MessageService::Answer::Cancel:
        return QMessageBox::Cancel;
    }
    return QMessageBox::NoButton;
}
} // namespace

void MessageBoxes::notice(const QString &text, const QString &detail) {
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle::current(), text, QMessageBox::Ok,
                    m_parent);
    box.setObjectName(QStringLiteral("notice"));
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

MessageService::Answer MessageBoxes::question(const QString &text, const QString &caption,
                                              Buttons buttons, Answer defaultAnswer) {
    auto standard = QMessageBox::Yes | QMessageBox::No;
    if (buttons == Buttons::YesNoCancel)
        standard |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? ApplicationTitle::current() : caption,
                    text, standard, m_parent);
    box.setObjectName(QStringLiteral("question"));
    box.setDefaultButton(toButton(defaultAnswer));
    EscapeIgnorer escapeIgnorer;
    if (buttons == Buttons::YesNoCancel) {
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.installEventFilter(&escapeIgnorer);
        box.setWindowFlag(Qt::WindowCloseButtonHint, false);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::No;
    }
}

void MessageBoxes::reportFailure(const QString &location, int step, const QString &description) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ErrorReportText::Caption),
                    ErrorReportText::compose(description, location, step), QMessageBox::Ok,
                    m_parent);
    box.setObjectName(QStringLiteral("applicationError"));
    box.exec();
}
