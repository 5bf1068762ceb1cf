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
};
