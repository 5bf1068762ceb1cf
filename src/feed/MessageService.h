#pragma once

#include <QString>

// Modal message boxes, so the core can ask and tell without a window and
// tests can script the answers.
class MessageService {
public:
    enum class Answer { Yes, No, Cancel };
    // With three buttons, Yes and No name the first two: Save and Discard,
    // or Overwrite and Reload.
    enum class Buttons { YesNo, YesNoCancel, SaveDiscardCancel, OverwriteReloadCancel };

    virtual ~MessageService() = default;

    // OK button only, no icon, captioned with the application title. The
    // detail (e.g. the parser's reason) goes in the box's detailed text.
    virtual void notice(const QString &text, const QString &detail = QString()) = 0;

    // No icon. An empty caption means the application title.
    virtual Answer question(const QString &text, const QString &caption, Buttons buttons,
                            Answer defaultAnswer) = 0;

    // A question captioned with the application title whose detail (a list
    // the answer acts on) can be opened under it. Without a box that shows
    // details, the question alone.
    virtual Answer questionWithDetail(const QString &text, const QString &detail, Buttons buttons,
                                      Answer defaultAnswer) {
        Q_UNUSED(detail);
        return question(text, QString(), buttons, defaultAnswer);
    }
};
