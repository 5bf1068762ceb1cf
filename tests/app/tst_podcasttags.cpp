#include "EditorHarness.h"

#include "dialogs/LineNumberedEdit.h"
#include "feed/FeedFinding.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

class tst_PodcastTags : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ctrlT_fromEveryBox_opensPodcastTags_data();
    void ctrlT_fromEveryBox_opensPodcastTags();
    void explicitFromInsertMenu_savedIntoTheFile();
    void guidTemplate_declaresPodcastPrefixInTheFile();
    void cancel_orUnchangedText_leavesDocumentUnchanged_data();
    void cancel_orUnchangedText_leavesDocumentUnchanged();
    void podcastFrame_contextMenuOffersMoreTags();

private:
    static void prepare(EditorHarness &editor);
};

void tst_PodcastTags::prepare(EditorHarness &editor) {
    editor.window->fieldBox(0)->setText(u"Show"_qs);
    editor.document().setField(0, u"Show"_qs);
    editor.document().setField(1, u"https://show.example.org/"_qs);
    editor.addEpisodes({u"One"_qs});
    editor.document().setDocumentChanged(false);
}

void tst_PodcastTags::ctrlT_fromEveryBox_opensPodcastTags_data() {
    QTest::addColumn<int>("field");
    for (int field = 0; field < ChannelField::Count; ++field)
        QTest::addRow("field %d", field) << field;
}

void tst_PodcastTags::ctrlT_fromEveryBox_opensPodcastTags() {
    QFETCH(int, field);
    EditorHarness editor;
    editor.document().setChannelExtra("<itunes:type>serial</itunes:type>");
    QString shown;
    editor.onMoreTagsDialog = [&](MoreTagsDialog &dialog) {
        shown = dialog.windowTitle() + u'|' + dialog.text();
    };
    editor.window->show();
    editor.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
    editor.window->fieldBox(field)->setFocus();
    QTest::keyClick(editor.window->fieldBox(field), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(editor.moreTagsShown, 1);
    QCOMPARE(shown, u"More Tags: Podcast|<itunes:type>serial</itunes:type>"_qs);
}

// What a podcaster does for Apple's required channel tag: the Insert menu,
// OK, Save, and the tag is in the file.
void tst_PodcastTags::explicitFromInsertMenu_savedIntoTheFile() {
    EditorHarness editor;
    prepare(editor);
    editor.onMoreTagsDialog = [](MoreTagsDialog &dialog) {
        for (QAction *action : dialog.insertMenu()->actions()) {
            if (action->text() == u"itunes:explicit"_qs)
                action->trigger();
        }
        dialog.buttons()->button(QDialogButtonBox::Ok)->click();
    };
    editor.window->moreTagsAction()->trigger();
    QCOMPARE(editor.document().channelExtra(),
             QByteArray("<itunes:explicit>false</itunes:explicit>"));
    QVERIFY(editor.document().DocumentChanged());

    const QString path = editor.filePath(u"Podcast.xml"_qs);
    editor.dialogs.paths = {path};
    editor.window->findChild<QPushButton *>(u"PushButton3"_qs)->click();
    QCOMPARE(editor.messages.texts(), QStringList{u"Done Saved."_qs});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY(saved.contains(
                "</itunes:image>\r\n          <itunes:explicit>false</itunes:explicit>\r\n") ||
            saved.contains("/>\r\n          <itunes:explicit>false</itunes:explicit>\r\n"));
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_PodcastTags::guidTemplate_declaresPodcastPrefixInTheFile() {
    EditorHarness editor;
    prepare(editor);
    editor.document().setChannelExtra(
        "<atom:link href=\"https://mp3s.nashownotes.com/pc20rss.xml\" rel=\"self\" "
        "type=\"application/rss+xml\"/>");
    editor.document().setNamespaces({{u"atom"_qs, u"http://www.w3.org/2005/Atom"_qs}});
    editor.onMoreTagsDialog = [](MoreTagsDialog &dialog) {
        for (QAction *action : dialog.insertMenu()->actions()) {
            if (action->text() == u"podcast:guid"_qs)
                action->trigger();
        }
        dialog.accept();
    };
    editor.window->moreTagsAction()->trigger();
    QCOMPARE(editor.document().namespaces().size(), 2);
    QCOMPARE(editor.document().namespaces().last().first, u"podcast"_qs);

    const QString path = editor.filePath(u"Podcast.xml"_qs);
    editor.dialogs.paths = {path};
    editor.window->findChild<QPushButton *>(u"PushButton3"_qs)->click();
    QCOMPARE(editor.messages.texts(), QStringList{u"Done Saved."_qs});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY(saved.contains(" xmlns:podcast=\"https://podcastindex.org/namespace/1.0\""));
    QVERIFY(saved.contains("<podcast:guid>917393e3-1b1e-5cef-ace4-edaa54e1f810</podcast:guid>"));
}

void tst_PodcastTags::cancel_orUnchangedText_leavesDocumentUnchanged_data() {
    QTest::addColumn<bool>("confirm");
    QTest::newRow("cancelled after typing") << false;
    QTest::newRow("OK without a change") << true;
}

void tst_PodcastTags::cancel_orUnchangedText_leavesDocumentUnchanged() {
    QFETCH(bool, confirm);
    EditorHarness editor;
    prepare(editor);
    editor.document().setChannelExtra("<itunes:type>serial</itunes:type>");
    editor.document().setDocumentChanged(false);
    editor.onMoreTagsDialog = [&](MoreTagsDialog &dialog) {
        if (confirm) {
            dialog.setText(u"  <itunes:type>serial</itunes:type>\n"_qs);
            dialog.accept();
        } else {
            dialog.setText(u"<itunes:explicit>true</itunes:explicit>"_qs);
        }
    };
    editor.window->moreTagsAction()->trigger();
    QCOMPARE(editor.document().channelExtra(), QByteArray("<itunes:type>serial</itunes:type>"));
    QVERIFY(!editor.document().DocumentChanged());
}

void tst_PodcastTags::podcastFrame_contextMenuOffersMoreTags() {
    EditorHarness editor;
    auto *frame = editor.window->findChild<QGroupBox *>(u"Frame1"_qs);
    QCOMPARE(frame->contextMenuPolicy(), Qt::ActionsContextMenu);
    QVERIFY(frame->actions().contains(editor.window->moreTagsAction()));
    QVERIFY(frame->actions().contains(editor.window->checkFeedAction()));
}

QTEST_MAIN(tst_PodcastTags)
#include "tst_podcasttags.moc"
