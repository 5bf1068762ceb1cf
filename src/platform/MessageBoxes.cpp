#include "MessageBoxes.h"

#include "feed/ApplicationTitle.h"
#include "feed/ErrorReportText.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {
// A Yes/No question has no "don't decide": No may discard the user's work,
// so neither Escape nor a close request from the window manager (Alt+F4, a
// title bar's or a taskbar's Close, sent even to a box with no close button)
// may answer it. QMessageBox would take either as No.
class UndecidedIgnorer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            return true;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Addresses are kept whole: a box narrower than its text would otherwise
// break one right after "https://". Word joiners between its characters are
// invisible and leave no break inside it; the address moves down as one.
QString withUnbrokenAddresses(const QString &text) {
    static const QRegularExpression address(QStringLiteral("[A-Za-z][A-Za-z0-9+.-]*://\\S+"));
    constexpr QChar WordJoiner(0x2060);
    QString html;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : address.globalMatch(text)) {
        html += text.mid(from, match.capturedStart() - from).toHtmlEscaped();
        QString joined;
        for (const QChar c : match.captured()) {
            if (!joined.isEmpty())
                joined += WordJoiner;
            joined += c;
        }
        html += joined.toHtmlEscaped();
        from = match.capturedEnd();
    }
    html += text.mid(from).toHtmlEscaped();
    return html.replace(u'\n', QStringLiteral("<br>"));
}

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
    if (text.contains(QStringLiteral("://"))) {
        box.setTextFormat(Qt::RichText);
        box.setText(withUnbrokenAddresses(text));
    }
    // Shown under the message, not behind a "Show Details" button: it names
    // the box to mend or the place in the file, which the user needs to act.
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

MessageService::Answer MessageBoxes::question(const QString &text, const QString &caption,
                                              Buttons buttons, Answer defaultAnswer) {
    return ask(text, QString(), caption, buttons, defaultAnswer);
}

MessageService::Answer MessageBoxes::questionWithDetail(const QString &text, const QString &detail,
                                                        Buttons buttons, Answer defaultAnswer) {
    return ask(text, detail, QString(), buttons, defaultAnswer);
}

MessageService::Answer MessageBoxes::ask(const QString &text, const QString &detail,
                                         const QString &caption, Buttons buttons,
                                         Answer defaultAnswer) {
    const bool cancels = buttons != Buttons::YesNo;
    auto standard = QMessageBox::Yes | QMessageBox::No;
    if (cancels)
        standard |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? ApplicationTitle::current() : caption,
                    text, standard, m_parent);
    box.setObjectName(QStringLiteral("question"));
    if (buttons == Buttons::SaveDiscardCancel) {
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Save"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Discard"));
    } else if (buttons == Buttons::OverwriteReloadCancel) {
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Overwrite"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Reload"));
    }
    box.setDefaultButton(toButton(defaultAnswer));
    // Behind "Show Details...": a long list would push the buttons off screen.
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    UndecidedIgnorer undecidedIgnorer;
    if (cancels) {
        // Escape and a close request both mean Cancel here.
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.installEventFilter(&undecidedIgnorer);
        box.setWindowFlag(Qt::WindowCloseButtonHint, false);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return cancels ? Answer::Cancel : Answer::No;
    }
}

void MessageBoxes::reportFailure(const QString &location, int step, const QString &description) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ErrorReportText::Caption),
                    ErrorReportText::compose(description, location, step), QMessageBox::Ok,
                    m_parent);
    box.setObjectName(QStringLiteral("applicationError"));
    box.exec();
}
