#include "ForwardedServices.h"

#include "xml/WorkProgress.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <future>

ForwardedServices::ForwardedServices(MessageService &messages, ErrorReporter &errors,
                                     FileDialogService &dialogs, const WorkProgress &progress)
    : m_messages(messages)
    , m_errors(errors)
    , m_dialogs(dialogs)
    , m_progress(progress) {}

bool ForwardedServices::onWindowThread(const std::function<void()> &ask) {
    auto run = [this, &ask] {
        // Checked on the window's thread, where Cancel is pressed: nothing
        // reaches the user after it.
        if (m_progress.isCancelled())
            return false;
        ++m_asking;
        ask();
        --m_asking;
        if (onAnswered)
            onAnswered();
        return true;
    };
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread())
        return run();
    // So what the window's thread wrote is seen here, by the sanitizer too.
    std::promise<bool> shown;
    std::future<bool> answered = shown.get_future();
    const bool called = QMetaObject::invokeMethod(
        application,
        [&] {
            try {
                shown.set_value(run());
            } catch (...) {
                shown.set_exception(std::current_exception());
            }
        },
        Qt::BlockingQueuedConnection);
    // A call dropped unrun (the application quitting) leaves no answer.
    return called && answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
           answered.get();
}

void ForwardedServices::notice(const QString &text, const QString &detail) {
    onWindowThread([&] { m_messages.notice(text, detail); });
}

MessageService::Answer ForwardedServices::question(const QString &text, const QString &caption,
                                                   Buttons buttons, Answer defaultAnswer) {
    Answer answer = Answer::Cancel;
    onWindowThread([&] { answer = m_messages.question(text, caption, buttons, defaultAnswer); });
    return answer;
}

MessageService::Answer ForwardedServices::questionWithDetail(const QString &text,
                                                             const QString &detail, Buttons buttons,
                                                             Answer defaultAnswer) {
    Answer answer = Answer::Cancel;
    onWindowThread(
        [&] { answer = m_messages.questionWithDetail(text, detail, buttons, defaultAnswer); });
    return answer;
}

void ForwardedServices::reportFailure(const QString &location, int step,
                                      const QString &description) {
    onWindowThread([&] { m_errors.reportFailure(location, step, description); });
}

QString ForwardedServices::saveFileName(const Settings &settings) {
    QString path;
    onWindowThread([&] { path = m_dialogs.saveFileName(settings); });
    return path;
}

QString ForwardedServices::openFileName(const Settings &settings) {
    QString path;
    onWindowThread([&] { path = m_dialogs.openFileName(settings); });
    return path;
}

QStringList ForwardedServices::openFileNames(const Settings &settings) {
    QStringList paths;
    onWindowThread([&] { paths = m_dialogs.openFileNames(settings); });
    return paths;
}
