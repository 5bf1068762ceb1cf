#include "EditorHarness.h"

#include "app/DocumentUndoStack.h"
#include "app/FieldUndoRouter.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace {
enum class Change {
    Typing,
    AddEpisode,
    EditEpisode,
    DeleteButton,
    DoubleClick,
    DeleteKey,
    Load,
    New,
    MoveUp,
    MoveDown,
    DragRow,
    PodcastTags,
    EpisodeTags,
};

const char Feed[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd">
<channel><title>Loaded Show</title><description>From a file</description>
<item><title>Gamma</title><guid>urn:uuid:3</guid></item>
</channel></rss>
)";

QAction *action(EditorHarness &editor, const char *name) {
    return editor.window->findChild<QAction *>(QString::fromLatin1(name));
}

QPushButton *button(EditorHarness &editor, int number) {
    return editor.window->findChild<QPushButton *>(QStringLiteral("PushButton%1").arg(number));
}

// A saved podcast with two episodes: the history starts at its saved state.
void prepareSaved(EditorHarness &editor) {
    editor.document().setField(ChannelField::Title, QStringLiteral("Show"));
    editor.addEpisodes({QStringLiteral("Alpha"), QStringLiteral("Beta")});
    editor.window->undoStack().markSaved();
}

void acceptMoreTags(MoreTagsDialog &dialog, const QString &text) {
    dialog.setText(text);
    dialog.buttons()->button(QDialogButtonBox::Ok)->click();
}

void make(EditorHarness &editor, Change change) {
    MainWindow &window = *editor.window;
    switch (change) {
    case Change::Typing: {
        QLineEdit *box = window.fieldBox(ChannelField::Author);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("Orchard"));
        QTest::keyClick(box, Qt::Key_Backspace);
        break;
    }
    case Change::AddEpisode:
        editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
            dialog.setField(EpisodeColumn::Title, QStringLiteral("Added"));
            dialog.saveButton()->click();
        };
        action(editor, "AddEpisodeAction")->trigger();
        break;
    case Change::EditEpisode:
        window.selectEpisode(2);
        editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
            dialog.setField(EpisodeColumn::Author, QStringLiteral("Someone else"));
            dialog.saveButton()->click();
        };
        action(editor, "EditEpisodeAction")->trigger();
        break;
    case Change::DeleteButton:
        window.selectEpisode(1);
        button(editor, 2)->click();
        break;
    case Change::DoubleClick: {
        window.selectEpisode(1);
        QTreeView *list = window.episodeList();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualRect(editor.document().index(0, 0)).center());
        break;
    }
    case Change::DeleteKey:
        window.selectEpisode(2);
        window.episodeList()->setFocus();
        QTest::keyClick(window.episodeList(), Qt::Key_Delete);
        break;
    case Change::Load: {
        const QString path = editor.filePath(QStringLiteral("Podcast.xml"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Feed);
        file.close();
        editor.dialogs.paths = {path};
        action(editor, "LoadAction")->trigger();
        break;
    }
    case Change::New:
        action(editor, "NewAction")->trigger();
        break;
    case Change::MoveUp:
        window.selectEpisode(2);
        action(editor, "MoveUpAction")->trigger();
        break;
    case Change::MoveDown:
        window.selectEpisode(1);
        action(editor, "MoveDownAction")->trigger();
        break;
    case Change::DragRow: {
        // What the list does with rows dragged below the last one.
        PodcastDocument &document = editor.document();
        std::unique_ptr<QMimeData> data(document.mimeData({document.index(0, 0)}));
        QVERIFY(!document.dropMimeData(data.get(), Qt::MoveAction, 2, 0, QModelIndex()));
        break;
    }
    case Change::PodcastTags:
        editor.onMoreTagsDialog = [](MoreTagsDialog &dialog) {
            acceptMoreTags(dialog, QStringLiteral("<itunes:explicit>false</itunes:explicit>\n"
                                                  "<podcast:locked>yes</podcast:locked>"));
        };
        window.moreTagsAction()->trigger();
        break;
    case Change::EpisodeTags:
        window.selectEpisode(1);
        editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
            dialog.setMoreTagsRunner([](MoreTagsDialog &tags) {
                tags.show();
                acceptMoreTags(tags, QStringLiteral("<podcast:transcript url=\"t.vtt\" "
                                                    "type=\"text/vtt\"/>"));
                return tags.result();
            });
            dialog.openMoreTags();
            dialog.saveButton()->click();
        };
        action(editor, "EditEpisodeAction")->trigger();
        break;
    }
}
} // namespace

