#include "dialogs/EpisodeDialog.h"
#include "feed/Locations.h"
#include "look/FormLook.h"
#include "look/HandCursor.h"
#include "model/PodcastDocument.h"

#include "support/CursorFiles.h"
#include "support/RecordingErrorReporter.h"
#include "support/ScriptedMessageService.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
Episode makeEpisode(const QString &prefix) {
    Episode episode;
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        episode[column] = prefix + QString::number(column);
    return episode;
}
} // namespace

class tst_EpisodeDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void opening_controlsLayoutAndFocus();
    void save_addMode_appendsLastRow();
    void save_titleKeepsItsBlanks();
    void save_blankTitle_refused_data();
    void save_blankTitle_refused();
    void save_editMode_rewritesSelectedRowInPlace();
    void save_captionOtherThanAdd_isEditMode();
    void save_editWithoutSelection_reportedAndCloses();
    void cancel_changesNothing_data();
    void cancel_changesNothing();
    void exec_typingAndSaving_returnsAccepted();
    void handCursor_presentOrBroken_data();
    void handCursor_presentOrBroken();

private:
    std::unique_ptr<EpisodeDialog> makeDialog(const QString &caption, qsizetype selected = 0);
    void typeInto(EpisodeDialog &dialog, int column, const QString &text);

    std::unique_ptr<PodcastDocument> m_document;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    ScriptedMessageService m_messages;
    RecordingErrorReporter m_errors;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void tst_EpisodeDialog::init() {
    m_document = std::make_unique<PodcastDocument>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_document.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_document->appendEpisodes(
        {makeEpisode(QStringLiteral("a")), makeEpisode(QStringLiteral("b"))});
    m_messages = ScriptedMessageService();
    m_errors.reports.clear();
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void tst_EpisodeDialog::cleanup() {
    m_tester.reset();
    m_document.reset();
}

std::unique_ptr<EpisodeDialog> tst_EpisodeDialog::makeDialog(const QString &caption,
                                                             qsizetype selected) {
    auto dialog = std::make_unique<EpisodeDialog>(*m_document, selected, m_messages, m_errors,
                                                  m_folder->path());
    dialog->setWindowTitle(caption);
    return dialog;
}

void tst_EpisodeDialog::typeInto(EpisodeDialog &dialog, int column, const QString &text) {
    dialog.box(column)->clear();
    QTest::keyClicks(dialog.box(column), text);
}

void tst_EpisodeDialog::opening_controlsLayoutAndFocus() {
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    QCOMPARE(dialog->objectName(), QStringLiteral("Form2"));
    QCOMPARE(dialog->size(), QSize(520, 269));
    QVERIFY(dialog->isModal());
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);

    const QStringList captions{
        QStringLiteral("Title:"),    QStringLiteral("Author:"),   QStringLiteral("Subtitle:"),
        QStringLiteral("Summary:"),  QStringLiteral("URL:"),      QStringLiteral("Type:"),
        QStringLiteral("Length:"),   QStringLiteral("GUID:"),     QStringLiteral("Pub. Date:"),
        QStringLiteral("Duration:"), QStringLiteral("Keywords:"), QStringLiteral("Explicit:"),
        QStringLiteral("Category:")};
    QStringList order;
    for (int column = 0; column < EpisodeColumn::Count; ++column) {
        auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("Text1(%1)").arg(column));
        QVERIFY(box);
        QVERIFY(box->text().isEmpty());
        auto *label = dialog->findChild<QLabel *>(QStringLiteral("Label1(%1)").arg(column));
        QVERIFY(label);
        QCOMPARE(label->text(), captions.at(column));
        QCOMPARE(label->buddy(), box);
        // Caption level with its box.
        QCOMPARE(label->geometry().center().y(), box->geometry().center().y());
    }
    QCOMPARE(dialog->box(4)->geometry(), QRect(80, 72, 432, 25));
    QCOMPARE(dialog->saveButton()->objectName(), QStringLiteral("PushButton1"));
    QCOMPARE(dialog->saveButton()->text(), QStringLiteral("Save"));
    QCOMPARE(dialog->saveButton()->geometry(), QRect(9, 234, 248, 27));
    QCOMPARE(dialog->cancelButton()->objectName(), QStringLiteral("PushButton2"));
    QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("Cancel"));

    QWidget *widget = dialog->box(0);
    for (int step = 0; step < 15; ++step) {
        order.append(widget->objectName());
        widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus))
            widget = widget->nextInFocusChain();
    }
    QStringList expected;
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        expected.append(QStringLiteral("Text1(%1)").arg(column));
    expected << QStringLiteral("PushButton1") << QStringLiteral("PushButton2");
    QCOMPARE(order, expected);
    QCOMPARE(dialog->focusWidget(), dialog->box(0));
    QCOMPARE(dialog->palette().color(QPalette::Window), FormLook::themeColour());
    QVERIFY(m_errors.reports.isEmpty());
}

