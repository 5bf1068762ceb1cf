#include "EditorHarness.h"

#include "app/DocumentUndoStack.h"
#include "app/FeedFileCommands.h"
#include "support/FeedFiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;

// File ▸ Open, Save and Save As, the title, recent files, and files handed
// over by the desktop.
class tst_FeedFileCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void open_replacesTheDocumentWithAFreshHistory();
    void open_asksFirstOnlyWhenChanged_data();
    void open_asksFirstOnlyWhenChanged();
    void save_writesBackWithoutADialog();
    void save_withoutAFile_runsTheSaveFlowThenWritesBack();
    void save_fileChangedOnDisk_asks_data();
    void save_fileChangedOnDisk_asks();
    void save_targetThatCannotBeWritten_saysSoAndOffersSaveAs();
    void save_refusedForABareAmpersand_offersTheFix_data();
    void save_refusedForABareAmpersand_offersTheFix();
    void recentFiles_newestFirstAtMostTen();
    void recentFiles_fileGone_offeredForRemoval_data();
    void recentFiles_fileGone_offeredForRemoval();
    void fileFromDesktop_opensIntoAnEmptyWindowElseAdds();
    void newUndone_theFeedIsItsFilesAgain();
};

namespace {
QByteArray feed(const QString &title, const QStringList &episodes) {
    QByteArray text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n"
                      "  <channel>\n    <title>" +
                      title.toUtf8() + "</title>\n";
    for (const QString &episode : episodes)
        text += "    <item>\n      <title>" + episode.toUtf8() + "</title>\n    </item>\n";
    return text + "  </channel>\n</rss>\n";
}

QString write(const EditorHarness &editor, const QString &name, const QByteArray &bytes) {
    const QString path = editor.filePath(name);
    FeedFiles::writeAll(path, bytes);
    return path;
}

using FeedFiles::readAll;

QAction *action(const EditorHarness &editor, const char *name) {
    return editor.window->findChild<QAction *>(QLatin1StringView(name));
}

// Types over the title box, as a user does.
void typeTitle(EditorHarness &editor, const QString &text) {
    QLineEdit *box = editor.window->fieldBox(ChannelField::Title);
    box->selectAll();
    QTest::keyClicks(box, text);
}

void open(EditorHarness &editor, const QString &path) {
    editor.dialogs.paths = {path};
    action(editor, "OpenAction")->trigger();
}
} // namespace

