#pragma once

#include "feed/MessageService.h"

#include <QList>
#include <QString>
#include <functional>

// Records every box the code shows and answers questions from a script.
class ScriptedMessageService : public MessageService {
public:
    struct Shown {
        QString text;
        QString caption; // empty: the application title
        QString detail;
        bool isQuestion = false;
        Buttons buttons = Buttons::YesNo;
        Answer defaultAnswer = Answer::No;
    };

    void notice(const QString &text, const QString &detail = QString()) override {
        shown.append({text, QString(), detail, false, Buttons::YesNo, Answer::No});
        if (onShown)
            onShown(shown.last());
    }

    Answer question(const QString &text, const QString &caption, Buttons buttons,
                    Answer defaultAnswer) override {
        shown.append({text, caption, QString(), true, buttons, defaultAnswer});
        if (onShown)
            onShown(shown.last());
        return answers.isEmpty() ? Answer::No : answers.takeFirst();
    }

    Answer questionWithDetail(const QString &text, const QString &detail, Buttons buttons,
                              Answer defaultAnswer) override {
        shown.append({text, QString(), detail, true, buttons, defaultAnswer});
        if (onShown)
            onShown(shown.last());
        return answers.isEmpty() ? Answer::No : answers.takeFirst();
    }

    QStringList texts() const {
        QStringList result;
        for (const Shown &box : shown)
            result.append(box.text);
        return result;
    }

    QList<Answer> answers;
    QList<Shown> shown;
    std::function<void(const Shown &)> onShown;
};
