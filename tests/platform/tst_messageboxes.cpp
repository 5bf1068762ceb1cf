#include "feed/ApplicationTitle.h"
#include "platform/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

class tst_MessageBoxes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void notice_plainBoxWithApplicationTitle();
    void question_captionsButtonsAndDefault_data();
    void question_captionsButtonsAndDefault();
    void yesNoQuestion_escapeDoesNotAnswer();
    void yesNoCancelQuestion_escapeCancels();
    void errorReport_warningBoxWithOwnCaption();
};

namespace {
// Runs `inspect` on the next modal message box once it is shown.
void onNextBox(std::function<void(QMessageBox *)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        inspect(box);
        // A failed check returns early: close the box so the test cannot hang.
        if (box->isVisible())
            box->done(QMessageBox::Cancel);
    });
}
} // namespace

void tst_MessageBoxes::initTestCase() {
    SetApplicationTitle();
}

void tst_MessageBoxes::notice_plainBoxWithApplicationTitle() {
    MessageBoxes boxes;
    bool seen = false;
    onNextBox([&](QMessageBox *box) {
        seen = true;
        QCOMPARE(box->windowTitle(), QStringLiteral("Brindlewood Feed Editor"));
        QCOMPARE(box->text(), QStringLiteral("XML is not valid."));
        QCOMPARE(box->detailedText(), QStringLiteral("line 3, column 7"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    boxes.notice(QStringLiteral("XML is not valid."), QStringLiteral("line 3, column 7"));
    QVERIFY(seen);
}

void tst_MessageBoxes::question_captionsButtonsAndDefault_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("withCancel");
    QTest::addColumn<int>("defaultAnswer");
    QTest::addColumn<QString>("expectedCaption");
    QTest::addColumn<QMessageBox::StandardButtons>("expectedButtons");
    QTest::newRow("own caption, Yes/No")
        << QStringLiteral("Save Changes?") << false << int(MessageService::Answer::No)
        << QStringLiteral("Save Changes?") << (QMessageBox::Yes | QMessageBox::No);
    QTest::newRow("application title, Yes default")
        << QString() << false << int(MessageService::Answer::Yes)
        << QStringLiteral("Brindlewood Feed Editor") << (QMessageBox::Yes | QMessageBox::No);
    QTest::newRow("Yes/No/Cancel")
        << QStringLiteral("Save Changes?") << true << int(MessageService::Answer::Yes)
        << QStringLiteral("Save Changes?")
        << (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

void tst_MessageBoxes::question_captionsButtonsAndDefault() {
    QFETCH(QString, caption);
    QFETCH(bool, withCancel);
    QFETCH(int, defaultAnswer);
    QFETCH(QString, expectedCaption);
    QFETCH(QMessageBox::StandardButtons, expectedButtons);
    MessageBoxes boxes;
    onNextBox([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), expectedCaption);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), expectedButtons);
        const auto expectedDefault =
            defaultAnswer == int(MessageService::Answer::Yes) ? QMessageBox::Yes : QMessageBox::No;
        QCOMPARE(box->defaultButton(), box->button(expectedDefault));
        box->button(QMessageBox::Yes)->click();
    });
    const auto answer = boxes.question(QStringLiteral("Would you like to save?"), caption,
                                       withCancel ? MessageService::Buttons::YesNoCancel
                                                  : MessageService::Buttons::YesNo,
                                       MessageService::Answer(defaultAnswer));
    QCOMPARE(answer, MessageService::Answer::Yes);
}

void tst_MessageBoxes::yesNoQuestion_escapeDoesNotAnswer() {
    MessageBoxes boxes;
    onNextBox([](QMessageBox *box) {
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(box->isVisible());
        box->button(QMessageBox::Yes)->click();
    });
    QCOMPARE(boxes.question(QStringLiteral("Would you like to save?"),
                            QStringLiteral("Save Changes?"), MessageService::Buttons::YesNo,
                            MessageService::Answer::No),
             MessageService::Answer::Yes);
}

void tst_MessageBoxes::yesNoCancelQuestion_escapeCancels() {
    MessageBoxes boxes;
    onNextBox([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(boxes.question(QStringLiteral("Would you like to save?"),
                            QStringLiteral("Save Changes?"), MessageService::Buttons::YesNoCancel,
                            MessageService::Answer::Yes),
             MessageService::Answer::Cancel);
}

void tst_MessageBoxes::errorReport_warningBoxWithOwnCaption() {
    MessageBoxes boxes;
    onNextBox([](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Application Error"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QVERIFY(box->text().startsWith(QStringLiteral(
            "Disk full\r\nin Fernhollow2021/08/31.Form1.SavePodcast at line 182\r\r")));
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    boxes.reportFailure(QStringLiteral("in Fernhollow2021/08/31.Form1.SavePodcast "), 182,
                        QStringLiteral("Disk full"));
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_messageboxes.moc"