class tst_EditorHistory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void change_undoRedoOneStep_data();
    void change_undoRedoOneStep();
    void typing_mergedPerBox();
    void ctrlZInBox_undoesThroughDocument_data();
    void ctrlZInBox_undoesThroughDocument();
    void boxContextMenu_offersDocumentUndo();
    void closeAfterUndoToSaved_asksNothing_data();
    void closeAfterUndoToSaved_asksNothing();
    void save_thenUndo_marksChanged();
    void menuEntries_enabledOnlyWhereTheyAct_data();
    void menuEntries_enabledOnlyWhereTheyAct();
    void menuBar_holdsEveryCommand();
};

void tst_EditorHistory::change_undoRedoOneStep_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<QStringList>("titlesAfter");
    const QStringList both{QStringLiteral("Alpha"), QStringLiteral("Beta")};
    const QStringList swapped{QStringLiteral("Beta"), QStringLiteral("Alpha")};
    // Typing and tags
    QTest::newRow("typing in a box") << int(Change::Typing) << both;
    QTest::newRow("More Tags, podcast") << int(Change::PodcastTags) << both;
    QTest::newRow("More Tags, episode") << int(Change::EpisodeTags) << both;
    // Episode commands
    QTest::newRow("Add") << int(Change::AddEpisode)
                         << QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"),
                                        QStringLiteral("Added")};
    QTest::newRow("Edit") << int(Change::EditEpisode) << both;
    QTest::newRow("Delete button")
        << int(Change::DeleteButton) << QStringList{QStringLiteral("Beta")};
    QTest::newRow("double-click") << int(Change::DoubleClick)
                                  << QStringList{QStringLiteral("Beta")};
    QTest::newRow("Delete key") << int(Change::DeleteKey) << QStringList{QStringLiteral("Alpha")};
    // Whole document
    QTest::newRow("Load") << int(Change::Load)
                          << QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"),
                                         QStringLiteral("Gamma")};
    QTest::newRow("New") << int(Change::New) << QStringList();
    // Order
    QTest::newRow("Move Up") << int(Change::MoveUp) << swapped;
    QTest::newRow("Move Down") << int(Change::MoveDown) << swapped;
    QTest::newRow("row dragged") << int(Change::DragRow) << swapped;
}

void tst_EditorHistory::change_undoRedoOneStep() {
    QFETCH(int, change);
    QFETCH(QStringList, titlesAfter);
    EditorHarness editor;
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    prepareSaved(editor);
    DocumentUndoStack &stack = editor.window->undoStack();
    const PodcastContent before = editor.document().content();

    make(editor, Change(change));
    QCOMPARE(editor.titles(), titlesAfter);
    const PodcastContent after = editor.document().content();
    QVERIFY(after != before);
    QCOMPARE(stack.index(), 1);

    action(editor, "UndoAction")->trigger();
    QCOMPARE(editor.document().content(), before);
    // Back at the saved state; but New let go of the file, so what it
    // emptied is unsaved work again.
    QCOMPARE(editor.document().DocumentChanged(), Change(change) == Change::New);
    for (int field = 0; field < ChannelField::Count; ++field)
        QCOMPARE(editor.window->fieldBox(field)->text(), before.fields[field]);

    action(editor, "RedoAction")->trigger();
    QCOMPARE(editor.document().content(), after);
    QCOMPARE(editor.document().DocumentChanged(), Change(change) != Change::New);
    QVERIFY(editor.errors.reports.isEmpty());
}

