#include "EditorHarness.h"

#include "BuildConfig.h"
#include "app/ApplicationIcon.h"
#include "feed/ApplicationTitle.h"
#include "feed/Locations.h"
#include "look/ApplySkin.h"
#include "look/FormLook.h"
#include "look/HandCursor.h"

#include "platform/MessageBoxes.h"
#include "support/CloseRequest.h"
#include "support/CursorFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

namespace {
QStringList names(std::initializer_list<const char *> texts) {
    QStringList result;
    for (const char *text : texts)
        result.append(QString::fromUtf8(text));
    return result;
}

QPushButton *button(const EditorHarness &editor, int number) {
    return editor.window->findChild<QPushButton *>(QStringLiteral("PushButton%1").arg(number));
}

// A title, one episode and a field typed: ready to be saved.
void fillSaveable(EditorHarness &editor, const QString &description = QStringLiteral("About")) {
    editor.document().setField(ChannelField::Title, QStringLiteral("My show"));
    editor.document().setField(ChannelField::Description, description);
    editor.addEpisodes({QStringLiteral("One")});
}

// Shown and holding the keyboard focus, as on a desktop; an X server without a
// window manager activates only on request.
void showActive(QWidget &window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// The tooltip the list shows at a point of one of its parts.
QString toolTipAt(QWidget &part, const QPoint &pos) {
    QToolTip::hideText();
    QHelpEvent event(QEvent::ToolTip, pos, part.mapToGlobal(pos));
    QApplication::sendEvent(&part, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

const QString ListHelp = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of "
    "window to reveal full names.");

const QString TitleMissing = QStringLiteral("You forgot to add title.");
const QString NoEpisodes = QStringLiteral("You forgot to add episode(s).");
const QString DoneSaved = QStringLiteral("Done Saved.");
const QString SavePrompt = QStringLiteral("Would you like to save?");
} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUp_emptyDocumentAndThirteenHeaders();
    void controls_namesCaptionsAndPlaces_data();
    void controls_namesCaptionsAndPlaces();
    void tabOrder_followsDesign();
    void startUp_lookFiles_data();
    void startUp_lookFiles();
    void hover_handOverButtonsArrowElsewhere();

    void typing_isTheDocumentAtOnce_data();
    void typing_isTheDocumentAtOnce();
    void commandSettingField_showsAtOnce();
    void longMultilineField_survivesEditing();

    void addEpisode_savedDialogAppendsLastRow();
    void addEpisode_cancelChangesNothing();
    void editEpisode_needsSelectedRow_data();
    void editEpisode_needsSelectedRow();
    void editEpisode_copiesRowAndRewritesInPlace();
    void editEpisode_cancelLeavesRowAndFlag();
    void removal_data();
    void removal();
    void removal_repeatedDeleteEmptiesList();

    void save_refusedBeforeSaving_data();
    void save_refusedBeforeSaving();
    void save_outcomeDecidesFlag_data();
    void save_outcomeDecidesFlag();
    void new_unchangedClearsWithoutAsking();
    void new_answerNo_clearsWithoutSaving();
    void new_answerYes_clearsOnlyAfterSave_data();
    void new_answerYes_clearsOnlyAfterSave();
    void help_messageThenThreePlainAddresses_data();
    void help_messageThenThreePlainAddresses();
    void load_cancelledChangesNothing();
    void load_appendsAndSelectsNothing();
    void openFeed_readsLikeTheLoadCommand();
    void loadSample_confirmedOrDeclined_data();
    void loadSample_confirmedOrDeclined();

    void close_asksOnlyWithChanges_data();
    void close_asksOnlyWithChanges();
    void shortcuts_pressTheirButtons_data();
    void shortcuts_pressTheirButtons();
    void focusedButton_enterOrSpacePresses_data();
    void focusedButton_enterOrSpacePresses();

    void new_closeRequestOnQuestion_keepsDocument_data();
    void new_closeRequestOnQuestion_keepsDocument();
    void listToolTip_fixedTextEverywhere_data();
    void listToolTip_fixedTextEverywhere();
    void listToolTip_cutOffCellShowsBoundedTextFirst_data();
    void listToolTip_cutOffCellShowsBoundedTextFirst();
    void keyboardIntoList_selectsFramedRow_data();
    void keyboardIntoList_selectsFramedRow();
    void addEpisode_scrollsNewRowIntoViewUnselected();
    void skin_doesNotReachEpisodeDialog();
};

void tst_MainWindow::startUp_emptyDocumentAndThirteenHeaders() {
    EditorHarness editor;
    MainWindow &window = *editor.window;
    // The designed form, below the menu bar, keeps its name and size.
    QCOMPARE(window.form()->objectName(), QStringLiteral("Form1"));
    QCOMPARE(window.form()->size(), QSize(536, 558));
    QCOMPARE(window.form()->y(), window.menuBar()->height());
    QCOMPARE(window.size(), QSize(536, 558 + window.menuBar()->height()));
    QCOMPARE(window.windowTitle(), QStringLiteral("Brindlewood Feed Editor Tool"));
    QCOMPARE(ApplicationTitle::current(), QStringLiteral("Brindlewood Feed Editor"));
    // It starts at the designed size, which is also its least, and grows.
    QCOMPARE(window.minimumSizeHint(), window.size());
    QVERIFY(window.maximumSize().width() > 2000 && window.maximumSize().height() > 2000);
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);

    QTreeView *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
    QVERIFY(list);
    QCOMPARE(list->model(), &window.document());
    QCOMPARE(list->header()->count(), 13);
    QStringList headers;
    for (int column = 0; column < 13; ++column)
        headers.append(list->model()->headerData(column, Qt::Horizontal).toString());
    QCOMPARE(headers,
             (names({"Title", "Author", "Subtitle", "Summary", "URL", "Type", "Length", "GUID",
                     "Pub. Date", "Duration", "Keywords", "Explicit", "Category"})));
    QCOMPARE(list->model()->rowCount(), 0);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(list->toolTip(),
             QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | "
                            "line to right and out of window to reveal full names."));
    // Files from the desktop and rows within the list.
    QVERIFY(list->acceptDrops());
    QCOMPARE(list->dragDropMode(), QAbstractItemView::InternalMove);

    for (int index = 0; index < ChannelField::Count; ++index)
        QVERIFY(window.fieldBox(index)->text().isEmpty());
    // The icon is built into the program, whatever is installed.
    QCOMPARE(ApplicationIcon().availableSizes().size(), 6);
    QCOMPARE(window.font().pointSizeF(), 9.0);
    QCOMPARE(button(editor, 6)->font().pointSizeF(), 11.25);
    QVERIFY(!window.document().DocumentChanged());
    QVERIFY(!window.SaveSucceeded());
    QVERIFY(editor.messages.shown.isEmpty());
    QVERIFY(editor.errors.reports.isEmpty());
}

