#pragma once

#include "feed/ErrorReporter.h"
#include "feed/FileDialogService.h"
#include "feed/MessageService.h"

#include <atomic>
#include <functional>

class WorkProgress;

// What work on another thread uses to speak to the user: each message, step
// report and file dialog is shown by the window's own service, on the
// window's thread, while the work waits for the answer, so they come in the
// order they were raised. Once the user has cancelled, nothing more is shown
// and questions answer Cancel.
class ForwardedServices final : public MessageService,
                                public ErrorReporter,
                                public FileDialogService {
public:
    ForwardedServices(MessageService &messages, ErrorReporter &errors, FileDialogService &dialogs,
                      const WorkProgress &progress);

    // True while the user is answering (the progress dialog stays away).
    bool isAsking() const { return m_asking.load() > 0; }
    // Set when the user last finished answering.
    std::function<void()> onAnswered;

    void notice(const QString &text, const QString &detail = QString()) override;
    Answer question(const QString &text, const QString &caption, Buttons buttons,
                    Answer defaultAnswer) override;
    Answer questionWithDetail(const QString &text, const QString &detail, Buttons buttons,
                              Answer defaultAnswer) override;
    void reportFailure(const QString &location, int step, const QString &description) override;
    QString saveFileName(const Settings &settings) override;
    QString openFileName(const Settings &settings) override;
    QStringList openFileNames(const Settings &settings) override;

private:
    // Runs `ask` on the window's thread and waits; false when cancelled.
    bool onWindowThread(const std::function<void()> &ask);

    MessageService &m_messages;
    ErrorReporter &m_errors;
    FileDialogService &m_dialogs;
    const WorkProgress &m_progress;
    std::atomic<int> m_asking{0};
};
