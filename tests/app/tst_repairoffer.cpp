#include "EditorHarness.h"

#include "app/DocumentUndoStack.h"
#include "app/FeedFileCommands.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

// The editor's offer of a repaired copy, through each way a file is loaded.
class tst_RepairOffer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedFile_repairedCopyOnYes_data();
    void refusedFile_repairedCopyOnYes();
};

namespace {
const QByteArray Almost = "\r\n<?xml version=\"1.0\"?><rss><channel><title>A & B</title>"
                          "<item><title>One</title><itunes:author>Ann</itunes:author></item>"
                          "</channel></rss>";
} // namespace

void tst_RepairOffer::refusedFile_repairedCopyOnYes_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<MessageService::Answer>("answer");
    QTest::newRow("Load Podcast.xml, Yes") << u"button"_qs << MessageService::Answer::Yes;
    QTest::newRow("Load Podcast.xml, No") << u"button"_qs << MessageService::Answer::No;
    QTest::newRow("named on the command line, Yes") << u"open"_qs << MessageService::Answer::Yes;
}

void tst_RepairOffer::refusedFile_repairedCopyOnYes() {
    QFETCH(QString, how);
    QFETCH(MessageService::Answer, answer);
    EditorHarness editor;
    const QString path = editor.filePath(QStringLiteral("almost.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Almost);
    file.close();
    editor.messages.answers = {answer};
    if (how == u"button") {
        editor.dialogs.paths = {path};
        editor.window->findChild<QPushButton *>(QStringLiteral("PushButton7"))->click();
    } else {
        editor.window->openFeed(path);
    }

    QCOMPARE(editor.messages.texts(),
             (QStringList{u"Fail to load XML."_qs,
                          u"This file is not well-formed XML, but it can be repaired: 3 changes. "
                          "Open a repaired copy?"_qs}));
    const bool yes = answer == MessageService::Answer::Yes;
    QCOMPARE(editor.document().episodeCount(), yes ? 1 : 0);
    QCOMPARE(editor.document().DocumentChanged(), yes);
    QVERIFY(editor.errors.reports.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), Almost);
    if (!yes)
        return;
    QCOMPARE(editor.document().field(ChannelField::Title), u"A &amp; B"_qs);
    if (how != u"button") {
        // Opened into the empty window: a fresh history, the copy still to
        // be saved, to the file it came from unless the user picks another.
        QCOMPARE(editor.window->undoStack().count(), 0);
        QCOMPARE(editor.window->fileCommands().path(), QFileInfo(path).absoluteFilePath());
        return;
    }
    // One step of the history, as any load.
    QCOMPARE(editor.window->undoStack().count(), 1);
    editor.window->undoStack().undo();
    QCOMPARE(editor.document().episodeCount(), 0);
}

QTEST_MAIN(tst_RepairOffer)
#include "tst_repairoffer.moc"