void tst_EditorHistory::typing_mergedPerBox() {
    EditorHarness editor;
    prepareSaved(editor);
    QLineEdit *author = editor.window->fieldBox(ChannelField::Author);
    QLineEdit *link = editor.window->fieldBox(ChannelField::Link);
    QTest::keyClicks(author, QStringLiteral("Ann"));
    QTest::keyClicks(link, QStringLiteral("https://x"));
    QTest::keyClicks(author, QStringLiteral("e"));
    QCOMPARE(editor.window->undoStack().count(), 3);

    editor.window->undoStack().undo();
    QCOMPARE(editor.document().field(ChannelField::Author), QStringLiteral("Ann"));
    editor.window->undoStack().undo();
    QCOMPARE(editor.document().field(ChannelField::Link), QString());
    QCOMPARE(link->text(), QString());
    editor.window->undoStack().undo();
    QCOMPARE(author->text(), QString());
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_EditorHistory::ctrlZInBox_undoesThroughDocument_data() {
    QTest::addColumn<int>("field");
    QTest::newRow("the box typed in") << int(ChannelField::Author);
    QTest::newRow("another box") << int(ChannelField::Summary);
}

// One history: Ctrl+Z in a box undoes the document's last step, wherever it
// was made, and Ctrl+Shift+Z brings it back.
void tst_EditorHistory::ctrlZInBox_undoesThroughDocument() {
    QFETCH(int, field);
    EditorHarness editor;
    editor.window->show();
    editor.window->activateWindow();
    QApplication::setActiveWindow(editor.window.get());
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
    prepareSaved(editor);
    QLineEdit *typed = editor.window->fieldBox(ChannelField::Author);
    typed->setFocus();
    QTest::keyClicks(typed, QStringLiteral("Ann"));
    editor.window->selectEpisode(1);
    action(editor, "MoveDownAction")->trigger();
    QCOMPARE(editor.titles(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}));

    QLineEdit *box = editor.window->fieldBox(field);
    box->setFocus();
    QTest::keySequence(box, QKeySequence::Undo);
    QCOMPARE(editor.titles(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    QCOMPARE(typed->text(), QStringLiteral("Ann"));
    QTest::keySequence(box, QKeySequence::Undo);
    QCOMPARE(typed->text(), QString());
    QCOMPARE(editor.document().field(ChannelField::Author), QString());
    // The box's own history would now bring back "Ann" a second time.
    QTest::keySequence(box, QKeySequence::Undo);
    QCOMPARE(typed->text(), QString());
    QTest::keySequence(box, QKeySequence::Redo);
    QCOMPARE(editor.document().field(ChannelField::Author), QStringLiteral("Ann"));
    QCOMPARE(typed->text(), QStringLiteral("Ann"));
}

void tst_EditorHistory::boxContextMenu_offersDocumentUndo() {
    EditorHarness editor;
    QLineEdit *box = editor.window->fieldBox(ChannelField::Title);
    QTest::keyClicks(box, QStringLiteral("Show"));
    std::unique_ptr<QMenu> menu(editor.window->fieldUndoRouter().createContextMenu(*box));
    QVERIFY(menu->actions().contains(action(editor, "UndoAction")));
    QVERIFY(menu->actions().contains(action(editor, "RedoAction")));
    // The box's own entries are gone: one Undo and one Redo in the menu.
    int undoEntries = 0;
    for (QAction *entry : menu->actions())
        undoEntries += entry->text().contains(QStringLiteral("Undo")) ? 1 : 0;
    QCOMPARE(undoEntries, 1);
}

void tst_EditorHistory::closeAfterUndoToSaved_asksNothing_data() {
    QTest::addColumn<int>("change");
    QTest::newRow("typing") << int(Change::Typing);
    QTest::newRow("Delete") << int(Change::DeleteButton);
    QTest::newRow("Load") << int(Change::Load);
    QTest::newRow("New") << int(Change::New);
    QTest::newRow("Move") << int(Change::MoveDown);
    QTest::newRow("More Tags") << int(Change::PodcastTags);
}

void tst_EditorHistory::closeAfterUndoToSaved_asksNothing() {
    QFETCH(int, change);
    EditorHarness editor;
    editor.window->show();
    prepareSaved(editor);
    make(editor, Change(change));
    QVERIFY(editor.document().DocumentChanged() || Change(change) == Change::New);
    editor.window->undoStack().undo();
    if (Change(change) == Change::New) {
        // Undoing New brings back a document that has no file any more.
        editor.messages.answers = {MessageService::Answer::No};
        QVERIFY(editor.window->close());
        QCOMPARE(editor.messages.shown.size(), 1);
        return;
    }
    QVERIFY(editor.window->close());
    QVERIFY(editor.messages.shown.isEmpty());
}

// After a save, the saved state is the new point of reference.
void tst_EditorHistory::save_thenUndo_marksChanged() {
    EditorHarness editor;
    prepareSaved(editor);
    QTest::keyClicks(editor.window->fieldBox(ChannelField::Author), QStringLiteral("Ann"));
    editor.dialogs.paths = {editor.filePath(QStringLiteral("Podcast.xml"))};
    action(editor, "SaveAsAction")->trigger();
    QCOMPARE(editor.messages.texts(), QStringList{QStringLiteral("Done Saved.")});
    QVERIFY(!editor.document().DocumentChanged());
    editor.window->undoStack().undo();
    QVERIFY(editor.document().DocumentChanged());
    editor.window->undoStack().redo();
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_EditorHistory::menuEntries_enabledOnlyWhereTheyAct_data() {
    QTest::addColumn<int>("episodes");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("enabled"); // Edit, Delete, Move Up, Move Down
    QTest::newRow("empty list") << 0 << 0 << QStringLiteral("----");
    QTest::newRow("none selected") << 3 << 0 << QStringLiteral("----");
    QTest::newRow("first") << 3 << 1 << QStringLiteral("EDxD");
    QTest::newRow("middle") << 3 << 2 << QStringLiteral("EDUD");
    QTest::newRow("last") << 3 << 3 << QStringLiteral("EDUx");
    QTest::newRow("only") << 1 << 1 << QStringLiteral("EDxx");
}

void tst_EditorHistory::menuEntries_enabledOnlyWhereTheyAct() {
    QFETCH(int, episodes);
    QFETCH(int, selected);
    QFETCH(QString, enabled);
    EditorHarness editor;
    QStringList titles;
    for (int n = 1; n <= episodes; ++n)
        titles.append(QStringLiteral("Episode %1").arg(n));
    editor.addEpisodes(titles);
    editor.window->selectEpisode(selected);
    const char *names[] = {"EditEpisodeAction", "DeleteEpisodeAction", "MoveUpAction",
                           "MoveDownAction"};
    QString seen;
    for (int i = 0; i < 4; ++i)
        seen += action(editor, names[i])->isEnabled() ? enabled[i] : u'-';
    QCOMPARE(seen, QString(enabled).replace(u'x', u'-'));
    QVERIFY(action(editor, "AddEpisodeAction")->isEnabled());
    // Nothing done yet: nothing to undo or redo.
    QVERIFY(!action(editor, "UndoAction")->isEnabled());
    QVERIFY(!action(editor, "RedoAction")->isEnabled());
}

void tst_EditorHistory::menuBar_holdsEveryCommand() {
    EditorHarness editor;
    QStringList menus;
    QStringList entries;
    for (QAction *menu : editor.window->menuBar()->actions()) {
        menus.append(menu->text());
        for (QAction *entry : menu->menu()->actions()) {
            if (!entry->isSeparator())
                entries.append(entry->objectName());
        }
    }
    QCOMPARE(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                 QStringLiteral("E&pisode"), QStringLiteral("&Help")}));
    QCOMPARE(entries, (QStringList{QStringLiteral("NewAction"),
                                   QStringLiteral("OpenAction"),
                                   QString(), // Open Recent, a menu
                                   QStringLiteral("OpenWebAddressAction"),
                                   QStringLiteral("LoadAction"),
                                   QStringLiteral("LoadSampleAction"),
                                   QStringLiteral("SaveAction"),
                                   QStringLiteral("SaveAsAction"),
                                   QStringLiteral("AddMediaAction"),
                                   QStringLiteral("PublishAction"),
                                   QStringLiteral("QuitAction"),
                                   QStringLiteral("UndoAction"),
                                   QStringLiteral("RedoAction"),
                                   QStringLiteral("MoreTagsAction"),
                                   QStringLiteral("CheckFeedAction"),
                                   QStringLiteral("AddEpisodeAction"),
                                   QStringLiteral("EditEpisodeAction"),
                                   QStringLiteral("DeleteEpisodeAction"),
                                   QStringLiteral("MoveUpAction"),
                                   QStringLiteral("MoveDownAction"),
                                   QStringLiteral("SortByDateAction"),
                                   QStringLiteral("HelpAction")}));
    // Every button's command has its entry, which clicks that button.
    const std::pair<const char *, int> buttons[] = {
        {"AddEpisodeAction", 1}, {"NewAction", 5},  {"SaveAsAction", 3},
        {"HelpAction", 6},       {"LoadAction", 7}, {"LoadSampleAction", 8},
    };
    for (const auto &[name, number] : buttons) {
        QSignalSpy clicked(button(editor, number), &QPushButton::clicked);
        action(editor, name)->trigger();
        QVERIFY2(clicked.size() == 1, name);
    }
}

QTEST_MAIN(tst_EditorHistory)
#include "tst_editorhistory.moc"