void tst_MainWindow::controls_namesCaptionsAndPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    auto row = [](const char *name, const char *caption, const char *container, QRect geometry) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(caption)
                            << QString::fromUtf8(container) << geometry;
    };
    row("PushButton6", "Help", "Form1", QRect(8, 8, 520, 27));
    row("PushButton5", "New Podcast.xml", "Form1", QRect(8, 42, 256, 27));
    row("PushButton3", "Save This As Podcast.xml", "Form1", QRect(272, 42, 256, 27));
    row("PushButton7", "Load Podcast.xml", "Form1", QRect(8, 76, 256, 27));
    row("PushButton8", "Load Sample/Example Podcast", "Form1", QRect(272, 76, 256, 27));
    row("Frame1", "Podcast Info", "Form1", QRect(8, 110, 520, 257));
    row("Frame2", "Episode(s)", "Form1", QRect(8, 372, 520, 179));
    row("ListView1", "", "Frame2", QRect(12, 20, 497, 113));
    row("PushButton1", "Add New Episode", "Frame2", QRect(12, 140, 168, 27));
    row("PushButton4", "Edit Episode", "Frame2", QRect(188, 140, 176, 27));
    row("PushButton2", "Delete Episode", "Frame2", QRect(372, 140, 136, 27));
    row("Text1(0)", "", "Frame1", QRect(96, 27, 153, 25));
    row("Text1(1)", "", "Frame1", QRect(352, 24, 153, 25));
    row("Text1(4)", "", "Frame1", QRect(96, 88, 409, 25));
    row("Text1(9)", "", "Frame1", QRect(96, 184, 153, 25));
    row("Text1(11)", "", "Frame1", QRect(96, 216, 409, 25));
    // Caption array numbers differ from the field numbers beside them.
    row("Label1(0)", "Title:", "Frame1", QRect());
    row("Label1(7)", "Owner Name:", "Frame1", QRect());
    row("Label1(11)", "Summary:", "Frame1", QRect());
    row("Label1(9)", "Image Link:", "Frame1", QRect());
    row("Label1(10)", "Owner Email:", "Frame1", QRect());
}

void tst_MainWindow::controls_namesCaptionsAndPlaces() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    EditorHarness editor;
    auto *control = editor.window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    if (geometry.isValid())
        QCOMPARE(control->geometry(), geometry);
    if (auto *pushButton = qobject_cast<QPushButton *>(control))
        QCOMPARE(pushButton->text(), caption);
    else if (auto *frame = qobject_cast<QGroupBox *>(control))
        QCOMPARE(frame->title(), caption);
    else if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), caption);
        // Level with the box it names.
        QCOMPARE(label->geometry().center().y(), label->buddy()->geometry().center().y());
    }
}

void tst_MainWindow::tabOrder_followsDesign() {
    EditorHarness editor;
    QStringList order;
    QWidget *widget = editor.window->fieldBox(0);
    for (int step = 0; step < 21; ++step) {
        order.append(widget->objectName());
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled());
    }
    QStringList expected;
    for (int index = 0; index < 12; ++index)
        expected.append(QStringLiteral("Text1(%1)").arg(index));
    expected << names({"ListView1", "PushButton1", "PushButton4", "PushButton2", "PushButton5",
                       "PushButton3", "PushButton7", "PushButton6", "PushButton8"});
    QCOMPARE(order, expected);
    QCOMPARE(editor.window->focusWidget(), editor.window->fieldBox(0));
}

void tst_MainWindow::startUp_lookFiles_data() {
    QTest::addColumn<QByteArray>("skin");       // empty: no skin file
    QTest::addColumn<QByteArray>("cursorFile"); // "cur": a real cursor, other: garbage
    QTest::addColumn<int>("reportedStep");      // 0: nothing reported
    QTest::newRow("skin") << QByteArray("QPushButton { color: #552200; }") << QByteArray() << 0;
    QTest::newRow("hand cursor") << QByteArray() << QByteArray("cur") << 0;
    QTest::newRow("broken hand cursor") << QByteArray() << QByteArray("junk") << 104;
}

void tst_MainWindow::startUp_lookFiles() {
    QFETCH(QByteArray, skin);
    QFETCH(QByteArray, cursorFile);
    QFETCH(int, reportedStep);
    EditorHarness editor([&](const QString &folder) {
        if (!skin.isEmpty()) {
            QDir(folder).mkpath(QStringLiteral("x"));
            writeFile(Skin::path(folder), skin);
        }
        if (cursorFile == "cur")
            writeCursorFile(HandCursor::path(folder), QPoint(4, 2));
        else if (!cursorFile.isEmpty())
            writeFile(HandCursor::path(folder), cursorFile);
    });
    MainWindow &window = *editor.window;
    if (reportedStep == 0) {
        QVERIFY(editor.errors.reports.isEmpty());
    } else {
        QCOMPARE(editor.errors.reports.size(), 1);
        QCOMPARE(editor.errors.reports.constFirst().location, Locations::form1("Form_Load"));
        QCOMPARE(editor.errors.reports.constFirst().step, reportedStep);
    }
    // Start-up carries on after a failed step.
    QCOMPARE(window.windowTitle(), QStringLiteral("Brindlewood Feed Editor Tool"));
    QVERIFY(!window.document().DocumentChanged());

    const QColor expectedBackground = skin.isEmpty() ? QColor(Qt::white) : FormLook::themeColour();
    QCOMPARE(window.palette().color(QPalette::Window), expectedBackground);
    QCOMPARE(
        window.findChild<QGroupBox *>(QStringLiteral("Frame1"))->palette().color(QPalette::Window),
        expectedBackground);
    QCOMPARE(window.styleSheet(), QString::fromUtf8(skin));

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(button(editor, 3), &enter);
    if (cursorFile == "cur") {
        QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(window.cursor().hotSpot(), QPoint(4, 2));
    } else {
        QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);
    }
}

