#include "BackgroundWork.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace {
// Work shorter than this shows no dialog at all.
constexpr qint64 DialogDelayMs = 500;
// How long Cancel waits for the work to stop at its next chunk before the
// window goes on without it (its result is dropped).
constexpr qint64 CancelGraceMs = 2000;
constexpr int TickMs = 10;
constexpr int Steps = 1000;

QString amount(WorkProgress::Unit unit, qint64 done, qint64 total) {
    const QLocale locale;
    switch (unit) {
    case WorkProgress::Unit::Bytes:
        return QStringLiteral("%1 of %2")
            .arg(locale.formattedDataSize(done), locale.formattedDataSize(total));
    case WorkProgress::Unit::Items:
        return QStringLiteral("%1 of %2 episodes")
            .arg(locale.toString(done), locale.toString(total));
    case WorkProgress::Unit::Files:
        return QStringLiteral("%1 of %2 files").arg(locale.toString(done), locale.toString(total));
    }
    return {};
}
} // namespace

BackgroundWork::State::State(MessageService &messages, ErrorReporter &errors,
                             FileDialogService &dialogs)
    : services(messages, errors, dialogs, progress) {
    clock.start();
    services.onAnswered = [this] { answeredAt = clock.elapsed(); };
}

BackgroundWork::BackgroundWork(QWidget &window, MessageService &messages, ErrorReporter &errors,
                               FileDialogService &dialogs)
    : QObject(&window)
    , m_window(window)
    , m_messages(messages)
    , m_errors(errors)
    , m_dialogs(dialogs) {}

BackgroundWork::~BackgroundWork() {
    cancel();
}

// The user's input to the window waits out the work; the messages, dialogs
// and progress the work shows are windows of their own and take it.
bool BackgroundWork::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Taken as the box's own key, so that no shortcut of the window
        // fires; the key itself is then held back below.
        const auto *widget = qobject_cast<const QWidget *>(watched);
        if (widget && widget->window() == &m_window) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        const auto *widget = qobject_cast<const QWidget *>(watched);
        if (widget && widget->window() == &m_window)
            return true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void BackgroundWork::cancel() {
    if (m_running)
        m_running->progress.cancel();
}

bool BackgroundWork::wait(const QString &label, const std::shared_ptr<State> &state,
                          std::function<void()> body) {
    // One piece of work at a time: the window takes no commands meanwhile.
    if (m_running)
        return false;
    // The thread holds the state: a work the window stopped waiting for
    // finishes on its own, and says nothing more.
    QThread *thread = QThread::create([state, body = std::move(body)] { body(); });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(thread, &QThread::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });

    m_running = state.get();
    QCoreApplication::instance()->installEventFilter(this);
    std::unique_ptr<QProgressDialog> dialog;
    qint64 cancelledAt = -1;
    QTimer tick;
    tick.setInterval(TickMs);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (whileWaiting)
            whileWaiting(*this);
        const qint64 now = state->clock.elapsed();
        if (state->progress.isCancelled()) {
            if (cancelledAt < 0)
                cancelledAt = now;
            if (dialog)
                dialog->setLabelText(QStringLiteral("Cancelling…"));
            if (now - cancelledAt >= CancelGraceMs)
                loop.quit();
            return;
        }
        if (state->services.isAsking())
            return;
        if (!dialog && now - state->answeredAt >= DialogDelayMs) {
            dialog =
                std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 0, &m_window);
            dialog->setObjectName(QStringLiteral("ProgressDialog"));
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            dialog->setMinimumDuration(0);
            QObject::connect(dialog.get(), &QProgressDialog::canceled, &loop, [this] { cancel(); });
            dialog->show();
        }
        if (!dialog)
            return;
        const qint64 total = state->progress.total();
        const qint64 done = std::min(state->progress.done(), total);
        if (total > 0) {
            dialog->setRange(0, Steps);
            dialog->setValue(int(done * Steps / total));
            dialog->setLabelText(label + u'\n' + amount(state->progress.unit(), done, total));
        } else {
            dialog->setRange(0, 0); // busy, without a measure
        }
    });
    tick.start();
    // Before the thread starts, so that a test's first call cannot come
    // after a quick work has finished.
    if (whileWaiting)
        whileWaiting(*this);
    thread->start();
    loop.exec();
    tick.stop();
    dialog.reset();
    m_running = nullptr;
    m_lastCancelled = state->progress.isCancelled();
    QCoreApplication::instance()->removeEventFilter(this);
    return finished;
}