void tst_FeedFileCommands::open_replacesTheDocumentWithAFreshHistory() {
    EditorHarness editor;
    editor.addEpisodes({u"Typed"_s});
    editor.document().setField(ChannelField::Author, u"Someone"_s);
    editor.document().setDocumentChanged(false);
    const QString path = write(editor, u"orchard.xml"_s, feed(u"Orchard"_s, {u"One"_s, u"Two"_s}));
    open(editor, path);
    QCOMPARE(editor.titles(), (QStringList{u"One"_s, u"Two"_s}));
    QCOMPARE(editor.document().field(ChannelField::Author), QString());
    QVERIFY(!editor.document().DocumentChanged());
    QVERIFY(!editor.window->undoStack().canUndo());
    QCOMPARE(editor.window->windowTitle(), u"orchard.xml[*] — Brindlewood Feed Editor Tool"_s);
    QVERIFY(!editor.window->isWindowModified());
    // Feeds ending in .rss are offered too.
    QVERIFY(editor.dialogs.opened.last().settings.filter.contains(u"*.rss"_s));
    typeTitle(editor, u"Orchard!"_s);
    QVERIFY(editor.window->isWindowModified());
    // Nothing to ask when quitting an unedited feed.
    editor.window->undoStack().undo();
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_FeedFileCommands::open_asksFirstOnlyWhenChanged_data() {
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("answer"); // Yes Save, No Discard, Cancel
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("saves");
    QTest::newRow("unchanged") << false << -1 << true << false;
    QTest::newRow("changed, Discard") << true << int(MessageService::Answer::No) << true << false;
    QTest::newRow("changed, Cancel")
        << true << int(MessageService::Answer::Cancel) << false << false;
    QTest::newRow("changed, Save") << true << int(MessageService::Answer::Yes) << true << true;
}

void tst_FeedFileCommands::open_asksFirstOnlyWhenChanged() {
    QFETCH(bool, changed);
    QFETCH(int, answer);
    QFETCH(bool, opens);
    QFETCH(bool, saves);
    EditorHarness editor;
    const QString first = write(editor, u"first.xml"_s, feed(u"First"_s, {u"A"_s}));
    const QString second = write(editor, u"second.xml"_s, feed(u"Second"_s, {u"B"_s}));
    open(editor, first);
    if (changed)
        typeTitle(editor, u"First, edited"_s);
    if (answer >= 0)
        editor.messages.answers = {MessageService::Answer(answer)};
    open(editor, second);
    QCOMPARE(editor.messages.shown.size(), answer >= 0 ? 1 : 0);
    if (answer >= 0) {
        QCOMPARE(editor.messages.shown.first().buttons, MessageService::Buttons::SaveDiscardCancel);
        QCOMPARE(editor.messages.shown.first().text,
                 u"Save the changes to first.xml before opening another feed?"_s);
    }
    QCOMPARE(editor.document().field(ChannelField::Title),
             opens ? u"Second"_s : u"First, edited"_s);
    QCOMPARE(readAll(first).contains("First, edited"), saves);
}

void tst_FeedFileCommands::save_writesBackWithoutADialog() {
    EditorHarness editor;
    const QByteArray original = feed(u"Orchard"_s, {u"One"_s, u"Two"_s});
    const QString path = write(editor, u"orchard.xml"_s, original);
    open(editor, path);
    const qsizetype dialogs = editor.dialogs.opened.size();
    typeTitle(editor, u"Orchard Tales"_s);
    QVERIFY(editor.window->isWindowModified());
    action(editor, "SaveAction")->trigger();
    QCOMPARE(editor.dialogs.opened.size(), dialogs);
    QVERIFY2(editor.messages.shown.isEmpty(), qPrintable(editor.messages.texts().join(u'\n')));
    QVERIFY(editor.errors.reports.isEmpty());
    QVERIFY(!editor.document().DocumentChanged());
    QVERIFY(!editor.window->isWindowModified());
    // The file's own text, with the one change and the build date.
    QByteArray expected = original;
    expected.replace("<title>Orchard</title>",
                     "<lastBuildDate>Tue, 05 Mar 2024 09:30:00 +0000</lastBuildDate>\n"
                     "    <title>Orchard Tales</title>");
    QCOMPARE(readAll(path), expected);
}

void tst_FeedFileCommands::save_withoutAFile_runsTheSaveFlowThenWritesBack() {
    EditorHarness editor;
    typeTitle(editor, u"Typed"_s);
    editor.addEpisodes({u"One"_s});
    const QString path = editor.filePath(u"typed.xml"_s);
    editor.dialogs.paths = {path};
    action(editor, "SaveAction")->trigger();
    QCOMPARE(editor.messages.texts(), QStringList{u"Done Saved."_s});
    QCOMPARE(editor.window->fileCommands().path(), path);
    QCOMPARE(editor.window->windowTitle(), u"typed.xml[*] — Brindlewood Feed Editor Tool"_s);
    typeTitle(editor, u"Typed again"_s);
    action(editor, "SaveAction")->trigger();
    QCOMPARE(editor.dialogs.opened.size(), 1);
    QVERIFY(readAll(path).contains("<title>Typed again</title>"));
}

void tst_FeedFileCommands::save_fileChangedOnDisk_asks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("title");     // in the document afterwards
    QTest::addColumn<QByteArray>("onDisk"); // a title the file holds afterwards
    QTest::newRow("Overwrite") << int(MessageService::Answer::Yes) << u"Mine"_s
                               << QByteArray("<title>Mine</title>");
    QTest::newRow("Reload") << int(MessageService::Answer::No) << u"Theirs"_s
                            << QByteArray("<title>Theirs</title>");
    QTest::newRow("Cancel") << int(MessageService::Answer::Cancel) << u"Mine"_s
                            << QByteArray("<title>Theirs</title>");
}

void tst_FeedFileCommands::save_fileChangedOnDisk_asks() {
    QFETCH(int, answer);
    QFETCH(QString, title);
    QFETCH(QByteArray, onDisk);
    EditorHarness editor;
    const QString path = write(editor, u"feed.xml"_s, feed(u"Original"_s, {u"A"_s}));
    open(editor, path);
    typeTitle(editor, u"Mine"_s);
    write(editor, u"feed.xml"_s, feed(u"Theirs"_s, {u"A"_s, u"B"_s}));
    editor.messages.answers = {MessageService::Answer(answer)};
    action(editor, "SaveAction")->trigger();
    QCOMPARE(editor.messages.texts(),
             QStringList{u"The file has changed on disk since it was opened. Overwrite, Reload "
                         "or Cancel?"_s});
    QCOMPARE(editor.messages.shown.first().buttons, MessageService::Buttons::OverwriteReloadCancel);
    QCOMPARE(editor.document().field(ChannelField::Title), title);
    QVERIFY(readAll(path).contains(onDisk));
    if (answer == int(MessageService::Answer::No)) {
        // The reload can be undone: the edit is not lost.
        editor.window->undoStack().undo();
        QCOMPARE(editor.document().field(ChannelField::Title), u"Mine"_s);
    }
}

