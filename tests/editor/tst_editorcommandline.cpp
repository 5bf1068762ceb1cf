#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

// The editor's command line: help and version need no display, and an option
// it does not know stops it instead of being loaded as a feed.
class tst_EditorCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void arguments_answeredOrRefusedBeforeAnyWindow_data();
    void arguments_answeredOrRefusedBeforeAnyWindow();
};

void tst_EditorCommandLine::arguments_answeredOrRefusedBeforeAnyWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("outHas");
    QTest::addColumn<QByteArray>("errHas");

    QTest::newRow("--help without a display")
        << QStringList{u"--help"_qs} << false << 0 << QByteArray("Usage:") << QByteArray();
    QTest::newRow("-h without a display")
        << QStringList{u"-h"_qs} << false << 0 << QByteArray("[file]") << QByteArray();
    QTest::newRow("--version without a display")
        << QStringList{u"--version"_qs} << false << 0 << QByteArray("brindlewood-feed-editor ")
        << QByteArray();
    QTest::newRow("unknown option") << QStringList{u"--fast"_qs} << true << 1 << QByteArray()
                                    << QByteArray("Unknown option 'fast'.");
    QTest::newRow("lone dash") << QStringList{u"-"_qs} << true << 1 << QByteArray()
                               << QByteArray("Unknown option '-'.");
}

void tst_EditorCommandLine::arguments_answeredOrRefusedBeforeAnyWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, outHas);
    QFETCH(QByteArray, errHas);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_qs, u"WAYLAND_DISPLAY"_qs, u"QT_QPA_PLATFORM"_qs})
        environment.remove(name);
    if (display)
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    // A started editor would find no display and abort, or wait for its window to close.
    QTemporaryDir runtime;
    environment.insert(u"XDG_RUNTIME_DIR"_qs, runtime.path());

    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.start(QStringLiteral(BRINDLEWOOD_EDITOR_EXE), arguments);
    if (!editor.waitForFinished(60'000)) {
        editor.kill();
        editor.waitForFinished();
        QFAIL("the editor started instead of answering");
    }
    const QByteArray out = editor.readAllStandardOutput();
    const QByteArray err = editor.readAllStandardError();
    QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
    QVERIFY2(editor.exitCode() == exitCode, err.constData());
    QVERIFY2(out.contains(outHas), out.constData());
    QVERIFY2(err.contains(errHas), err.constData());
}

QTEST_GUILESS_MAIN(tst_EditorCommandLine)
#include "tst_editorcommandline.moc"
