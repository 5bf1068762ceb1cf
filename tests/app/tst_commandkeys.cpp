#include "EditorHarness.h"

#include "app/CommandKeys.h"

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

int buttonOf(EditorCommand command) {
    switch (command) {
    case EditorCommand::AddEpisode:
        return 1;
    case EditorCommand::EditEpisode:
        return 4;
    case EditorCommand::NewDocument:
        return 5;
    case EditorCommand::SaveDocument:
        return 3;
    case EditorCommand::LoadFeed:
        return 7;
    case EditorCommand::Help:
        return 6;
    case EditorCommand::CheckFeed:
        return 0; // a window action, no button
    }
    return 0;
}
} // namespace

class tst_CommandKeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void key_worksFromEveryBoxUnderEveryScheme_data();
    void key_worksFromEveryBoxUnderEveryScheme();
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
    // A button, or the window action of a command without one.
    const int number = buttonOf(EditorCommand(command));
    auto *button = window.findChild<QPushButton *>(QStringLiteral("PushButton%1").arg(number));
    auto *action = window.findChild<QAction *>(QStringLiteral("CheckFeedAction"));
    QVERIFY(number > 0 ? button != nullptr : action != nullptr);
    const QString toolTip = number > 0 ? button->toolTip() : action->toolTip();
    QVERIFY(toolTip.endsWith(QStringLiteral("(%1)").arg(keys.toString(QKeySequence::NativeText))));
    QSignalSpy clicked = number > 0 ? QSignalSpy(button, &QPushButton::clicked)
                                    : QSignalSpy(action, &QAction::triggered);

    QList<QWidget *> boxes;
    for (int index = 0; index < ChannelField::Count; ++index)
        boxes.append(window.fieldBox(index));
    boxes.append(window.episodeList());
    for (QWidget *box : std::as_const(boxes)) {
        // A box with text and the cursor inside it, where editing keys act.
        if (auto *field = qobject_cast<QLineEdit *>(box)) {
            field->setText(QStringLiteral("Orchard"));
            field->setCursorPosition(3);
        }
        box->setFocus();
        QCOMPARE(QApplication::focusWidget(), box);
        const qsizetype before = clicked.size();
        QTest::keySequence(box, keys);
        QVERIFY2(clicked.size() == before + 1, qPrintable(box->objectName()));
    }
}

QTEST_MAIN(tst_CommandKeys)
#include "tst_commandkeys.moc"
