#include "EditorHarness.h"

#include "look/FormLook.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

// Every caption of both windows shows in full with the fonts this machine
// has. CTest runs this once with the system's fonts and once without any font
// of Arial's metrics (tst_captionfit_fallbackfont).
class tst_CaptionFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fonts_areTheOnesThisRunIsFor();
    void captions_fitTheirPlaces_data();
    void captions_fitTheirPlaces();
};

namespace {
bool fallbackRun() {
    return qEnvironmentVariable("BRINDLEWOOD_FONT_RUN") == QStringLiteral("fallback");
}

// The part of a push button its caption is drawn in.
QRect captionArea(const QPushButton &button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

void checkCaptions(QWidget &window) {
    const auto labels = window.findChildren<QLabel *>();
    QVERIFY(!labels.isEmpty());
    for (const QLabel *label : labels) {
        const QFontMetrics metrics(label->font());
        const QString name = window.objectName() + u'.' + label->objectName();
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(name));
        QVERIFY2(metrics.height() <= label->contentsRect().height(), qPrintable(name));
        const QWidget *box = label->buddy();
        QVERIFY2(box, qPrintable(name));
        QVERIFY2(label->geometry().right() < box->geometry().left(), qPrintable(name));
        QVERIFY2(box->geometry().right() < box->parentWidget()->width(), qPrintable(name));
        // Level with its box.
        QVERIFY2(qAbs(label->geometry().center().y() - box->geometry().center().y()) <= 1,
                 qPrintable(name));
    }
    const auto buttons = window.findChildren<QPushButton *>();
    QVERIFY(!buttons.isEmpty());
    for (const QPushButton *button : buttons) {
        const QFontMetrics metrics(button->font());
        const QRect area = captionArea(*button);
        const QString name = window.objectName() + u'.' + button->objectName();
        QVERIFY2(metrics.horizontalAdvance(button->text()) <= area.width(), qPrintable(name));
        QVERIFY2(metrics.height() <= area.height(), qPrintable(name));
        QVERIFY2(button->font().pointSizeF() >= 8.0, qPrintable(name));
    }
    const auto frames = window.findChildren<QGroupBox *>();
    for (const QGroupBox *frame : frames) {
        const QFontMetrics metrics(frame->font());
        QVERIFY(metrics.horizontalAdvance(frame->title()) + 16 <= frame->width());
    }
}
} // namespace

void tst_CaptionFit::fonts_areTheOnesThisRunIsFor() {
    const QString family = QFontInfo(FormLook::formFont()).family();
    const bool arialMetrics = family == QStringLiteral("Arial") ||
                              family == QStringLiteral("Liberation Sans") ||
                              family == QStringLiteral("Arimo");
    QVERIFY2(arialMetrics != fallbackRun(), qPrintable(family));
}

void tst_CaptionFit::captions_fitTheirPlaces_data() {
    QTest::addColumn<bool>("dialog");
    QTest::newRow("main window") << false;
    QTest::newRow("episode dialog") << true;
}

void tst_CaptionFit::captions_fitTheirPlaces() {
    QFETCH(bool, dialog);
    EditorHarness editor;
    if (!dialog) {
        editor.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
        checkCaptions(*editor.window);
        return;
    }
    bool checked = false;
    editor.onEpisodeDialog = [&](EpisodeDialog &episodeDialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&episodeDialog));
        checkCaptions(episodeDialog);
        checked = true;
    };
    editor.window->findChild<QPushButton *>(QStringLiteral("PushButton1"))->click();
    QVERIFY(checked);
}

QTEST_MAIN(tst_CaptionFit)
#include "tst_captionfit.moc"
