#pragma once

#include "feed/MessageService.h"

#include <QList>

// Keeps the boxes the core would show; questions are answered No, so the
// command never does anything it would have asked about.
class CollectedMessages : public MessageService {
public:
    struct Notice {
        QString text;
        QString detail;
    };

    void notice(const QString &text, const QString &detail = QString()) override {
        m_notices.append({text, detail});
    }
    Answer question(const QString &, const QString &, Buttons, Answer) override {
        return Answer::No;
    }

    const QList<Notice> &notices() const { return m_notices; }

private:
    QList<Notice> m_notices;
};