void tst_MainWindow::hover_handOverButtonsArrowElsewhere() {
    EditorHarness editor;
    MainWindow &window = *editor.window;
    auto enter = [](QWidget *target) {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(target, &event);
    };
    for (int number = 1; number <= 8; ++number) {
        enter(button(editor, number));
        QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);
        for (const char *background : {"Frame1", "Frame2", "ListView1"}) {
            enter(button(editor, number));
            enter(window.findChild<QWidget *>(QString::fromUtf8(background)));
            QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
        }
    }
    enter(button(editor, 6));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button(editor, 6), &leave);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
}

void tst_MainWindow::typing_isTheDocumentAtOnce_data() {
    QTest::addColumn<int>("index");
    for (int index = 0; index < ChannelField::Count; ++index)
        QTest::addRow("Text1(%d)", index) << index;
}

void tst_MainWindow::typing_isTheDocumentAtOnce() {
    QFETCH(int, index);
    EditorHarness editor;
    QSignalSpy flag(&editor.document(), &PodcastDocument::documentChangedFlagChanged);
    QTest::keyClick(editor.window->fieldBox(index), Qt::Key_A);
    QCOMPARE(editor.document().field(index), QStringLiteral("a"));
    QVERIFY(editor.document().DocumentChanged());
    QCOMPARE(flag.size(), 1);
    QTest::keyClicks(editor.window->fieldBox(index), QStringLiteral("b&<c"));
    QCOMPARE(editor.document().field(index), QStringLiteral("ab&<c"));
    QTest::keyClick(editor.window->fieldBox(index), Qt::Key_Backspace);
    QCOMPARE(editor.document().field(index), QStringLiteral("ab&<"));
}

void tst_MainWindow::commandSettingField_showsAtOnce() {
    EditorHarness editor;
    editor.document().setField(ChannelField::OwnerEmail, QStringLiteral("me@example.org"));
    QCOMPARE(editor.window->fieldBox(ChannelField::OwnerEmail)->text(),
             QStringLiteral("me@example.org"));
    QVERIFY(editor.document().DocumentChanged());
    // Writing the text a box already shows does not mark the document.
    editor.document().setDocumentChanged(false);
    editor.document().setField(ChannelField::OwnerEmail, QStringLiteral("me@example.org"));
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_MainWindow::longMultilineField_survivesEditing() {
    EditorHarness editor;
    const QString text = QString(40000, u'x') + QStringLiteral("\nsecond line");
    editor.document().setField(ChannelField::Description, text);
    QLineEdit *box = editor.window->fieldBox(ChannelField::Description);
    QCOMPARE(box->text(), text);
    box->end(false);
    QTest::keyClick(box, Qt::Key_Z);
    QCOMPARE(editor.document().field(ChannelField::Description), text + u'z');
}

void tst_MainWindow::addEpisode_savedDialogAppendsLastRow() {
    EditorHarness editor;
    editor.addEpisodes({QStringLiteral("One"), QStringLiteral("Two")});
    editor.window->selectEpisode(1);
    editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
        QTest::keyClicks(dialog.box(EpisodeColumn::Title), QStringLiteral("Three"));
        QTest::keyClicks(dialog.box(EpisodeColumn::Explicit), QStringLiteral("no"));
        dialog.saveButton()->click();
    };
    button(editor, 1)->click();
    QCOMPARE(editor.dialogsShown, 1);
    QCOMPARE(editor.lastDialogCaption, QStringLiteral("Add New Episode"));
    QCOMPARE(editor.lastDialogFields, QStringList(13));
    QCOMPARE(editor.titles(), (names({"One", "Two", "Three"})));
    QCOMPARE(editor.document().episode(3)[EpisodeColumn::Explicit], QStringLiteral("no"));
    QVERIFY(editor.document().DocumentChanged());
    QCOMPARE(editor.window->selectedEpisode(), 1);
}

void tst_MainWindow::addEpisode_cancelChangesNothing() {
    EditorHarness editor;
    editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
        QTest::keyClicks(dialog.box(EpisodeColumn::Title), QStringLiteral("Dropped"));
    };
    button(editor, 1)->click();
    QCOMPARE(editor.dialogsShown, 1);
    QCOMPARE(editor.document().episodeCount(), 0);
    QVERIFY(!editor.document().DocumentChanged());
    // The next opening starts empty again.
    button(editor, 1)->click();
    QCOMPARE(editor.lastDialogFields, QStringList(13));
}

void tst_MainWindow::editEpisode_needsSelectedRow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("opens");
    QTest::newRow("empty list") << 0 << 0 << false;
    QTest::newRow("nothing selected") << 2 << 0 << false;
    QTest::newRow("second selected") << 2 << 2 << true;
}

void tst_MainWindow::editEpisode_needsSelectedRow() {
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(bool, opens);
    EditorHarness editor;
    const QStringList titles{QStringLiteral("One"), QStringLiteral("Two")};
    editor.addEpisodes(titles.mid(0, rows));
    editor.window->selectEpisode(selected);
    button(editor, 4)->click();
    QCOMPARE(editor.dialogsShown, opens ? 1 : 0);
    QVERIFY(editor.messages.shown.isEmpty());
    QVERIFY(editor.errors.reports.isEmpty());
}