void tst_EpisodeDialog::save_addMode_appendsLastRow() {
    // The selected row plays no part in adding.
    auto dialog = makeDialog(EpisodeDialog::addCaption(), 1);
    dialog->show();
    typeInto(*dialog, EpisodeColumn::Title, QStringLiteral("Pilot & intro"));
    typeInto(*dialog, EpisodeColumn::Url, QStringLiteral("https://example.org/1.mp3"));
    dialog->saveButton()->click();

    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    Episode expected;
    expected[EpisodeColumn::Title] = QStringLiteral("Pilot & intro");
    expected[EpisodeColumn::Url] = QStringLiteral("https://example.org/1.mp3");
    // Handed back as a new last row; the document is the window's to change.
    QVERIFY(dialog->saved());
    QCOMPARE(dialog->saved()->episode, expected);
    QCOMPARE(dialog->saved()->number, 3);
    QVERIFY(dialog->saved()->added);
    QCOMPARE(m_document->episodeCount(), 2);
    QVERIFY(!m_document->DocumentChanged());
    QVERIFY(m_messages.shown.isEmpty());
    QVERIFY(m_errors.reports.isEmpty());
}

void tst_EpisodeDialog::save_titleKeepsItsBlanks() {
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    dialog->show();
    typeInto(*dialog, EpisodeColumn::Title, QStringLiteral("  spaced  "));
    dialog->saveButton()->click();
    QCOMPARE(dialog->saved()->episode[EpisodeColumn::Title], QStringLiteral("  spaced  "));
}

void tst_EpisodeDialog::save_blankTitle_refused_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("refused");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("spaces only") << QStringLiteral("    ") << true;
    // Only spaces are trimmed: a tab is text.
    QTest::newRow("a tab") << QStringLiteral("\t") << false;
}

void tst_EpisodeDialog::save_blankTitle_refused() {
    QFETCH(QString, title);
    QFETCH(bool, refused);
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    dialog->show();
    dialog->setField(EpisodeColumn::Title, title);
    dialog->setField(EpisodeColumn::Author, QStringLiteral("kept"));
    dialog->saveButton()->click();

    if (!refused) {
        QVERIFY(dialog->saved());
        return;
    }
    QVERIFY(!dialog->saved());
    QCOMPARE(m_messages.texts(), QStringList{QStringLiteral("You forgot to input title.")});
    QVERIFY(m_messages.shown.constFirst().caption.isEmpty()); // the application title
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->field(EpisodeColumn::Author), QStringLiteral("kept"));
    QCOMPARE(dialog->focusWidget(), dialog->box(EpisodeColumn::Title));
    QCOMPARE(m_document->episodeCount(), 2);
    QVERIFY(!m_document->DocumentChanged());
}

void tst_EpisodeDialog::save_editMode_rewritesSelectedRowInPlace() {
    auto dialog = makeDialog(EpisodeDialog::editCaption(), 1);
    dialog->show();
    const Episode before = m_document->episode(1);
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        dialog->setField(column, before[column]);
    typeInto(*dialog, EpisodeColumn::Title, QStringLiteral("Renamed"));
    dialog->box(EpisodeColumn::Summary)->clear();
    dialog->saveButton()->click();

    Episode expected = before;
    expected[EpisodeColumn::Title] = QStringLiteral("Renamed");
    expected[EpisodeColumn::Summary] = QString();
    QVERIFY(dialog->saved());
    QCOMPARE(dialog->saved()->episode, expected);
    QCOMPARE(dialog->saved()->number, 1);
    QVERIFY(!dialog->saved()->added);
    QCOMPARE(m_document->episode(1), before);
}

void tst_EpisodeDialog::save_captionOtherThanAdd_isEditMode() {
    auto dialog = makeDialog(QStringLiteral("Add new episode"), 2);
    QVERIFY(!dialog->isAddMode());
    dialog->show();
    dialog->setField(EpisodeColumn::Title, QStringLiteral("Replaces b"));
    dialog->saveButton()->click();
    Episode expected;
    expected[EpisodeColumn::Title] = QStringLiteral("Replaces b");
    QCOMPARE(dialog->saved()->number, 2);
    QCOMPARE(dialog->saved()->episode, expected);
}

