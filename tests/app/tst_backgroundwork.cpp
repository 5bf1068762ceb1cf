#include "EditorHarness.h"
#include "app/BackgroundWork.h"
#include "app/DocumentUndoStack.h"
#include "app/FeedFileCommands.h"
#include "support/FeedFiles.h"

#include <QDir>

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
// A feed large enough that its load, save and check take a while.
QByteArray bigFeed(int episodes) {
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:itunes=\"http://www.itunes.com/dtds/"
                      "podcast-1.0.dtd\">\n<channel>\n<title>Big Orchard</title>\n";
    for (int i = 0; i < episodes; ++i) {
        text += "<item><title>Episode " + QByteArray::number(i) + "</title><description>" +
                QByteArray(300, 'x') + "</description><enclosure url=\"https://o.example/" +
                QByteArray::number(i) +
                ".mp3\" length=\"1\" type=\"audio/mpeg\"/><pubDate>Mon, 01 Jan 2024 10:00:00 "
                "GMT</pubDate></item>\n";
    }
    return text + "</channel>\n</rss>\n";
}

// Cancels once the work has come `fraction` of its way (0: before it starts).
// The cancel comes from the work's own thread, so that a quick machine cannot
// finish the work between two of the window's ticks.
void cancelAt(EditorHarness &editor, double fraction) {
    BackgroundWork &work = editor.window->backgroundWork();
    if (fraction == 0.0) {
        work.whileWaiting = [](BackgroundWork &running) { running.cancel(); };
        return;
    }
    work.onProgress = [fraction](WorkProgress &progress) {
        if (progress.done() >= fraction * double(progress.total()))
            progress.cancel();
    };
}

// Records what reached the user, in one log, and on which thread.
class RecordingServices : public MessageService, public ErrorReporter {
public:
    void notice(const QString &text, const QString &) override { record(text); }
    Answer question(const QString &text, const QString &, Buttons, Answer) override {
        record(text);
        return Answer::Yes;
    }
    void reportFailure(const QString &, int step, const QString &) override {
        record(u"report %1"_s.arg(step));
    }
    QStringList log;
    QList<bool> onWindowThread;

private:
    void record(const QString &entry) {
        log.append(entry);
        onWindowThread.append(QThread::currentThread() == qApp->thread());
    }
};
} // namespace

class tst_BackgroundWork : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void open_cancelled_changesNothing_data();
    void open_cancelled_changesNothing();
    void save_cancelled_leavesOldFileOrFinishes_data();
    void save_cancelled_leavesOldFileOrFinishes();
    void check_cancelled_showsNothing();
    void reports_arriveInOrderOnWindowThread();
    void reports_afterCancel_notShown();
    void failure_inWork_reachesCaller();
    void input_whileWorking_heldBack();
};

void tst_BackgroundWork::open_cancelled_changesNothing_data() {
    QTest::addColumn<double>("fraction");
    QTest::newRow("at once") << 0.0;
    QTest::newRow("a third in") << 0.33;
    QTest::newRow("near the end") << 0.9;
}

void tst_BackgroundWork::open_cancelled_changesNothing() {
    QFETCH(double, fraction);
    EditorHarness editor;
    const QString path = editor.filePath(u"big.xml"_s);
    QVERIFY(FeedFiles::writeAll(path, bigFeed(4000)));
    editor.addEpisodes({u"Typed"_s});
    editor.window->undoStack().markSaved();
    const PodcastContent before = editor.document().content();
    const QString title = editor.window->windowTitle();

    cancelAt(editor, fraction);
    QVERIFY(!editor.window->fileCommands().openPath(path));
    QVERIFY(editor.window->backgroundWork().lastCancelled());
    QCOMPARE(editor.document().content(), before);
    QVERIFY(!editor.document().DocumentChanged());
    QCOMPARE(editor.window->windowTitle(), title);
    QVERIFY(editor.window->fileCommands().path().isEmpty());
    QVERIFY(editor.messages.shown.isEmpty());
    QVERIFY(editor.errors.reports.isEmpty());
    QVERIFY(!editor.window->backgroundWork().isBusy());
}

void tst_BackgroundWork::save_cancelled_leavesOldFileOrFinishes_data() {
    QTest::addColumn<double>("fraction");
    QTest::newRow("at once") << 0.0;
    QTest::newRow("half written") << 0.5;
    QTest::newRow("all written") << 1.0;
}

void tst_BackgroundWork::save_cancelled_leavesOldFileOrFinishes() {
    QFETCH(double, fraction);
    EditorHarness editor;
    const QString path = editor.filePath(u"big.xml"_s);
    const QByteArray old = bigFeed(4000);
    QVERIFY(FeedFiles::writeAll(path, old));
    QVERIFY(editor.window->fileCommands().openPath(path));
    editor.document().setField(ChannelField::Title, u"Renamed Orchard"_s);

    cancelAt(editor, fraction);
    editor.window->fileCommands().save();
    const QByteArray now = FeedFiles::readAll(path);
    // Either the old file stands and the work is still to save, or the save
    // got past its last moment and is whole.
    if (now == old) {
        QVERIFY(editor.document().DocumentChanged());
    } else {
        QVERIFY(now.contains("<title>Renamed Orchard</title>"));
        QVERIFY(!editor.document().DocumentChanged());
    }
    if (fraction == 0.0)
        QCOMPARE(now, old);
    // No temporary file is left beside it.
    QCOMPARE(QDir(editor.output.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"big.xml"_s});
    QVERIFY(editor.messages.shown.isEmpty());
}