void tst_MainWindow::editEpisode_copiesRowAndRewritesInPlace() {
    EditorHarness editor;
    editor.addEpisodes({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")});
    Episode full;
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        full[column] = QStringLiteral("c%1").arg(column);
    full[EpisodeColumn::Summary] = QString();
    editor.document().setEpisode(2, full);
    editor.document().setDocumentChanged(false);
    editor.window->selectEpisode(2);

    editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
        dialog.box(EpisodeColumn::Author)->clear();
        QTest::keyClicks(dialog.box(EpisodeColumn::Summary), QStringLiteral("Now summarised"));
        dialog.saveButton()->click();
    };
    button(editor, 4)->click();

    QCOMPARE(editor.lastDialogCaption, QStringLiteral("Edit Episode"));
    QStringList copied;
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        copied.append(full[column]);
    QCOMPARE(editor.lastDialogFields, copied);
    Episode expected = full;
    expected[EpisodeColumn::Author] = QString();
    expected[EpisodeColumn::Summary] = QStringLiteral("Now summarised");
    QCOMPARE(editor.document().episode(2), expected);
    QCOMPARE(editor.titles(), (names({"One", "c0", "Three"})));
    QVERIFY(editor.document().DocumentChanged());
}

void tst_MainWindow::editEpisode_cancelLeavesRowAndFlag() {
    EditorHarness editor;
    editor.addEpisodes({QStringLiteral("One")});
    editor.window->selectEpisode(1);
    const Episode before = editor.document().episode(1);
    editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
        QTest::keyClicks(dialog.box(EpisodeColumn::Title), QStringLiteral(" changed"));
        QTest::keyClick(dialog.box(EpisodeColumn::Title), Qt::Key_Escape);
    };
    button(editor, 4)->click();
    QCOMPARE(editor.dialogsShown, 1);
    QCOMPARE(editor.document().episode(1), before);
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_MainWindow::removal_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<bool>("flag");
    QTest::addColumn<int>("selectedAfter");
    const QStringList three = names({"One", "Two", "Three"});
    for (const char *way : {"button", "key", "shift+key", "double-click"}) {
        const bool doubleClick = QByteArray(way) == "double-click";
        QTest::addRow("%s, empty list", way)
            << QString::fromUtf8(way) << 0 << 0 << QStringList() << doubleClick << 0;
        QTest::addRow("%s, nothing selected", way)
            << QString::fromUtf8(way) << 3 << 0 << three << doubleClick << 0;
        QTest::addRow("%s, first of three", way)
            << QString::fromUtf8(way) << 3 << 1 << names({"Two", "Three"}) << true << 1;
        QTest::addRow("%s, middle", way)
            << QString::fromUtf8(way) << 3 << 2 << names({"One", "Three"}) << true << 2;
        QTest::addRow("%s, last", way)
            << QString::fromUtf8(way) << 3 << 3 << names({"One", "Two"}) << true << 2;
        QTest::addRow("%s, only row", way)
            << QString::fromUtf8(way) << 1 << 1 << QStringList() << true << 0;
    }
}

void tst_MainWindow::removal() {
    QFETCH(QString, way);
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(QStringList, remaining);
    QFETCH(bool, flag);
    QFETCH(int, selectedAfter);
    EditorHarness editor;
    editor.window->show();
    editor.addEpisodes(names({"One", "Two", "Three"}).mid(0, rows));
    editor.window->selectEpisode(selected);
    QTreeView *list = editor.window->episodeList();

    if (way == QStringLiteral("button")) {
        button(editor, 2)->click();
    } else if (way.endsWith(QStringLiteral("key"))) {
        QTest::keyClick(list, Qt::Key_Delete,
                        way.startsWith(QStringLiteral("shift")) ? Qt::ShiftModifier
                                                                : Qt::NoModifier);
    } else {
        // On the selected row, or on the empty space below the rows.
        const QPoint where =
            selected > 0 ? list->visualRect(editor.document().index(selected - 1, 0)).center()
                         : QPoint(5, list->viewport()->height() - 5);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
    }

    QCOMPARE(editor.titles(), remaining);
    QCOMPARE(editor.document().DocumentChanged(), flag);
    QCOMPARE(editor.window->selectedEpisode(), selectedAfter);
    QVERIFY(editor.messages.shown.isEmpty());
    QVERIFY(editor.errors.reports.isEmpty());
}

void tst_MainWindow::removal_repeatedDeleteEmptiesList() {
    EditorHarness editor;
    editor.window->show();
    editor.addEpisodes(names({"One", "Two", "Three", "Four"}));
    editor.window->selectEpisode(2);
    for (int press = 0; press < 6; ++press)
        QTest::keyClick(editor.window->episodeList(), Qt::Key_Delete);
    QCOMPARE(editor.document().episodeCount(), 0);
}

void tst_MainWindow::save_refusedBeforeSaving_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("episodes");
    QTest::addColumn<QString>("message");
    QTest::newRow("no title") << QString() << 1 << TitleMissing;
    QTest::newRow("spaces only") << QStringLiteral("   ") << 1 << TitleMissing;
    QTest::newRow("no title, no episodes") << QString() << 0 << TitleMissing;
    QTest::newRow("title, no episodes") << QStringLiteral("Show") << 0 << NoEpisodes;
    QTest::newRow("tab title, no episodes") << QStringLiteral("\t") << 0 << NoEpisodes;
}

void tst_MainWindow::save_refusedBeforeSaving() {
    QFETCH(QString, title);
    QFETCH(int, episodes);
    QFETCH(QString, message);
    EditorHarness editor;
    editor.window->fieldBox(ChannelField::Link)->setFocus();
    editor.document().setField(ChannelField::Title, title);
    if (episodes)
        editor.addEpisodes({QStringLiteral("One")});
    editor.document().setDocumentChanged(true);

    button(editor, 3)->click();
    QCOMPARE(editor.messages.texts(), QStringList{message});
    QVERIFY(editor.messages.shown.constFirst().caption.isEmpty());
    QVERIFY(editor.dialogs.opened.isEmpty());
    QVERIFY(editor.document().DocumentChanged());
    QWidget *expectedFocus = message == TitleMissing ? editor.window->fieldBox(ChannelField::Title)
                                                     : editor.window->fieldBox(ChannelField::Link);
    QCOMPARE(editor.window->focusWidget(), expectedFocus);
}

void tst_MainWindow::save_outcomeDecidesFlag_data() {
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("flagAfter");
    QTest::newRow("saved") << QStringLiteral("saved") << QStringList{DoneSaved} << false;
    QTest::newRow("dialog cancelled") << QStringLiteral("cancel") << QStringList() << true;
    QTest::newRow("blank name") << QStringLiteral("blank") << QStringList() << true;
    QTest::newRow("not well-formed")
        << QStringLiteral("invalid") << QStringList{QStringLiteral("XML is not valid.")} << true;
    QTest::newRow("path is a folder") << QStringLiteral("folder") << QStringList() << true;
}

