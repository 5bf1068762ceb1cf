#pragma once

#include "feed/ErrorReporter.h"
#include "feed/MessageService.h"

class QWidget;

// Modal QMessageBox implementations of the message and error-report services.
class MessageBoxes : public MessageService, public ErrorReporter {
public:
    explicit MessageBoxes(QWidget *parent = nullptr)
        : m_parent(parent) {}

    void setParent(QWidget *parent) { m_parent = parent; }

    void notice(const QString &text, const QString &detail = QString()) override;
    Answer question(const QString &text, const QString &caption, Buttons buttons,
                    Answer defaultAnswer) override;
    Answer questionWithDetail(const QString &text, const QString &detail, Buttons buttons,
                              Answer defaultAnswer) override;
    void reportFailure(const QString &location, int step, const QString &description) override;

private:
    Answer ask(const QString &text, const QString &detail, const QString &caption, Buttons buttons,
               Answer defaultAnswer);

    QWidget *m_parent;
};