void tst_BackgroundWork::check_cancelled_showsNothing() {
    EditorHarness editor;
    const QString path = editor.filePath(u"big.xml"_s);
    QVERIFY(FeedFiles::writeAll(path, bigFeed(4000)));
    QVERIFY(editor.window->fileCommands().openPath(path));
    cancelAt(editor, 0.0);
    editor.window->checkFeedAction()->trigger();
    QCOMPARE(editor.checksShown, 0);
    QVERIFY(editor.window->backgroundWork().lastCancelled());
    editor.window->backgroundWork().whileWaiting = {};
    editor.window->checkFeedAction()->trigger();
    QCOMPARE(editor.checksShown, 1);
}

void tst_BackgroundWork::reports_arriveInOrderOnWindowThread() {
    RecordingServices user;
    ScriptedFileDialogs dialogs;
    dialogs.paths = {u"/chosen.xml"_s};
    QWidget window;
    BackgroundWork work(window, user, user, dialogs);
    const std::optional<QString> result =
        work.run<QString>(u"Working…"_s, [](ForwardedServices &services) {
            services.notice(u"first"_s);
            const auto answer = services.question(u"second"_s, {}, MessageService::Buttons::YesNo,
                                                  MessageService::Answer::No);
            services.reportFailure(u"here"_s, 104, u"third"_s);
            services.notice(u"fourth"_s);
            const QString chosen = services.openFileName({});
            return (answer == MessageService::Answer::Yes ? u"yes "_s : u"no "_s) + chosen;
        });
    QCOMPARE(result, std::optional<QString>(u"yes /chosen.xml"_s));
    QCOMPARE(user.log, (QStringList{u"first"_s, u"second"_s, u"report 104"_s, u"fourth"_s}));
    QCOMPARE(user.onWindowThread, (QList<bool>{true, true, true, true}));
    QCOMPARE(dialogs.opened.size(), 1);
}

void tst_BackgroundWork::reports_afterCancel_notShown() {
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    ScriptedFileDialogs dialogs;
    QWidget window;
    BackgroundWork work(window, messages, errors, dialogs);
    work.whileWaiting = [](BackgroundWork &running) { running.cancel(); };
    const std::optional<int> result = work.run<int>(u"Working…"_s, [](ForwardedServices &services) {
        while (!WorkProgress::currentCancelled())
            QThread::msleep(1);
        services.notice(u"too late"_s);
        return services.question(u"too late"_s, {}, MessageService::Buttons::YesNo,
                                 MessageService::Answer::Yes) == MessageService::Answer::Cancel
                   ? 1
                   : 0;
    });
    QVERIFY(!result);
    QVERIFY(work.lastCancelled());
    QVERIFY(messages.shown.isEmpty());
}

void tst_BackgroundWork::failure_inWork_reachesCaller() {
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    ScriptedFileDialogs dialogs;
    QWidget window;
    BackgroundWork work(window, messages, errors, dialogs);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, work.run<int>(u"Working…"_s, [](auto &) -> int {
        throw std::runtime_error("disk on fire");
    }));
    QVERIFY(!work.isBusy());
}

// Keys and shortcuts reach no command while the work runs.
void tst_BackgroundWork::input_whileWorking_heldBack() {
    EditorHarness editor;
    editor.window->show();
    editor.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
    const QString path = editor.filePath(u"big.xml"_s);
    QVERIFY(FeedFiles::writeAll(path, bigFeed(4000)));
    QLineEdit *title = editor.window->fieldBox(ChannelField::Title);
    title->setFocus();
    bool pressed = false;
    editor.window->backgroundWork().whileWaiting = [&](BackgroundWork &) {
        if (pressed)
            return;
        pressed = true;
        QTest::keyClick(title, Qt::Key_F7);
        QTest::keyClicks(title, u"typed"_s);
    };
    QVERIFY(editor.window->fileCommands().openPath(path));
    QVERIFY(pressed);
    QCOMPARE(editor.checksShown, 0);
    QCOMPARE(editor.document().field(ChannelField::Title), u"Big Orchard"_s);
    QVERIFY(!editor.document().DocumentChanged());
    // Afterwards the window takes them again. A slow load (a sanitizer's)
    // showed the progress dialog, which without a window manager leaves the
    // window inactive: a shortcut needs it active.
    editor.window->backgroundWork().whileWaiting = {};
    editor.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
    QTest::keyClick(title, Qt::Key_F7);
    QCOMPARE(editor.checksShown, 1);
}

QTEST_MAIN(tst_BackgroundWork)
#include "tst_backgroundwork.moc"