void tst_MainWindow::save_outcomeDecidesFlag() {
    QFETCH(QString, outcome);
    QFETCH(QStringList, messages);
    QFETCH(bool, flagAfter);
    EditorHarness editor;
    fillSaveable(editor, outcome == QStringLiteral("invalid") ? QStringLiteral("Tom & Jerry")
                                                              : QStringLiteral("About"));
    const QString path = editor.filePath(QStringLiteral("Podcast.xml"));
    if (outcome == QStringLiteral("saved") || outcome == QStringLiteral("invalid"))
        editor.dialogs.paths = {path};
    else if (outcome == QStringLiteral("blank"))
        editor.dialogs.paths = {QStringLiteral("   ")};
    else if (outcome == QStringLiteral("folder"))
        editor.dialogs.paths = {editor.output.path()};

    button(editor, 3)->click();
    QCOMPARE(editor.dialogs.opened.size(), 1);
    QCOMPARE(editor.messages.texts(), messages);
    QCOMPARE(editor.document().DocumentChanged(), flagAfter);
    QCOMPARE(editor.window->SaveSucceeded(), !flagAfter);
    QCOMPARE(QFile::exists(path), outcome == QStringLiteral("saved"));
    QCOMPARE(editor.errors.reports.isEmpty(), outcome != QStringLiteral("folder"));
    // The text stays as typed for the user to correct.
    QCOMPARE(editor.window->fieldBox(ChannelField::Description)->text(),
             editor.document().field(ChannelField::Description));

    // With the changes still pending, New asks before clearing.
    if (flagAfter) {
        editor.messages.shown.clear();
        editor.messages.answers = {MessageService::Answer::No};
        button(editor, 5)->click();
        QCOMPARE(editor.messages.texts(), QStringList{SavePrompt});
    }
}

