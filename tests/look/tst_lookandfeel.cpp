#include "feed/StepFailure.h"
#include "look/ApplyFormColours.h"
#include "look/ApplySkin.h"
#include "look/FormLook.h"
#include "look/HandCursor.h"
#include "look/HoverCursorRule.h"

#include "support/CursorFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <unistd.h>

namespace {
// A window with one control of every kind the colour rules tell apart.
struct SampleWindow {
    QWidget window;
    QGroupBox *frame = new QGroupBox(QStringLiteral("Frame"), &window);
    QLabel *nestedLabel = new QLabel(QStringLiteral("Caption:"), frame);
    QCheckBox *check = new QCheckBox(QStringLiteral("Check"), &window);
    QRadioButton *option = new QRadioButton(QStringLiteral("Option"), &window);
    QLineEdit *box = new QLineEdit(frame);
    QPushButton *button = new QPushButton(QStringLiteral("Button"), &window);
    QTreeView *list = new QTreeView(&window);

    SampleWindow() {
        FormLook::setBackground(window, FormLook::designedBackground());
        FormLook::styleButton(*button);
    }
};

QColor background(const QWidget *widget) {
    return widget->palette().color(QPalette::Window);
}

bool paintsOwnBackground(const QWidget *widget, const QColor &colour) {
    return widget->autoFillBackground() && background(widget) == colour;
}

void makeSkin(const QTemporaryDir &folder, const QByteArray &content) {
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("x")));
    QVERIFY(writeFile(Skin::path(folder.path()), content));
}
} // namespace

class tst_LookAndFeel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void applyFormColours_framesLabelsAndOptionsOnly();
    void applySkin_absent_changesNothing_data();
    void applySkin_absent_changesNothing();
    void applySkin_present_coloursThenSheet();
    void applySkin_emptySheet_loggedAndLeftOut_data();
    void applySkin_emptySheet_loggedAndLeftOut();
    void applySkin_unreadableSheet_loggedAndLeftOut();
    void handCursor_readsImageAndHotSpot_data();
    void handCursor_readsImageAndHotSpot();
    void handCursor_badFile_throwsStepFailure_data();
    void handCursor_badFile_throwsStepFailure();
    void hoverRule_windowPointerFollowsLastControl_data();
    void hoverRule_windowPointerFollowsLastControl();
};

void tst_LookAndFeel::applyFormColours_framesLabelsAndOptionsOnly() {
    SampleWindow sample;
    const QColor boxBase = sample.box->palette().color(QPalette::Base);
    const QColor listBase = sample.list->palette().color(QPalette::Base);
    ApplyFormColours(sample.window);

    const QColor theme = FormLook::themeColour();
    for (const QWidget *coloured :
         {&sample.window, static_cast<QWidget *>(sample.frame),
          static_cast<QWidget *>(sample.nestedLabel), static_cast<QWidget *>(sample.check),
          static_cast<QWidget *>(sample.option)})
        QVERIFY2(paintsOwnBackground(coloured, theme), coloured->metaObject()->className());
    QVERIFY(!sample.box->autoFillBackground());
    QCOMPARE(sample.box->palette().color(QPalette::Base), boxBase);
    QCOMPARE(sample.list->palette().color(QPalette::Base), listBase);
    QVERIFY(!sample.button->autoFillBackground());
    QCOMPARE(sample.button->palette().color(QPalette::Button), FormLook::designedBackground());
}

void tst_LookAndFeel::applySkin_absent_changesNothing_data() {
    QTest::addColumn<bool>("folderNamedLikeSkin");
    QTest::newRow("no skin file") << false;
    QTest::newRow("a folder where the file would be") << true;
}

void tst_LookAndFeel::applySkin_absent_changesNothing() {
    QFETCH(bool, folderNamedLikeSkin);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    if (folderNamedLikeSkin)
        QVERIFY(QDir(folder.path()).mkpath(QString::fromUtf8(Skin::FileName)));

    SampleWindow sample;
    ApplySkin(sample.window, folder.path());
    QVERIFY(paintsOwnBackground(&sample.window, FormLook::designedBackground()));
    QVERIFY(!sample.frame->autoFillBackground());
    QVERIFY(!sample.nestedLabel->autoFillBackground());
    QVERIFY(sample.window.styleSheet().isEmpty());
}

void tst_LookAndFeel::applySkin_present_coloursThenSheet() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QByteArray sheet = "QPushButton { color: #552200; }";
    makeSkin(folder, sheet);

    SampleWindow sample;
    ApplySkin(sample.window, folder.path());
    const QColor theme = FormLook::themeColour();
    QVERIFY(paintsOwnBackground(&sample.window, theme));
    QVERIFY(paintsOwnBackground(sample.frame, theme));
    QVERIFY(paintsOwnBackground(sample.nestedLabel, theme));
    QCOMPARE(sample.window.styleSheet(), QString::fromUtf8(sheet));
}

void tst_LookAndFeel::applySkin_emptySheet_loggedAndLeftOut_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank lines") << QByteArray("  \n\t\n");
}