void tst_FeedFileCommands::save_targetThatCannotBeWritten_saysSoAndOffersSaveAs() {
    EditorHarness editor;
    const QString folder = editor.filePath(u"gone"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + u"/feed.xml"_s;
    QVERIFY(FeedFiles::writeAll(path, feed(u"T"_s, {u"A"_s})));
    open(editor, path);
    typeTitle(editor, u"T2"_s);
    QVERIFY(QDir(folder).removeRecursively());
    const QString elsewhere = editor.filePath(u"elsewhere.xml"_s);
    editor.messages.answers = {MessageService::Answer::Yes};
    editor.dialogs.paths = {elsewhere};
    action(editor, "SaveAction")->trigger();
    QCOMPARE(
        editor.messages.shown.first().text,
        u"\"%1\" cannot be saved: No such file or directory. Save it under another name?"_s.arg(
            path));
    // No Application Error report for the user's own situation.
    QVERIFY(editor.errors.reports.isEmpty());
    QVERIFY(readAll(elsewhere).contains("<title>T2</title>"));
    QCOMPARE(editor.window->fileCommands().path(), elsewhere);
}

void tst_FeedFileCommands::save_refusedForABareAmpersand_offersTheFix_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("fixed and saved") << true;
    QTest::newRow("declined: nothing changes") << false;
}

void tst_FeedFileCommands::save_refusedForABareAmpersand_offersTheFix() {
    QFETCH(bool, accept);
    EditorHarness editor;
    const QByteArray original = feed(u"Orchard"_s, {u"One"_s, u"Two"_s});
    const QString path = write(editor, u"orchard.xml"_s, original);
    open(editor, path);
    typeTitle(editor, u"Q&A"_s);
    const int steps = editor.window->undoStack().count();
    editor.messages.answers = {accept ? MessageService::Answer::Yes : MessageService::Answer::No};
    action(editor, "SaveAction")->trigger();
    QCOMPARE(editor.messages.shown.size(), 1);
    QCOMPARE(editor.messages.shown.first().text,
             u"XML is not valid.\n\nTitle: \"&\" must be written as \"&amp;\".\n\nWrite each "
             "such character as shown, as one step you can undo, and save?"_s);
    QVERIFY(editor.errors.reports.isEmpty());
    if (!accept) {
        QCOMPARE(editor.document().field(ChannelField::Title), u"Q&A"_s);
        QCOMPARE(readAll(path), original);
        QCOMPARE(editor.window->undoStack().count(), steps);
        return;
    }
    QCOMPARE(editor.document().field(ChannelField::Title), u"Q&amp;A"_s);
    QVERIFY(readAll(path).contains("<title>Q&amp;A</title>"));
    QVERIFY(!editor.document().DocumentChanged());
    // The fix is one step of the history; undoing it brings back what was typed.
    QCOMPARE(editor.window->undoStack().count(), steps + 1);
    editor.window->undoStack().undo();
    QCOMPARE(editor.document().field(ChannelField::Title), u"Q&A"_s);
}

void tst_FeedFileCommands::recentFiles_newestFirstAtMostTen() {
    EditorHarness editor;
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths.prepend(write(editor, u"feed%1.xml"_s.arg(i), feed(u"F%1"_s.arg(i), {u"A"_s})));
        open(editor, paths.first());
    }
    open(editor, paths[3]); // used again: first once more
    const QStringList recent = FeedFileCommands::recentFiles();
    QCOMPARE(recent.size(), FeedFileCommands::RecentLimit);
    QCOMPARE(recent.first(), paths[3]);
    QCOMPARE(recent.mid(1, 3), paths.mid(0, 3));
    auto *menu = editor.window->findChild<QMenu *>(u"RecentMenu"_s);
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), FeedFileCommands::RecentLimit);
    menu->actions().at(1)->trigger();
    QCOMPARE(editor.window->fileCommands().path(), paths[0]);
}

void tst_FeedFileCommands::recentFiles_fileGone_offeredForRemoval_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("removed");
    QTest::newRow("Yes removes it") << int(MessageService::Answer::Yes) << true;
    QTest::newRow("No keeps it") << int(MessageService::Answer::No) << false;
}