void tst_MainWindow::new_unchangedClearsWithoutAsking() {
    EditorHarness editor;
    fillSaveable(editor);
    editor.document().setDocumentChanged(false);
    button(editor, 5)->click();
    QVERIFY(editor.messages.shown.isEmpty());
    QCOMPARE(editor.document().episodeCount(), 0);
    for (int index = 0; index < ChannelField::Count; ++index)
        QVERIFY(editor.window->fieldBox(index)->text().isEmpty());
    QCOMPARE(editor.window->episodeList()->header()->count(), 13);
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_MainWindow::new_answerNo_clearsWithoutSaving() {
    EditorHarness editor;
    fillSaveable(editor);
    editor.messages.answers = {MessageService::Answer::No};
    button(editor, 5)->click();

    QCOMPARE(editor.messages.shown.size(), 1);
    const auto &prompt = editor.messages.shown.constFirst();
    QCOMPARE(prompt.text, SavePrompt);
    QCOMPARE(prompt.caption, QStringLiteral("Save Changes?"));
    QVERIFY(prompt.isQuestion);
    QCOMPARE(prompt.buttons, MessageService::Buttons::YesNo);
    QVERIFY(editor.dialogs.opened.isEmpty());
    QCOMPARE(editor.document().episodeCount(), 0);
    QVERIFY(editor.document().field(ChannelField::Title).isEmpty());
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_MainWindow::new_answerYes_clearsOnlyAfterSave_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("messages"); // after the prompt
    QTest::addColumn<bool>("cleared");
    QTest::newRow("saved") << QStringLiteral("saved") << QStringList() << true;
    QTest::newRow("dialog cancelled") << QStringLiteral("cancel") << QStringList() << false;
    QTest::newRow("not well-formed")
        << QStringLiteral("invalid") << QStringList{QStringLiteral("XML is not valid.")} << false;
    QTest::newRow("no title") << QStringLiteral("notitle") << QStringList{TitleMissing} << false;
    QTest::newRow("no episodes") << QStringLiteral("noepisodes") << QStringList{NoEpisodes}
                                 << false;
}

void tst_MainWindow::new_answerYes_clearsOnlyAfterSave() {
    QFETCH(QString, situation);
    QFETCH(QStringList, messages);
    QFETCH(bool, cleared);
    EditorHarness editor;
    if (situation == QStringLiteral("noepisodes")) {
        editor.document().setField(ChannelField::Title, QStringLiteral("Show"));
    } else {
        fillSaveable(editor, situation == QStringLiteral("invalid") ? QStringLiteral("a < b")
                                                                    : QStringLiteral("About"));
        if (situation == QStringLiteral("notitle"))
            editor.document().setField(ChannelField::Title, QStringLiteral("  "));
    }
    const QString path = editor.filePath(QStringLiteral("Podcast.xml"));
    if (situation == QStringLiteral("saved") || situation == QStringLiteral("invalid"))
        editor.dialogs.paths = {path};
    editor.messages.answers = {MessageService::Answer::Yes};
    const QString titleBefore = editor.document().field(ChannelField::Title);
    const qsizetype rowsBefore = editor.document().episodeCount();

    button(editor, 5)->click();
    QCOMPARE(editor.messages.texts(), QStringList{SavePrompt} + messages);
    if (cleared) {
        QVERIFY(QFile::exists(path));
        QCOMPARE(editor.document().episodeCount(), 0);
        QVERIFY(editor.document().field(ChannelField::Title).isEmpty());
        QVERIFY(!editor.document().DocumentChanged());
    } else {
        QCOMPARE(editor.document().episodeCount(), rowsBefore);
        QCOMPARE(editor.document().field(ChannelField::Title), titleBefore);
        QVERIFY(editor.document().DocumentChanged());
    }
    if (situation == QStringLiteral("notitle"))
        QCOMPARE(editor.window->focusWidget(), editor.window->fieldBox(ChannelField::Title));
}

void tst_MainWindow::help_messageThenThreePlainAddresses_data() {
    QTest::addColumn<bool>("desktopRefuses");
    QTest::newRow("desktop opens them") << false;
    QTest::newRow("desktop refuses them") << true;
}

void tst_MainWindow::help_messageThenThreePlainAddresses() {
    QFETCH(bool, desktopRefuses);
    EditorHarness editor;
    editor.shell.failing = desktopRefuses;
    qsizetype openedBeforeMessage = -1;
    editor.messages.onShown = [&](const ScriptedMessageService::Shown &) {
        openedBeforeMessage = editor.shell.opened.size();
    };
    button(editor, 6)->click();
    QCOMPARE(editor.messages.texts(),
             QStringList{QStringLiteral("Questions? Please contact Team Quarrystone at ") +
                         QString::fromUtf8(BuildConfig::ContactUrl)});
    QCOMPARE(openedBeforeMessage, 0);
    QCOMPARE(editor.shell.opened, (QStringList{QString::fromUtf8(BuildConfig::NotesUrl),
                                               QString::fromUtf8(BuildConfig::SpecUrl),
                                               QString::fromUtf8(BuildConfig::ValidatorUrl)}));
    for (const QString &address : std::as_const(editor.shell.opened))
        QVERIFY(!address.contains(u'"'));
    QVERIFY(editor.errors.reports.isEmpty());
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_MainWindow::load_cancelledChangesNothing() {
    EditorHarness editor;
    fillSaveable(editor);
    editor.document().setDocumentChanged(false);
    button(editor, 7)->click();
    QCOMPARE(editor.dialogs.opened.size(), 1);
    QVERIFY(!editor.dialogs.opened.constFirst().save);
    QVERIFY(editor.messages.shown.isEmpty());
    QCOMPARE(editor.titles(), names({"One"}));
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_MainWindow::load_appendsAndSelectsNothing() {
    EditorHarness editor;
    const QString path = editor.filePath(QStringLiteral("feed.xml"));
    QVERIFY(writeFile(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<rss version=\"2.0\"><channel><title>Loaded</title>"
                            "<item><title>L1</title></item><item><title>L2</title></item>"
                            "</channel></rss>"));
    editor.addEpisodes({QStringLiteral("Mine")});
    editor.dialogs.paths = {path};
    button(editor, 7)->click();
    QCOMPARE(editor.titles(), (names({"Mine", "L1", "L2"})));
    QCOMPARE(editor.window->fieldBox(ChannelField::Title)->text(), QStringLiteral("Loaded"));
    QCOMPARE(editor.window->selectedEpisode(), 0);
    // Nothing selected after a load: the removals leave the rows alone.
    QTest::keyClick(editor.window->episodeList(), Qt::Key_Delete);
    QCOMPARE(editor.document().episodeCount(), 3);
}

void tst_MainWindow::openFeed_readsLikeTheLoadCommand() {
    EditorHarness editor;
    const QString path = editor.filePath(QStringLiteral("opened.xml"));
    QVERIFY(writeFile(path, "<rss><channel><title>Opened</title><itunes:image xmlns:itunes=\"u\"/>"
                            "<item><title>O1</title></item></channel></rss>"));
    editor.window->openFeed(path);
    QCOMPARE(editor.titles(), names({"O1"}));
    QCOMPARE(editor.document().field(ChannelField::Title), QStringLiteral("Opened"));
    QVERIFY(editor.dialogs.opened.isEmpty());
    // Reported under the load command's own location and step.
    QCOMPARE(editor.errors.reports.size(), 1);
    QCOMPARE(editor.errors.reports[0].location,
             QStringLiteral("in Fernhollow2021/08/31.Form1.PushButton7_Click "));
    QCOMPARE(editor.errors.reports[0].step, 186);

    editor.window->openFeed(editor.filePath(QStringLiteral("missing.xml")));
    QCOMPARE(editor.messages.texts().last(), QStringLiteral("Fail to load XML."));
    QCOMPARE(editor.titles(), names({"O1"}));
}

void tst_MainWindow::loadSample_confirmedOrDeclined_data() {
    QTest::addColumn<MessageService::Answer>("answer");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("yes") << MessageService::Answer::Yes << names({"S1"});
    QTest::newRow("no") << MessageService::Answer::No << QStringList();
}

void tst_MainWindow::loadSample_confirmedOrDeclined() {
    QFETCH(MessageService::Answer, answer);
    QFETCH(QStringList, titles);
    EditorHarness editor([](const QString &folder) {
        QDir(folder).mkpath(QStringLiteral("Samples"));
        writeFile(folder + QStringLiteral("/Samples/Podcast.xml"),
                  "<rss><channel><title>Sample show</title>"
                  "<item><title>S1</title></item></channel></rss>");
    });
    editor.messages.answers = {answer};
    button(editor, 8)->click();
    QCOMPARE(editor.messages.shown.size(), 1);
    QVERIFY(editor.messages.shown.constFirst().isQuestion);
    QCOMPARE(editor.titles(), titles);
    QCOMPARE(editor.document().DocumentChanged(), !titles.isEmpty());
    QVERIFY(editor.errors.reports.isEmpty());
}

void tst_MainWindow::close_asksOnlyWithChanges_data() {
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("answer"); // -1: not asked
    QTest::addColumn<QString>("saveOutcome");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QStringList>("messages");
    using A = MessageService::Answer;
    QTest::newRow("unchanged") << false << -1 << QString() << true << QStringList();
    QTest::newRow("changed, cancel")
        << true << int(A::Cancel) << QString() << false << QStringList{SavePrompt};
    QTest::newRow("changed, no") << true << int(A::No) << QString() << true
                                 << QStringList{SavePrompt};
    QTest::newRow("changed, yes, saved")
        << true << int(A::Yes) << QStringLiteral("saved") << true << QStringList{SavePrompt};
    QTest::newRow("changed, yes, dialog cancelled")
        << true << int(A::Yes) << QStringLiteral("cancel") << false << QStringList{SavePrompt};
    QTest::newRow("changed, yes, no title") << true << int(A::Yes) << QStringLiteral("notitle")
                                            << false << QStringList{SavePrompt, TitleMissing};
}

void tst_MainWindow::close_asksOnlyWithChanges() {
    QFETCH(bool, changed);
    QFETCH(int, answer);
    QFETCH(QString, saveOutcome);
    QFETCH(bool, closes);
    QFETCH(QStringList, messages);
    EditorHarness editor;
    editor.window->show();
    fillSaveable(editor);
    if (saveOutcome == QStringLiteral("notitle"))
        editor.document().setField(ChannelField::Title, QString());
    editor.document().setDocumentChanged(changed);
    const QString path = editor.filePath(QStringLiteral("Podcast.xml"));
    if (saveOutcome == QStringLiteral("saved"))
        editor.dialogs.paths = {path};
    if (answer >= 0)
        editor.messages.answers = {MessageService::Answer(answer)};

    QCOMPARE(editor.window->close(), closes);
    QCOMPARE(editor.window->isVisible(), !closes);
    QCOMPARE(editor.messages.texts(), messages);
    if (answer >= 0) {
        const auto &prompt = editor.messages.shown.constFirst();
        QCOMPARE(prompt.caption, QStringLiteral("Save Changes?"));
        QCOMPARE(prompt.buttons, MessageService::Buttons::YesNoCancel);
    }
    QCOMPARE(QFile::exists(path), saveOutcome == QStringLiteral("saved"));
    if (!closes)
        QVERIFY(editor.document().DocumentChanged());
}

void tst_MainWindow::shortcuts_pressTheirButtons_data() {
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("number");
    QTest::newRow("Ctrl+Shift+S") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) << 3;
    QTest::newRow("Ctrl+N") << QKeySequence(Qt::CTRL | Qt::Key_N) << 5;
    QTest::newRow("F1") << QKeySequence(Qt::Key_F1) << 6;
    QTest::newRow("F2") << QKeySequence(Qt::Key_F2) << 4;
    QTest::newRow("Insert") << QKeySequence(Qt::Key_Insert) << 1;
}

void tst_MainWindow::shortcuts_pressTheirButtons() {
    QFETCH(QKeySequence, keys);
    QFETCH(int, number);
    EditorHarness editor;
    showActive(*editor.window);
    if (QTest::currentTestFailed())
        return;
    // Edit needs a selected episode.
    editor.addEpisodes({QStringLiteral("One")});
    editor.window->selectEpisode(1);
    QPushButton *target = button(editor, number);
    QVERIFY(target->toolTip().contains(keys.toString(QKeySequence::NativeText)));
    QSignalSpy clicked(target, &QPushButton::clicked);

    // From a field and from the list alike.
    editor.window->fieldBox(ChannelField::Author)->setFocus();
    QTest::keySequence(editor.window->fieldBox(ChannelField::Author), keys);
    editor.window->episodeList()->setFocus();
    QTest::keySequence(editor.window->episodeList(), keys);
    QCOMPARE(clicked.size(), 2);
}

void tst_MainWindow::focusedButton_enterOrSpacePresses_data() {
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Enter") << Qt::Key_Return;
    QTest::newRow("Space") << Qt::Key_Space;
}

void tst_MainWindow::focusedButton_enterOrSpacePresses() {
    QFETCH(Qt::Key, key);
    EditorHarness editor;
    showActive(*editor.window);
    if (QTest::currentTestFailed())
        return;
    QPushButton *help = button(editor, 6);
    help->setFocus();
    QSignalSpy clicked(help, &QPushButton::clicked);
    QTest::keyClick(help, key);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(editor.shell.opened.size(), 3);
}

void tst_MainWindow::new_closeRequestOnQuestion_keepsDocument_data() {
    QTest::addColumn<bool>("fromWindowManager");
    QTest::newRow("platform close event") << false;
    QTest::newRow("WM_DELETE_WINDOW") << true;
}

void tst_MainWindow::new_closeRequestOnQuestion_keepsDocument() {
    QFETCH(bool, fromWindowManager);
    if (fromWindowManager && !CloseRequest::onXcb())
        QSKIP("Needs an X server: run with QT_QPA_PLATFORM=xcb");
    MessageBoxes boxes;
    RecordingErrorReporter errors;
    ScriptedFileDialogs dialogs; // the save dialog is cancelled
    RecordingDesktopShell shell;
    MainWindow window(MainWindowServices{boxes, errors, dialogs, shell});
    boxes.setParent(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.document().setField(ChannelField::Title, QStringLiteral("My show"));
    window.document().appendEpisode(QStringLiteral("One"));
    QVERIFY(window.document().DocumentChanged());

    bool asked = false;
    QTimer::singleShot(0, &window, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->text(), SavePrompt);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        auto *closes = new CloseRequest::Counter(*box);
        if (fromWindowManager) {
            QVERIFY(CloseRequest::fromWindowManager(*box));
            QTRY_COMPARE(closes->count, 1);
        } else {
            CloseRequest::fromPlatform(*box);
        }
        asked = true;
        QVERIFY(box->isVisible());
        QCOMPARE(window.document().field(ChannelField::Title), QStringLiteral("My show"));
        box->button(QMessageBox::Yes)->click();
    });
    window.findChild<QPushButton *>(QStringLiteral("PushButton5"))->click();
    QVERIFY(asked);
    // Yes with the save dialog cancelled: nothing is cleared.
    QCOMPARE(dialogs.opened.size(), 1);
    QCOMPARE(window.document().field(ChannelField::Title), QStringLiteral("My show"));
    QCOMPARE(window.document().episodeCount(), 1);
}

void tst_MainWindow::listToolTip_fixedTextEverywhere_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("a row whose cells show in full") << QStringLiteral("row");
    QTest::newRow("empty space below the rows") << QStringLiteral("space");
    QTest::newRow("column headers") << QStringLiteral("header");
}

