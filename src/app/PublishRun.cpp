#include "PublishRun.h"

#include "dialogs/PublishProgressDialog.h"

#include <QFutureWatcher>
#include <QThread>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

PublishRun::PublishRun(QWidget &window, std::function<void(PublishProgressDialog &)> shown)
    : QObject(&window)
    , m_window(window)
    , m_shown(std::move(shown)) {}

void PublishRun::run(const QString &status, const std::function<void()> &work) {
    m_cancel.store(false);
    m_posted.invalidate();
    m_postedFile.clear();
    PublishProgressDialog dialog(&m_window);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setStatus(status);
    m_dialog = &dialog;
    connect(&dialog, &PublishProgressDialog::cancelled, this, [this] { m_cancel.store(true); });
    bool done = false;
    QFutureWatcher<void> watcher;
    // Posted by the worker after all of its progress, so it arrives last.
    connect(&watcher, &QFutureWatcherBase::finished, &dialog, [&] {
        done = true;
        dialog.finish();
    });
    watcher.setFuture(QtConcurrent::run(work));
    if (m_shown)
        m_shown(dialog);
    if (!done)
        dialog.exec();
    watcher.waitForFinished();
    m_dialog = nullptr;
}

void PublishRun::progress(const Publisher::Progress &progress) {
    const bool edge = progress.file != m_postedFile || progress.fileSent == 0 ||
                      progress.fileSent == progress.fileSize;
    if (!edge && m_posted.isValid() && !m_posted.hasExpired(50))
        return;
    m_posted.start();
    m_postedFile = progress.file;
    QMetaObject::invokeMethod(
        this,
        [this, progress] {
            if (m_dialog != nullptr)
                m_dialog->setProgress(progress);
        },
        Qt::QueuedConnection);
}

void PublishRun::status(const QString &text) {
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (m_dialog != nullptr)
                m_dialog->setStatus(text);
        },
        Qt::QueuedConnection);
}

bool PublishRun::ask(const std::function<bool()> &question) {
    if (QThread::currentThread() == thread())
        return question();
    bool answer = false;
    QMetaObject::invokeMethod(
        this, [&] { answer = question(); }, Qt::BlockingQueuedConnection);
    return answer;
}