void tst_FeedFileCommands::recentFiles_fileGone_offeredForRemoval() {
    QFETCH(int, answer);
    QFETCH(bool, removed);
    EditorHarness editor;
    const QString gone = write(editor, u"gone.xml"_s, feed(u"Gone"_s, {u"B"_s}));
    const QString kept = write(editor, u"kept.xml"_s, feed(u"Kept"_s, {u"A"_s}));
    open(editor, gone);
    open(editor, kept);
    // Unsaved changes: not asked about, since nothing would replace them.
    typeTitle(editor, u"Kept, edited"_s);
    QVERIFY(QFile::remove(gone));
    editor.messages.answers = {MessageService::Answer(answer)};
    auto *menu = editor.window->findChild<QMenu *>(u"RecentMenu"_s);
    QVERIFY(menu);
    const auto entry = [menu](const QString &path) -> QAction * {
        for (QAction *action : menu->actions()) {
            if (action->text() == QDir::toNativeSeparators(path))
                return action;
        }
        return nullptr;
    };
    QVERIFY(entry(gone));
    entry(gone)->trigger();

    QCOMPARE(editor.messages.shown.size(), 1);
    QVERIFY2(editor.messages.shown.first().text.contains(QDir::toNativeSeparators(gone)),
             qPrintable(editor.messages.shown.first().text));
    QCOMPARE(editor.messages.shown.first().buttons, MessageService::Buttons::YesNo);
    QCOMPARE(editor.window->fileCommands().path(), kept);
    QCOMPARE(editor.document().field(ChannelField::Title), u"Kept, edited"_s);
    QVERIFY(editor.document().DocumentChanged());
    QCOMPARE(FeedFileCommands::recentFiles().first(), kept);
    QCOMPARE(FeedFileCommands::recentFiles().contains(gone), !removed);
    QCOMPARE(entry(gone) != nullptr, !removed);
}

void tst_FeedFileCommands::fileFromDesktop_opensIntoAnEmptyWindowElseAdds() {
    EditorHarness editor;
    const QString path = write(editor, u"given.xml"_s, feed(u"Given"_s, {u"A"_s}));
    editor.window->openFeed(path);
    QCOMPARE(editor.window->fileCommands().path(), path);
    QVERIFY(!editor.document().DocumentChanged());
    // Into a window that holds a feed it adds, as "Load Podcast.xml" does.
    editor.window->openFeed(path);
    QCOMPARE(editor.titles(), (QStringList{u"A"_s, u"A"_s}));
    QVERIFY(editor.window->undoStack().canUndo());
}

void tst_FeedFileCommands::newUndone_theFeedIsItsFilesAgain() {
    EditorHarness editor;
    const QByteArray original = feed(u"Orchard"_s, {u"One"_s});
    const QString path = write(editor, u"orchard.xml"_s, original);
    open(editor, path);
    const QString titled = u"orchard.xml[*] — Brindlewood Feed Editor Tool"_s;
    action(editor, "NewAction")->trigger();
    QCOMPARE(editor.window->fileCommands().path(), QString());
    QCOMPARE(editor.window->windowTitle(), u"Brindlewood Feed Editor Tool"_s);

    editor.window->undoStack().undo();
    QCOMPARE(editor.titles(), QStringList{u"One"_s});
    QCOMPARE(editor.window->fileCommands().path(), path);
    QCOMPARE(editor.window->windowTitle(), titled);
    // New left an unchanged empty podcast; the mark says what the flag says.
    QCOMPARE(editor.window->isWindowModified(), editor.document().DocumentChanged());
    editor.window->undoStack().redo();
    QCOMPARE(editor.window->fileCommands().path(), QString());
    editor.window->undoStack().undo();

    // Save writes back to the file, without a dialog and without asking
    // whether it changed on disk.
    const qsizetype dialogs = editor.dialogs.opened.size();
    action(editor, "SaveAction")->trigger();
    QCOMPARE(editor.dialogs.opened.size(), dialogs);
    QVERIFY2(editor.messages.shown.isEmpty(), qPrintable(editor.messages.texts().join(u'\n')));
    QVERIFY(readAll(path).contains("<title>Orchard</title>"));
    QCOMPARE(editor.window->windowTitle(), titled);

    // Saved elsewhere, then redone and undone: the podcast is the file it
    // was saved to, not the one it was opened from.
    const QString elsewhere = editor.filePath(u"elsewhere.xml"_s);
    editor.dialogs.paths = {elsewhere};
    action(editor, "SaveAsAction")->trigger();
    QCOMPARE(editor.window->fileCommands().path(), elsewhere);
    editor.messages.shown.clear(); // the save flow's own "Done"
    editor.window->undoStack().redo();
    QCOMPARE(editor.window->fileCommands().path(), QString());
    editor.window->undoStack().undo();
    QCOMPARE(editor.window->fileCommands().path(), elsewhere);
    typeTitle(editor, u"Orchard Tales"_s);
    action(editor, "SaveAction")->trigger();
    QVERIFY2(editor.messages.shown.isEmpty(), qPrintable(editor.messages.texts().join(u'\n')));
    QVERIFY(readAll(elsewhere).contains("<title>Orchard Tales</title>"));
    QVERIFY(!readAll(path).contains("Tales"));
}

QTEST_MAIN(tst_FeedFileCommands)
#include "tst_feedfilecommands.moc"
