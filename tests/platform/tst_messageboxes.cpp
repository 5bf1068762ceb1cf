#include "feed/ApplicationTitle.h"
#include "platform/MessageBoxes.h"

#include "support/CloseRequest.h"

#include "BuildConfig.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <functional>

class tst_MessageBoxes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void notice_plainBoxWithApplicationTitle();
    void question_captionsButtonsAndDefault_data();
    void question_captionsButtonsAndDefault();
    void questionWithDetail_listBehindDetails();
    void yesNoQuestion_escapeDoesNotAnswer();
    void yesNoCancelQuestion_escapeCancels();
    void question_closeRequest_data();
    void question_closeRequest();
    void notice_addressStaysOnOneLine_data();
    void notice_addressStaysOnOneLine();
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
        QCOMPARE(box->informativeText(), QStringLiteral("line 3, column 7"));
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

void tst_MessageBoxes::question_closeRequest_data() {
    QTest::addColumn<bool>("fromWindowManager");
    QTest::addColumn<bool>("withCancel");
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<int>("answer");
    // Yes/No has no "don't decide": the request is ignored and the box waits.
    QTest::newRow("Yes/No, platform close event")
        << false << false << true << int(MessageService::Answer::Yes);
    QTest::newRow("Yes/No/Cancel, platform close event")
        << false << true << false << int(MessageService::Answer::Cancel);
    QTest::newRow("Yes/No, WM_DELETE_WINDOW")
        << true << false << true << int(MessageService::Answer::Yes);
    QTest::newRow("Yes/No/Cancel, WM_DELETE_WINDOW")
        << true << true << false << int(MessageService::Answer::Cancel);
}

void tst_MessageBoxes::question_closeRequest() {
    QFETCH(bool, fromWindowManager);
    QFETCH(bool, withCancel);
    QFETCH(bool, staysOpen);
    QFETCH(int, answer);
    if (fromWindowManager && !CloseRequest::onXcb())
        QSKIP("Needs an X server: run with QT_QPA_PLATFORM=xcb");
    MessageBoxes boxes;
    bool checked = false;
    onNextBox([&](QMessageBox *box) {
        QVERIFY(QTest::qWaitForWindowExposed(box));
        auto *closes = new CloseRequest::Counter(*box);
        if (fromWindowManager) {
            QVERIFY(CloseRequest::fromWindowManager(*box));
            // Delivered: the box has either ignored the request or closed.
            QTRY_COMPARE(closes->count, 1);
        } else {
            CloseRequest::fromPlatform(*box);
            QCOMPARE(closes->count, 1);
        }
        QCOMPARE(box->isVisible(), staysOpen);
        checked = true;
        if (box->isVisible())
            box->button(QMessageBox::Yes)->click();
    });
    const auto result = boxes.question(
        QStringLiteral("Would you like to save?"), QStringLiteral("Save Changes?"),
        withCancel ? MessageService::Buttons::YesNoCancel : MessageService::Buttons::YesNo,
        MessageService::Answer::Yes);
    QVERIFY(checked);
    QCOMPARE(result, MessageService::Answer(answer));
}

void tst_MessageBoxes::questionWithDetail_listBehindDetails() {
    MessageBoxes boxes;
    bool checked = false;
    onNextBox([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), ApplicationTitle::current());
        QCOMPARE(box->text(), QStringLiteral("Open a repaired copy?"));
        QCOMPARE(box->detailedText(), QStringLiteral("line 1: one\nline 2: two"));
        QVERIFY(box->informativeText().isEmpty());
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        QVERIFY(!box->button(QMessageBox::Cancel));
        checked = true;
        box->button(QMessageBox::No)->click();
    });
    const auto result = boxes.questionWithDetail(
        QStringLiteral("Open a repaired copy?"), QStringLiteral("line 1: one\nline 2: two"),
        MessageService::Buttons::YesNo, MessageService::Answer::Yes);
    QVERIFY(checked);
    QCOMPARE(result, MessageService::Answer::No);
}

namespace {
// The lines the box's label shows its text in, as its text layout breaks them.
QStringList shownLines(const QLabel &label) {
    QTextDocument document;
    document.setDefaultFont(label.font());
    document.setDocumentMargin(0);
    if (label.textFormat() == Qt::RichText ||
        (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text())))
        document.setHtml(label.text());
    else
        document.setPlainText(label.text());
    document.setTextWidth(label.contentsRect().width());
    document.documentLayout()->documentSize();
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            // Invisible joiners may keep a line whole; the reader sees no trace.
            lines.append(block.text()
                             .mid(line.textStart(), line.textLength())
                             .remove(QChar(0x2060))
                             .trimmed());
        }
    }
    return lines;
}
} // namespace

void tst_MessageBoxes::notice_addressStaysOnOneLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");
    const QString contact = QString::fromUtf8(BuildConfig::ContactUrl);
    QTest::newRow("Help") << QStringLiteral("Questions? Please contact Team Quarrystone at ") +
                                 contact
                          << contact;
    QTest::newRow("long text before a long address")
        << QStringLiteral("The feed could not be read from the address you gave. Please look "
                          "at https://feeds.example.org/shows/the-lantern-orchard/podcast.xml "
                          "and try again.")
        << QStringLiteral("https://feeds.example.org/shows/the-lantern-orchard/podcast.xml");
}

void tst_MessageBoxes::notice_addressStaysOnOneLine() {
    QFETCH(QString, text);
    QFETCH(QString, address);
    MessageBoxes boxes;
    bool checked = false;
    onNextBox([&](QMessageBox *box) {
        QVERIFY(QTest::qWaitForWindowExposed(box));
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        const QStringList lines = shownLines(*label);
        QCOMPARE(lines.join(u' '), text);
        bool whole = false;
        for (const QString &line : lines)
            whole = whole || line.contains(address);
        QVERIFY2(whole, qPrintable(lines.join(u'|')));
        checked = true;
        box->button(QMessageBox::Ok)->click();
    });
    boxes.notice(text);
    QVERIFY(checked);
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
