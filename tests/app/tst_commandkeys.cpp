#include "EditorHarness.h"

#include "app/CommandKeys.h"
#include "app/DocumentUndoStack.h"
#include "app/SetFieldCommand.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformtheme.h>

namespace {
// The platform's theme with another key scheme: which keys a text box claims
// for editing depends on it, and each desktop has its own.
class SchemeTheme : public QPlatformTheme {
public:
    SchemeTheme(QPlatformTheme *platform, KeyboardSchemes scheme)
        : m_platform(platform)
        , m_scheme(scheme) {}

    QVariant themeHint(ThemeHint hint) const override {
        if (hint == KeyboardScheme)
            return int(m_scheme);
        return m_platform ? m_platform->themeHint(hint) : QPlatformTheme::themeHint(hint);
    }
    const QPalette *palette(Palette type) const override {
        return m_platform ? m_platform->palette(type) : nullptr;
    }
    const QFont *font(Font type) const override {
        return m_platform ? m_platform->font(type) : nullptr;
    }

private:
    QPlatformTheme *m_platform;
    KeyboardSchemes m_scheme;
};

class SchemeScope {
public:
    explicit SchemeScope(int scheme)
        : m_saved(QGuiApplicationPrivate::platform_theme)
        , m_theme(m_saved, QPlatformTheme::KeyboardSchemes(scheme)) {
        if (scheme >= 0)
            QGuiApplicationPrivate::platform_theme = &m_theme;
    }
    ~SchemeScope() { QGuiApplicationPrivate::platform_theme = m_saved; }
    SchemeScope(const SchemeScope &) = delete;
    SchemeScope &operator=(const SchemeScope &) = delete;

private:
    QPlatformTheme *m_saved;
    SchemeTheme m_theme;
};

// The menu entry that carries each command's key.
QString actionOf(EditorCommand command) {
    switch (command) {
    case EditorCommand::AddEpisode:
        return QStringLiteral("AddEpisodeAction");
    case EditorCommand::EditEpisode:
        return QStringLiteral("EditEpisodeAction");
    case EditorCommand::NewDocument:
        return QStringLiteral("NewAction");
    case EditorCommand::OpenDocument:
        return QStringLiteral("OpenAction");
    case EditorCommand::SaveDocument:
        return QStringLiteral("SaveAction");
    case EditorCommand::SaveAs:
        return QStringLiteral("SaveAsAction");
    case EditorCommand::LoadFeed:
        return QStringLiteral("LoadAction");
    case EditorCommand::Help:
        return QStringLiteral("HelpAction");
    case EditorCommand::CheckFeed:
        return QStringLiteral("CheckFeedAction");
    case EditorCommand::Undo:
        return QStringLiteral("UndoAction");
    case EditorCommand::Redo:
        return QStringLiteral("RedoAction");
    case EditorCommand::Quit:
        return QStringLiteral("QuitAction");
    case EditorCommand::MoveUp:
        return QStringLiteral("MoveUpAction");
    case EditorCommand::MoveDown:
        return QStringLiteral("MoveDownAction");
    case EditorCommand::DeleteEpisode:
        return QStringLiteral("DeleteEpisodeAction");
    case EditorCommand::EditInLargerBox:
        return QStringLiteral("LargerBoxAction");
    case EditorCommand::Publish:
        return QStringLiteral("PublishAction");
    }
    return {};
}

// Puts the window where the command can act: a middle episode selected,
// something to undo or redo, a close that the user cancels.
void prepare(EditorHarness &editor, EditorCommand command, int round) {
    if (editor.document().episodeCount() < 3)
        editor.addEpisodes({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")});
    editor.window->selectEpisode(2);
    QUndoStack &stack = editor.window->undoStack();
    if (command == EditorCommand::Undo || command == EditorCommand::Redo) {
        stack.push(new SetFieldCommand(editor.document(), ChannelField::Author,
                                       QStringLiteral("Author %1").arg(round)));
        if (command == EditorCommand::Redo)
            stack.undo();
    }
    if (command == EditorCommand::Quit) {
        editor.document().setDocumentChanged(true);
        editor.messages.answers = {MessageService::Answer::Cancel};
    }
}
} // namespace

class tst_CommandKeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void key_worksFromEveryBoxUnderEveryScheme_data();
    void key_worksFromEveryBoxUnderEveryScheme();
    void buttonToolTips_nameTheirKeys_data();
    void buttonToolTips_nameTheirKeys();
    void deleteKey_deletesTextInBoxesAndEpisodesInList_data();
    void deleteKey_deletesTextInBoxesAndEpisodesInList();
};

void tst_CommandKeys::key_worksFromEveryBoxUnderEveryScheme_data() {
    QTest::addColumn<int>("scheme"); // -1: the platform's own
    QTest::addColumn<int>("command");
    const std::pair<const char *, int> schemes[] = {
        {"platform's own", -1},
        {"Windows", QPlatformTheme::WindowsKeyboardScheme},
        {"macOS", QPlatformTheme::MacKeyboardScheme},
        {"X11", QPlatformTheme::X11KeyboardScheme},
        {"KDE", QPlatformTheme::KdeKeyboardScheme},
        {"GNOME", QPlatformTheme::GnomeKeyboardScheme},
        {"CDE", QPlatformTheme::CdeKeyboardScheme},
    };
    for (const auto &[name, scheme] : schemes) {
        for (const EditorCommand command : CommandKeys::all()) {
            QTest::addRow("%s, command %d", name, int(command)) << scheme << int(command);
        }
    }
}

void tst_CommandKeys::key_worksFromEveryBoxUnderEveryScheme() {
    QFETCH(int, scheme);
    QFETCH(int, command);
    SchemeScope scope(scheme);
    const QKeySequence keys = CommandKeys::keys(EditorCommand(command));
    QVERIFY(!keys.isEmpty());

    EditorHarness editor;
    MainWindow &window = *editor.window;
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // Each command's key is its menu entry's; a button's entry clicks it.
    auto *action = window.findChild<QAction *>(actionOf(EditorCommand(command)));
    QVERIFY(action);
    QVERIFY(action->shortcuts().contains(keys));
    QSignalSpy triggered(action, &QAction::triggered);

    QList<QWidget *> boxes;
    for (int index = 0; index < ChannelField::Count; ++index)
        boxes.append(window.fieldBox(index));
    boxes.append(window.episodeList());
    int round = 0;
    for (QWidget *box : std::as_const(boxes)) {
        prepare(editor, EditorCommand(command), ++round);
        QVERIFY(action->isEnabled());
        // A box with text and the cursor inside it, where editing keys act.
        if (auto *field = qobject_cast<QLineEdit *>(box)) {
            field->setText(QStringLiteral("Orchard"));
            field->setCursorPosition(3);
        }
        // Offscreen, a dialog that closed (Check Feed's) leaves no window
        // active; a window manager hands activation back.
        if (!window.isActiveWindow())
            QApplication::setActiveWindow(&window);
        box->setFocus();
        QCOMPARE(QApplication::focusWidget(), box);
        const qsizetype before = triggered.size();
        QTest::keySequence(box, keys);
        QVERIFY2(triggered.size() == before + 1, qPrintable(box->objectName()));
        QVERIFY(window.isVisible());
    }
}

void tst_CommandKeys::buttonToolTips_nameTheirKeys_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("command");
    QTest::newRow("Add") << 1 << int(EditorCommand::AddEpisode);
    QTest::newRow("Edit") << 4 << int(EditorCommand::EditEpisode);
    QTest::newRow("New") << 5 << int(EditorCommand::NewDocument);
    QTest::newRow("Save As") << 3 << int(EditorCommand::SaveAs);
    QTest::newRow("Load") << 7 << int(EditorCommand::LoadFeed);
    QTest::newRow("Help") << 6 << int(EditorCommand::Help);
}