void tst_MainWindow::listToolTip_fixedTextEverywhere() {
    QFETCH(QString, where);
    EditorHarness editor;
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    editor.addEpisodes({QStringLiteral("One")});
    QTreeView *list = editor.window->episodeList();
    QString tip;
    if (where == QStringLiteral("row"))
        tip =
            toolTipAt(*list->viewport(), list->visualRect(editor.document().index(0, 0)).center());
    else if (where == QStringLiteral("space"))
        tip = toolTipAt(*list->viewport(), QPoint(5, list->viewport()->height() - 5));
    else
        tip = toolTipAt(*list->header()->viewport(), QPoint(10, list->header()->height() / 2));
    QCOMPARE(tip, ListHelp);
    QToolTip::hideText();
}

void tst_MainWindow::listToolTip_cutOffCellShowsBoundedTextFirst_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expectedLines"); // empty: only bounds are checked
    const QString longTitle = QStringLiteral(
        "Grafting in the Frost, with Old Tom Whitlow and the scions of the Bramley orchard");
    QTest::newRow("title wider than its column")
        << longTitle
        << QStringList{QStringLiteral("Grafting in the Frost, with Old Tom Whitlow and the "
                                      "scions of the Bramley"),
                       QStringLiteral("orchard")};
    QTest::newRow("two lines") << QStringLiteral("First\nSecond")
                               << QStringList{QStringLiteral("First"), QStringLiteral("Second")};
    QTest::newRow("summary of 15000 characters")
        << QStringLiteral("An orchard walk. ").repeated(900) << QStringList();
    QTest::newRow("address without blanks")
        << QStringLiteral("https://example.org/") + QString(200, u'a') << QStringList();
    // Markup in a field is shown as typed.
    QTest::newRow("text that looks like markup")
        << QStringLiteral("<b>Bold</b> claims about grafting that run on and on past the column")
        << QStringList{QStringLiteral(
               "<b>Bold</b> claims about grafting that run on and on past the column")};
}

