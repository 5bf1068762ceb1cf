// Offscreen timings of the editor window, printed in milliseconds:
//   brindlewood-bench-editor startup       process start to the first painted window
//   brindlewood-bench-editor click FEED    pressing "Load Podcast.xml" (the open dialog
//                                          answers FEED) to the list painted with its rows
//   brindlewood-bench-editor latency FEED  the longest the window went without a 10 ms
//                                          timer tick while it opened, saved and checked
//                                          a copy of FEED (one line each, then the worst)
#include "app/ApplicationIcon.h"
#include "app/FeedFileCommands.h"
#include "app/MainWindow.h"
#include "dialogs/FeedCheckDialog.h"
#include "feed/FileDialogService.h"
#include "feed/MessageService.h"
#include "model/PodcastDocument.h"
#include "platform/MessageBoxes.h"
#include "platform/QtDesktopShell.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {
constexpr char StartEnv[] = "BRINDLEWOOD_BENCH_T0";

qint64 monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void printMs(qint64 fromNs) {
    std::printf("%.1f\n", double(monotonicNs() - fromNs) / 1e6);
    std::fflush(stdout);
}

// The start moment must be taken before the process exists, so the helper
// starts itself again and hands the moment over.
int spawnSelf(char *argv0) {
    const QByteArray env = QByteArray(StartEnv) + '=' + QByteArray::number(monotonicNs());
    setenv(StartEnv, env.constData() + sizeof StartEnv, 1);
    char mode[] = "startup-child";
    char *args[] = {argv0, mode, nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, argv0, nullptr, nullptr, args, environ) != 0)
        return 2;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}

class ScriptedOpen : public FileDialogService {
public:
    QString saveFileName(const Settings &) override { return {}; }
    QString openFileName(const Settings &) override { return path; }
    QString path;
};

// A modal box would wait forever offscreen: a refused feed ends the run.
class FailingMessages : public MessageService {
public:
    void notice(const QString &text, const QString &) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        std::exit(1);
    }
    Answer question(const QString &, const QString &, Buttons, Answer defaultAnswer) override {
        return defaultAnswer;
    }
};

// Calls back once, after the first paint of `widget` has been handed over.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget *widget, std::function<bool()> ready, std::function<void()> done)
        : m_ready(std::move(ready))
        , m_done(std::move(done)) {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint && !m_fired && m_ready()) {
            m_fired = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, m_done);
        }
        return false;
    }

private:
    std::function<bool()> m_ready;
    std::function<void()> m_done;
    bool m_fired = false;
};
// The window must answer while work runs: a tick that comes late is a moment
// it could not repaint.
int latency(MainWindow &window, const QString &feed) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("feed.xml"));
    if (!folder.isValid() || !QFile::copy(feed, copy)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(feed));
        return 1;
    }
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    qint64 overall = 0;
    auto phase = [&](const char *name, const std::function<void()> &work) {
        last = clock.elapsed();
        worst = 0;
        work();
        // The tick after the work: the step that applied its result counts.
        QEventLoop settle;
        QTimer::singleShot(30, &settle, &QEventLoop::quit);
        settle.exec();
        std::fprintf(stderr, "%s: longest gap %lld ms\n", name, static_cast<long long>(worst));
        overall = std::max(overall, worst);
    };
    window.show();
    QTimer::singleShot(100, [&] {
        clock.start();
        tick.start();
        phase("open", [&] { window.fileCommands().openPath(copy); });
        if (window.document().episodeCount() == 0) {
            std::fprintf(stderr, "nothing loaded\n");
            std::exit(1);
        }
        phase("save", [&] { window.fileCommands().save(); });
        phase("check", [&] { window.checkFeedAction()->trigger(); });
        std::printf("%lld\n", static_cast<long long>(overall));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}
} // namespace

int main(int argc, char *argv[]) {
    constexpr char Usage[] = "Usage: brindlewood-bench-editor startup | click FEED\n"
                             "Prints the milliseconds to the first painted window, or from\n"
                             "pressing \"Load Podcast.xml\" to the rows of FEED painted.\n";
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "--help" || mode == "-h") {
        std::fputs(Usage, stdout);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "brindlewood-bench-editor: unknown option '%s'\n%s", argv[i],
                         Usage);
            return 2;
        }
    }
    if (mode == "startup" && argc == 2)
        return spawnSelf(argv[0]);
    if (!(mode == "startup-child" && argc == 2) &&
        !((mode == "click" || mode == "latency") && argc == 3)) {
        std::fputs(Usage, stderr);
        return 2;
    }

    // As main.cpp starts the editor.
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());
    MessageBoxes boxes;
    FailingMessages failing;
    ScriptedOpen dialogs;
    QtDesktopShell shell;
    MessageService &messages =
        mode == "startup-child" ? static_cast<MessageService &>(boxes) : failing;
    MainWindowServices services{messages, boxes, dialogs, shell};
    // The check's list is built, not waited on.
    services.showFeedCheckDialog = [](FeedCheckDialog &) {};
    MainWindow window(std::move(services));
    boxes.setParent(&window);

    // A run that never gets there fails instead of hanging the benchmark.
    QTimer::singleShot(60'000, [] {
        std::fprintf(stderr, "timed out\n");
        std::exit(1);
    });

    if (mode == "startup-child") {
        const qint64 started = qEnvironmentVariable(StartEnv).toLongLong();
        FirstPaint shown(
            &window, [] { return true; },
            [&] {
                printMs(started);
                QCoreApplication::exit(0); // quit() would close the window and ask to save
            });
        window.show();
        return QApplication::exec();
    }

    if (mode == "latency")
        return latency(window, QString::fromLocal8Bit(argv[2]));

    dialogs.path = QString::fromLocal8Bit(argv[2]);
    auto *button = window.findChild<QPushButton *>(QStringLiteral("PushButton7"));
    auto *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
    if (button == nullptr || list == nullptr) {
        std::fprintf(stderr, "PushButton7 or ListView1 not found\n");
        return 1;
    }
    qint64 clicked = 0;
    FirstPaint rowsShown(
        list->viewport(), [&] { return clicked != 0 && window.document().episodeCount() > 0; },
        [&] {
            printMs(clicked);
            std::fprintf(stderr, "%lld rows\n",
                         static_cast<long long>(window.document().episodeCount()));
            QCoreApplication::exit(0); // quit() would close the window and ask to save
        });
    FirstPaint shown(
        &window, [] { return true; },
        [&] {
            clicked = monotonicNs();
            button->click();
        });
    window.show();
    return QApplication::exec();
}