void tst_EpisodeDialog::save_editWithoutSelection_reportedAndCloses() {
    auto dialog = makeDialog(EpisodeDialog::editCaption(), 0);
    dialog->show();
    dialog->setField(EpisodeColumn::Title, QStringLiteral("Nowhere to go"));
    dialog->saveButton()->click();

    QCOMPARE(m_errors.reports.size(), 1);
    QCOMPARE(m_errors.reports.constFirst().location, Locations::form2("PushButton1_Click"));
    QCOMPARE(m_errors.reports.constFirst().step, 108);
    QVERIFY(!dialog->saved());
    QCOMPARE(m_document->episode(1), makeEpisode(QStringLiteral("a")));
    QCOMPARE(m_document->episode(2), makeEpisode(QStringLiteral("b")));
    QVERIFY(!dialog->isVisible());
}

void tst_EpisodeDialog::cancel_changesNothing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Cancel button, adding")
        << QStringLiteral("button") << EpisodeDialog::addCaption();
    QTest::newRow("Cancel button, editing")
        << QStringLiteral("button") << EpisodeDialog::editCaption();
    QTest::newRow("Escape") << QStringLiteral("escape") << EpisodeDialog::editCaption();
    QTest::newRow("close box") << QStringLiteral("close") << EpisodeDialog::addCaption();
}

void tst_EpisodeDialog::cancel_changesNothing() {
    QFETCH(QString, how);
    QFETCH(QString, caption);
    auto dialog = makeDialog(caption, 1);
    dialog->show();
    typeInto(*dialog, EpisodeColumn::Title, QStringLiteral("Typed, then dropped"));
    if (how == QStringLiteral("button"))
        dialog->cancelButton()->click();
    else if (how == QStringLiteral("escape"))
        QTest::keyClick(dialog->box(EpisodeColumn::Title), Qt::Key_Escape);
    else
        QVERIFY(dialog->close());

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(m_document->episodeCount(), 2);
    QCOMPARE(m_document->episode(1), makeEpisode(QStringLiteral("a")));
    QVERIFY(!m_document->DocumentChanged());
    QVERIFY(m_errors.reports.isEmpty());
}

void tst_EpisodeDialog::exec_typingAndSaving_returnsAccepted() {
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    bool acted = false;
    QTimer::singleShot(0, this, [&] {
        auto *shown = qobject_cast<EpisodeDialog *>(QApplication::activeModalWidget());
        QVERIFY(shown);
        acted = true;
        QTest::keyClicks(shown->box(EpisodeColumn::Title), QStringLiteral("Typed"));
        // Enter in a box is "Save".
        QTest::keyClick(shown->box(EpisodeColumn::Title), Qt::Key_Return);
    });
    QCOMPARE(dialog->exec(), int(QDialog::Accepted));
    QVERIFY(acted);
    QCOMPARE(dialog->saved()->episode[EpisodeColumn::Title], QStringLiteral("Typed"));
}

void tst_EpisodeDialog::handCursor_presentOrBroken_data() {
    QTest::addColumn<bool>("validFile");
    QTest::newRow("a cursor file") << true;
    QTest::newRow("a broken file") << false;
}

void tst_EpisodeDialog::handCursor_presentOrBroken() {
    QFETCH(bool, validFile);
    const QString path = HandCursor::path(m_folder->path());
    if (validFile)
        QVERIFY(writeCursorFile(path, QPoint(6, 1)));
    else
        QVERIFY(writeFile(path, "garbage"));

    auto dialog = makeDialog(EpisodeDialog::addCaption());
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(dialog->saveButton(), &enter);
    if (validFile) {
        QVERIFY(m_errors.reports.isEmpty());
        QCOMPARE(dialog->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(dialog->cursor().hotSpot(), QPoint(6, 1));
    } else {
        // Reported, and the dialog still opens with the system's hand.
        QCOMPARE(m_errors.reports.size(), 1);
        QCOMPARE(m_errors.reports.constFirst().location, Locations::form2("Form_Load"));
        QCOMPARE(m_errors.reports.constFirst().step, 108);
        QCOMPARE(dialog->cursor().shape(), Qt::PointingHandCursor);
    }
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(dialog->saveButton(), &leave);
    QCOMPARE(dialog->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(tst_EpisodeDialog)
#include "tst_episodedialog.moc"