void tst_MainWindow::listToolTip_cutOffCellShowsBoundedTextFirst() {
    QFETCH(QString, text);
    QFETCH(QStringList, expectedLines);
    EditorHarness editor;
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    editor.addEpisodes({QStringLiteral("One")});
    editor.document().setEpisodeColumn(1, EpisodeColumn::Summary, text);
    QTreeView *list = editor.window->episodeList();
    const QModelIndex cell = editor.document().index(0, EpisodeColumn::Summary);
    list->scrollTo(cell);
    QString tip = toolTipAt(*list->viewport(), list->visualRect(cell).center());
    QToolTip::hideText();
    if (Qt::mightBeRichText(tip)) {
        QTextDocument document;
        document.setHtml(tip);
        tip = document.toPlainText();
    }
    QVERIFY2(tip.endsWith(QStringLiteral("\n\n") + ListHelp), qPrintable(tip));
    const QStringList lines =
        tip.left(tip.size() - ListHelp.size() - 2)
            .split(QChar(u'\n'))
            .replaceInStrings(QString(QChar(QChar::Nbsp)), QStringLiteral(" "));
    if (!expectedLines.isEmpty())
        QCOMPARE(lines, expectedLines);
    QVERIFY(lines.size() <= 5);
    for (const QString &line : lines)
        QVERIFY2(line.size() <= 80, qPrintable(line));
    QVERIFY(text.startsWith(lines.first()));
    if (text.size() > 500)
        QVERIFY(lines.last().endsWith(QChar(0x2026)));
}

void tst_MainWindow::keyboardIntoList_selectsFramedRow_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<Qt::Key>("move");
    QTest::addColumn<Qt::Key>("command");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("dialogsShown");
    const QStringList all{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")};
    QTest::newRow("Tab from the last field, Delete")
        << QStringLiteral("Text1(11)") << Qt::Key_Tab << Qt::Key_Delete << all.mid(1) << 0;
    QTest::newRow("Shift+Tab from Add New Episode, Delete")
        << QStringLiteral("PushButton1") << Qt::Key_Backtab << Qt::Key_Delete << all.mid(1) << 0;
    QTest::newRow("Tab from the last field, Edit")
        << QStringLiteral("Text1(11)") << Qt::Key_Tab << Qt::Key_F2 << all << 1;
}

void tst_MainWindow::keyboardIntoList_selectsFramedRow() {
    QFETCH(QString, from);
    QFETCH(Qt::Key, move);
    QFETCH(Qt::Key, command);
    QFETCH(QStringList, remaining);
    QFETCH(int, dialogsShown);
    EditorHarness editor;
    showActive(*editor.window);
    if (QTest::currentTestFailed())
        return;
    editor.addEpisodes({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")});
    QTreeView *list = editor.window->episodeList();
    auto *start = editor.window->findChild<QWidget *>(from);
    start->setFocus();
    QTest::keyClick(start, move);
    QCOMPARE(QApplication::focusWidget(), list);
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(editor.window->selectedEpisode(), 1);

    QTest::keyClick(list, command);
    QCOMPARE(editor.titles(), remaining);
    QCOMPARE(editor.dialogsShown, dialogsShown);
    if (dialogsShown > 0)
        QCOMPARE(editor.lastDialogFields.first(), QStringLiteral("One"));
}

void tst_MainWindow::addEpisode_scrollsNewRowIntoViewUnselected() {
    EditorHarness editor;
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    QStringList titles;
    for (int number = 1; number <= 30; ++number)
        titles.append(QStringLiteral("Episode %1").arg(number));
    editor.addEpisodes(titles);
    editor.window->selectEpisode(2);
    QTreeView *list = editor.window->episodeList();
    list->scrollToTop();
    editor.onEpisodeDialog = [](EpisodeDialog &dialog) {
        dialog.setField(EpisodeColumn::Title, QStringLiteral("Episode 31"));
        dialog.saveButton()->click();
    };
    button(editor, 1)->click();

    QCOMPARE(editor.document().episodeCount(), 31);
    const QRect last = list->visualRect(editor.document().index(30, 0));
    QVERIFY(list->viewport()->rect().contains(last.center()));
    QCOMPARE(editor.window->selectedEpisode(), 2);
}

void tst_MainWindow::skin_doesNotReachEpisodeDialog() {
    EditorHarness editor(
        [](const QString &folder) {
            QVERIFY(QDir(folder).mkpath(QStringLiteral("x")));
            QFile skin(Skin::path(folder));
            QVERIFY(skin.open(QIODevice::WriteOnly));
            skin.write("QWidget { font: 14pt \"DejaVu Serif\"; color: #aa0000; }\n"
                       "QLineEdit { background: #ffff00; }\n"
                       "QDialog, QLabel { background: #008800; }\n");
        },
        true);
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    // The skin does reach the main window.
    auto *mainCaption = editor.window->findChild<QLabel *>(QStringLiteral("Label1(0)"));
    QCOMPARE(mainCaption->font().pointSize(), 14);

    bool checked = false;
    QTimer::singleShot(0, editor.window.get(), [&] {
        auto *dialog = qobject_cast<EpisodeDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        checked = true;
        const QFont designed = FormLook::formFont();
        const auto widgets = dialog->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (!qobject_cast<QLabel *>(widget) && !qobject_cast<QLineEdit *>(widget))
                continue;
            QCOMPARE(widget->font().family(), designed.family());
            QCOMPARE(widget->font().pointSizeF(), designed.pointSizeF());
            QVERIFY(widget->font().bold());
            QVERIFY(widget->palette().color(QPalette::WindowText) != QColor(0xaa, 0, 0));
            QVERIFY(widget->palette().color(QPalette::Base) != QColor(0xff, 0xff, 0));
        }
        QCOMPARE(dialog->palette().color(QPalette::Window), FormLook::themeColour());
        QVERIFY(qstrcmp(dialog->style()->metaObject()->className(), "QStyleSheetStyle") != 0);
        dialog->cancelButton()->click();
    });
    button(editor, 1)->click();
    QVERIFY(checked);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