void tst_CommandKeys::buttonToolTips_nameTheirKeys() {
    QFETCH(int, number);
    QFETCH(int, command);
    EditorHarness editor;
    auto *button =
        editor.window->findChild<QPushButton *>(QStringLiteral("PushButton%1").arg(number));
    QVERIFY(button);
    const QKeySequence keys = CommandKeys::keys(EditorCommand(command));
    // The additive load has no key: Ctrl+O opens (replaces) instead.
    if (keys.isEmpty())
        QCOMPARE(button->toolTip(), button->text());
    else
        QVERIFY(button->toolTip().endsWith(
            QStringLiteral("(%1)").arg(keys.toString(QKeySequence::NativeText))));
    // The entry runs the button itself, messages and all.
    QSignalSpy clicked(button, &QPushButton::clicked);
    editor.addEpisodes({QStringLiteral("One")});
    editor.window->selectEpisode(1);
    editor.window->findChild<QAction *>(actionOf(EditorCommand(command)))->trigger();
    QCOMPARE(clicked.size(), 1);
}

void tst_CommandKeys::deleteKey_deletesTextInBoxesAndEpisodesInList_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("titles");
    const QStringList all{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")};
    QTest::newRow("title box") << QStringLiteral("Text1(0)") << QStringLiteral("Orcard") << all;
    QTest::newRow("summary box") << QStringLiteral("Text1(7)") << QStringLiteral("Orcard") << all;
    QTest::newRow("list") << QStringLiteral("ListView1") << QString()
                          << QStringList{QStringLiteral("One"), QStringLiteral("Three")};
}

void tst_CommandKeys::deleteKey_deletesTextInBoxesAndEpisodesInList() {
    QFETCH(QString, focus);
    QFETCH(QString, text);
    QFETCH(QStringList, titles);
    EditorHarness editor;
    MainWindow &window = *editor.window;
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    editor.addEpisodes({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")});
    window.selectEpisode(2);
    auto *action = window.findChild<QAction *>(QStringLiteral("DeleteEpisodeAction"));
    QVERIFY(action->shortcuts().contains(QKeySequence(QKeySequence::Delete)));
    auto *widget = window.findChild<QWidget *>(focus);
    if (auto *box = qobject_cast<QLineEdit *>(widget)) {
        box->setText(QStringLiteral("Orchard"));
        box->setCursorPosition(3);
    }
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Delete);
    QCOMPARE(editor.titles(), titles);
    if (auto *box = qobject_cast<QLineEdit *>(widget))
        QCOMPARE(box->text(), text);
    // The removal is one step of the history.
    if (text.isEmpty()) {
        window.undoStack().undo();
        QCOMPARE(editor.titles().size(), 3);
    }
}

QTEST_MAIN(tst_CommandKeys)
#include "tst_commandkeys.moc"
