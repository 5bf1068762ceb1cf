#include "EditorHarness.h"
#include "app/DocumentUndoStack.h"
#include "dialogs/LargerBoxAction.h"
#include "dialogs/LargerTextDialog.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
QAction *action(EditorHarness &editor, const char *name) {
    return editor.window->findChild<QAction *>(QString::fromLatin1(name));
}

// Where every control of the form stands, by object name.
QMap<QString, QRect> places(const QWidget &form) {
    QMap<QString, QRect> result;
    const QList<QWidget *> children = form.findChildren<QWidget *>();
    for (const QWidget *child : children) {
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(u"qt_"))
            result.insert(child->objectName(), child->geometry());
    }
    return result;
}

Episode dated(const QString &title, const QString &date) {
    Episode episode;
    episode[EpisodeColumn::Title] = title;
    episode[EpisodeColumn::PubDate] = date;
    return episode;
}
} // namespace

class tst_GrowingWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resize_extraRoomGoesToListAndWideBoxes();
    void rows_oneLineEach();
    void sizes_rememberedForNextRun();
    void sort_newestFirstAsOneStep_data();
    void sort_newestFirstAsOneStep();
    void largerBox_textGoesBackAsOneStep_data();
    void largerBox_textGoesBackAsOneStep();
};

void tst_GrowingWindow::resize_extraRoomGoesToListAndWideBoxes() {
    EditorHarness editor;
    MainWindow &window = *editor.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize designed = window.size();
    const QMap<QString, QRect> before = places(*window.form());
    QTreeView *list = window.episodeList();

    window.resize(1000, 800);
    QTRY_COMPARE(window.size(), QSize(1000, 800));
    const int dx = 1000 - designed.width();
    const int dy = 800 - designed.height();
    QCOMPARE(window.form()->size(), QSize(1000, 800 - window.menuBar()->height()));
    QCOMPARE(list->size(), before[u"ListView1"_s].size() + QSize(dx, dy));
    // The left column stays, the right one moves over by half; the wide
    // boxes take the whole extra width.
    const QRect title = window.fieldBox(ChannelField::Title)->geometry();
    QCOMPARE(title.topLeft(), before[u"Text1(0)"_s].topLeft());
    QVERIFY(qAbs(title.width() - before[u"Text1(0)"_s].width() - dx / 2) <= 1);
    QVERIFY(window.fieldBox(1)->x() > title.right());
    QCOMPARE(window.fieldBox(ChannelField::Description)->width(),
             before[u"Text1(4)"_s].width() + dx);
    // Buttons keep their order and follow the list's foot.
    auto *add = window.findChild<QPushButton *>(u"PushButton1"_s);
    auto *edit = window.findChild<QPushButton *>(u"PushButton4"_s);
    QCOMPARE(add->y(), before[u"PushButton1"_s].y() + dy);
    QVERIFY(add->geometry().right() < edit->x());
    QVERIFY(list->geometry().bottom() < add->y());

    // Back at the least size, everything is where it was drawn.
    window.resize(200, 200);
    QTRY_COMPARE(window.size(), designed);
    QCOMPARE(places(*window.form()), before);
}

void tst_GrowingWindow::rows_oneLineEach() {
    EditorHarness editor;
    editor.addEpisodes({u"Plain"_s});
    Episode tall;
    tall[EpisodeColumn::Title] = u"Tall"_s;
    tall[EpisodeColumn::Summary] = u"First line\nSecond line\nThird line\r\nFourth"_s;
    editor.document().appendEpisodes({tall});
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    QTreeView *list = editor.window->episodeList();
    const int plain = list->visualRect(editor.document().index(0, 0)).height();
    QCOMPARE(list->visualRect(editor.document().index(1, EpisodeColumn::Summary)).height(), plain);
    QVERIFY(plain < 2 * list->fontMetrics().lineSpacing());
    // The model keeps the text as it is.
    QCOMPARE(editor.document().episode(2)[EpisodeColumn::Summary],
             u"First line\nSecond line\nThird line\r\nFourth"_s);
}

void tst_GrowingWindow::sizes_rememberedForNextRun() {
    {
        EditorHarness editor;
        editor.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
        editor.window->resize(700, 590);
        QTRY_COMPARE(editor.window->size(), QSize(700, 590));
        editor.window->episodeList()->header()->resizeSection(EpisodeColumn::Summary, 250);
        QVERIFY(editor.window->close());
    }
    EditorHarness::keepSettings = true;
    EditorHarness again;
    EditorHarness::keepSettings = false;
    QCOMPARE(again.window->size(), QSize(700, 590));
    QCOMPARE(again.window->episodeList()->header()->sectionSize(EpisodeColumn::Summary), 250);
}