void tst_LookAndFeel::applySkin_emptySheet_loggedAndLeftOut() {
    QFETCH(QByteArray, content);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    makeSkin(folder, content);

    SampleWindow sample;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is empty")));
    ApplySkin(sample.window, folder.path());
    QVERIFY(paintsOwnBackground(&sample.window, FormLook::themeColour()));
    QVERIFY(sample.window.styleSheet().isEmpty());
}

void tst_LookAndFeel::applySkin_unreadableSheet_loggedAndLeftOut() {
    if (geteuid() == 0)
        QSKIP("root reads files whatever their permissions");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    makeSkin(folder, "QWidget { color: red; }");
    QVERIFY(QFile::setPermissions(Skin::path(folder.path()), QFileDevice::Permissions()));

    SampleWindow sample;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read")));
    ApplySkin(sample.window, folder.path());
    QVERIFY(sample.window.styleSheet().isEmpty());
}

void tst_LookAndFeel::handCursor_readsImageAndHotSpot_data() {
    QTest::addColumn<QPoint>("hotSpot");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("finger tip") << QPoint(5, 7) << QPoint(5, 7);
    QTest::newRow("corner") << QPoint(0, 0) << QPoint(0, 0);
    // A hot spot outside the image would point nowhere; the corner is used.
    QTest::newRow("outside the image") << QPoint(40, 3) << QPoint(0, 0);
}

void tst_LookAndFeel::handCursor_readsImageAndHotSpot() {
    QFETCH(QPoint, hotSpot);
    QFETCH(QPoint, expected);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = HandCursor::path(folder.path());
    QVERIFY(path.endsWith(QStringLiteral("/HAND-M.CUR")));
    QVERIFY(writeCursorFile(path, hotSpot));

    const QCursor cursor = HandCursor::load(path);
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    QCOMPARE(cursor.hotSpot(), expected);
}

void tst_LookAndFeel::handCursor_badFile_throwsStepFailure_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("not a cursor at all");
    QTest::newRow("truncated header") << QByteArray("\0\0\2\0\1\0", 6);
}

void tst_LookAndFeel::handCursor_badFile_throwsStepFailure() {
    QFETCH(QByteArray, content);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = HandCursor::path(folder.path());
    QVERIFY(writeFile(path, content));
    try {
        HandCursor::load(path);
        QFAIL("a file that is no cursor was accepted");
    } catch (const StepFailure &failure) {
        QVERIFY(failure.description().contains(QStringLiteral("HAND-M.CUR")));
    }
}

void tst_LookAndFeel::hoverRule_windowPointerFollowsLastControl_data() {
    // Each step: the control the pointer enters ("+name") or leaves ("-name").
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<Qt::CursorShape>("expected");
    QTest::newRow("onto a button")
        << QStringList{QStringLiteral("+button")} << Qt::PointingHandCursor;
    QTest::newRow("button, then off it")
        << QStringList{QStringLiteral("+button"), QStringLiteral("-button")} << Qt::ArrowCursor;
    QTest::newRow("button, then the frame")
        << QStringList{QStringLiteral("+button"), QStringLiteral("-button"),
                       QStringLiteral("+frame")}
        << Qt::ArrowCursor;
    QTest::newRow("frame, then a button inside it")
        << QStringList{QStringLiteral("+frame"), QStringLiteral("+inner")}
        << Qt::PointingHandCursor;
    QTest::newRow("button inside the frame, back to the frame")
        << QStringList{QStringLiteral("+frame"), QStringLiteral("+inner"), QStringLiteral("-inner")}
        << Qt::ArrowCursor;
    QTest::newRow("the list") << QStringList{QStringLiteral("+button"), QStringLiteral("+list")}
                              << Qt::ArrowCursor;
    QTest::newRow("out of the frame onto the window")
        << QStringList{QStringLiteral("+inner"), QStringLiteral("-inner"), QStringLiteral("-frame")}
        << Qt::ArrowCursor;
}

void tst_LookAndFeel::hoverRule_windowPointerFollowsLastControl() {
    QFETCH(QStringList, moves);
    QFETCH(Qt::CursorShape, expected);
    QWidget window;
    auto *button = new QPushButton(&window);
    auto *frame = new QGroupBox(&window);
    auto *inner = new QPushButton(frame);
    auto *list = new QTreeView(&window);
    HoverCursorRule rule(window, HandCursor::fallback());
    rule.addButton(*button);
    rule.addButton(*inner);
    rule.addBackground(*frame);
    rule.addBackground(*list);
    const QHash<QString, QWidget *> controls{{QStringLiteral("button"), button},
                                             {QStringLiteral("frame"), frame},
                                             {QStringLiteral("inner"), inner},
                                             {QStringLiteral("list"), list}};

    for (const QString &move : moves) {
        QWidget *target = controls.value(move.mid(1));
        QVERIFY(target);
        if (move.startsWith(u'+')) {
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QCoreApplication::sendEvent(target, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(target, &leave);
        }
    }
    QCOMPARE(window.cursor().shape(), expected);
    // Controls show the window's pointer: none has one of its own.
    QCOMPARE(button->cursor().shape(), expected);
}

QTEST_MAIN(tst_LookAndFeel)
#include "tst_lookandfeel.moc"
