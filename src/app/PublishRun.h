#pragma once

#include "publish/Publisher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class PublishProgressDialog;
class QWidget;

// Runs publishing work off the GUI thread while a progress dialog shows how
// it goes, and keeps the window responsive. The worker reaches the GUI only
// through this object: progress is posted (in order), questions are asked
// on the GUI thread and waited for. The worker never touches a widget.
class PublishRun : public QObject {
    Q_OBJECT

public:
    // `shown` is called with the progress dialog once the work has started
    // (tests play the user's part there).
    explicit PublishRun(QWidget &window, std::function<void(PublishProgressDialog &)> shown = {});

    // GUI thread: runs `work` on a worker thread and returns when it has
    // ended, the progress dialog shown meanwhile.
    void run(const QString &status, const std::function<void()> &work);

    // Worker thread.
    void progress(const Publisher::Progress &progress);
    void status(const QString &text);
    // Runs `question` on the GUI thread and waits for its answer.
    bool ask(const std::function<bool()> &question);
    // Set when the user pressed Cancel.
    const std::atomic<bool> &cancel() const { return m_cancel; }

private:
    QWidget &m_window;
    std::function<void(PublishProgressDialog &)> m_shown;
    PublishProgressDialog *m_dialog = nullptr;
    std::atomic<bool> m_cancel{false};
    // Worker side: progress is posted at most every 50 ms, and at each
    // file's start and end.
    QElapsedTimer m_posted;
    QString m_postedFile;
};