void tst_GrowingWindow::sort_newestFirstAsOneStep_data() {
    QTest::addColumn<QList<Episode>>("episodes");
    QTest::addColumn<QStringList>("sorted");
    const QList<Episode> oldestFirst{dated(u"A"_s, u"Mon, 01 Jan 2024 10:00:00 GMT"_s),
                                     dated(u"B"_s, u"Mon, 08 Jan 2024 10:00:00 +0000"_s),
                                     dated(u"C"_s, u"Mon, 15 Jan 2024 05:00:00 EST"_s)};
    QTest::newRow("oldest first") << oldestFirst << QStringList{u"C"_s, u"B"_s, u"A"_s};
    QTest::newRow("zones compared as instants")
        << QList<Episode>{dated(u"Late"_s, u"Tue, 02 Jan 2024 01:00:00 +0200"_s),
                          dated(u"Early"_s, u"Mon, 01 Jan 2024 22:30:00 -0100"_s)}
        << QStringList{u"Early"_s, u"Late"_s};
    QTest::newRow("undated go last, in their order")
        << QList<Episode>{dated(u"X"_s, u"someday"_s), oldestFirst[0], dated(u"Y"_s, QString()),
                          oldestFirst[2]}
        << QStringList{u"C"_s, u"A"_s, u"X"_s, u"Y"_s};
    QTest::newRow("same date keeps order")
        << QList<Episode>{dated(u"P"_s, u"Mon, 01 Jan 2024 10:00:00 GMT"_s),
                          dated(u"Q"_s, u"Mon, 01 Jan 2024 10:00:00 GMT"_s)}
        << QStringList{u"P"_s, u"Q"_s};
}

void tst_GrowingWindow::sort_newestFirstAsOneStep() {
    QFETCH(QList<Episode>, episodes);
    QFETCH(QStringList, sorted);
    EditorHarness editor;
    editor.document().appendEpisodes(episodes);
    editor.window->undoStack().markSaved();
    const QStringList before = editor.titles();
    const int steps = editor.window->undoStack().count();

    action(editor, "SortByDateAction")->trigger();
    QCOMPARE(editor.titles(), sorted);
    const bool moved = sorted != before;
    QCOMPARE(editor.window->undoStack().count(), steps + (moved ? 1 : 0));
    QCOMPARE(editor.document().DocumentChanged(), moved);
    editor.window->undoStack().undo();
    QCOMPARE(editor.titles(), before);
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_GrowingWindow::largerBox_textGoesBackAsOneStep_data() {
    QTest::addColumn<int>("field");
    QTest::newRow("Description") << int(ChannelField::Description);
    QTest::newRow("Summary") << int(ChannelField::Summary);
}

void tst_GrowingWindow::largerBox_textGoesBackAsOneStep() {
    QFETCH(int, field);
    EditorHarness editor;
    editor.window->show();
    // The key is the box's own: it needs the focus, in the active window.
    editor.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
    QLineEdit *box = editor.window->fieldBox(field);
    QTest::keyClicks(box, u"One line"_s);
    editor.window->undoStack().markSaved();
    QString shown;
    editor.onLargerText = [&](LargerTextDialog &dialog) {
        shown = dialog.text();
        dialog.editor()->setPlainText(u"One line\n\nand a second paragraph"_s);
        dialog.accept();
    };
    box->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(box, Qt::Key_F2, Qt::ShiftModifier);
    QCOMPARE(shown, u"One line"_s);
    QCOMPARE(editor.document().field(field), u"One line\n\nand a second paragraph"_s);
    QCOMPARE(box->text(), editor.document().field(field));
    editor.window->undoStack().undo();
    QCOMPARE(editor.document().field(field), u"One line"_s);
    QVERIFY(!editor.document().DocumentChanged());

    // Cancelled, nothing changes; the entry is in the box's menu too.
    editor.onLargerText = [](LargerTextDialog &dialog) {
        dialog.editor()->setPlainText(u"thrown away"_s);
        dialog.reject();
    };
    QAction *entry = box->findChild<QAction *>(u"LargerBoxAction"_s);
    QVERIFY(entry);
    QCOMPARE(entry->shortcut(), LargerBoxAction::key());
    entry->trigger();
    QCOMPARE(editor.document().field(field), u"One line"_s);
    QVERIFY(editor.window->fieldBox(ChannelField::Title)->findChildren<QAction *>().isEmpty());
}

QTEST_MAIN(tst_GrowingWindow)
#include "tst_growingwindow.moc"
