#pragma once

#include "ForwardedServices.h"
#include "xml/WorkProgress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

// Runs a long piece of work (a load, a save, a check, media files) on a
// thread of its own while the window stays live: it repaints, moves and
// answers, but takes no keys or clicks, so no command can change the
// document meanwhile. Work that lasts longer than half a second shows a
// progress dialog with Cancel, modal to the window. The work gets a snapshot, never the window's
// widgets or document; its result comes back here, on the window's thread, to be applied in one
// step.
class BackgroundWork : public QObject {
    Q_OBJECT

public:
    // What a cancelled work that finished all the same comes back as.
    enum class OnCancel {
        Discard,    // nothing: the document stays as it was (a load, a check)
        KeepResult, // the result, as what was done cannot be taken back (a save)
    };

    BackgroundWork(QWidget &window, MessageService &messages, ErrorReporter &errors,
                   FileDialogService &dialogs);
    ~BackgroundWork() override;

    bool isBusy() const { return m_running != nullptr; }
    // The progress of the work that runs, or null.
    const WorkProgress *progress() const { return m_running ? &m_running->progress : nullptr; }
    // Whether the user cancelled the work that ran last.
    bool lastCancelled() const { return m_lastCancelled; }
    // Cancels the work that runs, as its dialog's Cancel does.
    void cancel();

    // Shown after half a second: "Opening feed.xml…".
    template<typename Result>
    std::optional<Result> run(const QString &label, std::function<Result(ForwardedServices &)> work,
                              OnCancel onCancel = OnCancel::Discard) {
        auto state = std::make_shared<State>(m_messages, m_errors, m_dialogs);
        state->progress.setOnDone(onProgress);
        auto result = std::make_shared<std::optional<Result>>();
        auto failure = std::make_shared<std::exception_ptr>();
        const bool finished = wait(label, state, [state, result, failure, work = std::move(work)] {
            const WorkProgress::Scope scope(state->progress);
            try {
                *result = work(state->services);
            } catch (...) {
                *failure = std::current_exception();
            }
        });
        if (!finished || (state->progress.isCancelled() && onCancel == OnCancel::Discard))
            return std::nullopt;
        // A failure the work did not catch is the window's to report, as if
        // the work had run here.
        if (*failure)
            std::rethrow_exception(*failure);
        return std::move(*result);
    }

    // Set for tests: called on the window's thread once as the work starts,
    // then about every 10 ms while it runs.
    std::function<void(BackgroundWork &)> whileWaiting;
    // Set for tests: called on the work's thread after each step it reports.
    std::function<void(WorkProgress &)> onProgress;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct State {
        State(MessageService &messages, ErrorReporter &errors, FileDialogService &dialogs);
        WorkProgress progress;
        ForwardedServices services;
        std::atomic<qint64> answeredAt{0}; // ms on the clock below
        QElapsedTimer clock;
    };

    // Runs `body` on a thread and waits for it, or for Cancel; false when
    // the window stopped waiting before the work finished.
    bool wait(const QString &label, const std::shared_ptr<State> &state,
              std::function<void()> body);

    QWidget &m_window;
    MessageService &m_messages;
    ErrorReporter &m_errors;
    FileDialogService &m_dialogs;
    State *m_running = nullptr;
    bool m_lastCancelled = false;
};
