#include "EditorHarness.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {
QPushButton *button(const EditorHarness &editor, int number) {
    return editor.window->findChild<QPushButton *>(QStringLiteral("PushButton%1").arg(number));
}

Episode episodeNamed(const QString &name) {
    Episode episode;
    for (int column = 0; column < EpisodeColumn::Count; ++column)
        episode[column] = QStringLiteral("%1 %2").arg(name, EpisodeColumn::header(column));
    episode[EpisodeColumn::Url] = QStringLiteral("https://example.org/%1.mp3").arg(name);
    return episode;
}
} // namespace

// One sitting at the editor, as a user has it: everything through the real
// window and the real modal episode dialog, only the boxes and file dialogs
// answered by script.
class tst_EditorSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typeAddEditDeleteSaveNewLoad_roundTrip();

private:
    // Presses a main-window button that opens the episode dialog, and plays
    // the user in the dialog while it runs modally.
    void inEpisodeDialog(QPushButton *opener, const std::function<void(EpisodeDialog &)> &user);
};

void tst_EditorSession::inEpisodeDialog(QPushButton *opener,
                                        const std::function<void(EpisodeDialog &)> &user) {
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<EpisodeDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        seen = true;
        user(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    opener->click();
    QVERIFY(seen);
}

void tst_EditorSession::typeAddEditDeleteSaveNewLoad_roundTrip() {
    EditorHarness editor({}, true);
    MainWindow &window = *editor.window;
    window.show();
    QVERIFY(!editor.document().DocumentChanged());

    QStringList typed;
    for (int index = 0; index < ChannelField::Count; ++index) {
        typed.append(
            QStringLiteral("%1 value, it's #%2").arg(ChannelField::caption(index)).arg(index));
        QTest::keyClicks(window.fieldBox(index), typed.last());
    }
    QVERIFY(editor.document().DocumentChanged());

    const Episode first = episodeNamed(QStringLiteral("first"));
    const Episode second = episodeNamed(QStringLiteral("second"));
    for (const Episode &episode : {first, second}) {
        inEpisodeDialog(button(editor, 1), [&](EpisodeDialog &dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Add New Episode"));
            for (int column = 0; column < EpisodeColumn::Count; ++column)
                QTest::keyClicks(dialog.box(column), episode[column]);
            QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        });
    }
    QCOMPARE(editor.document().episodes(), (QList<Episode>{first, second}));

    Episode edited = first;
    edited[EpisodeColumn::Title] = QStringLiteral("first, retitled");
    edited[EpisodeColumn::Keywords] = QString();
    window.selectEpisode(1);
    inEpisodeDialog(button(editor, 4), [&](EpisodeDialog &dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Episode"));
        QCOMPARE(dialog.field(EpisodeColumn::Guid), first[EpisodeColumn::Guid]);
        dialog.box(EpisodeColumn::Title)->selectAll();
        QTest::keyClicks(dialog.box(EpisodeColumn::Title), edited[EpisodeColumn::Title]);
        dialog.box(EpisodeColumn::Keywords)->clear();
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
    });

    window.selectEpisode(2);
    QTest::keyClick(window.episodeList(), Qt::Key_Delete);
    QCOMPARE(editor.document().episodes(), QList<Episode>{edited});

    const QString path = editor.filePath(QStringLiteral("Podcast.xml"));
    editor.dialogs.paths = {path};
    QTest::mouseClick(button(editor, 3), Qt::LeftButton);
    QCOMPARE(editor.messages.texts(), QStringList{QStringLiteral("Done Saved.")});
    QVERIFY(!editor.document().DocumentChanged());
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray content = saved.readAll();
    QVERIFY(content.startsWith("<?xml"));
    QVERIFY(content.endsWith("</rss>"));

    QTest::mouseClick(button(editor, 5), Qt::LeftButton);
    QCOMPARE(editor.messages.shown.size(), 1); // New asked nothing: all was saved
    QCOMPARE(editor.document().episodeCount(), 0);
    for (int index = 0; index < ChannelField::Count; ++index)
        QVERIFY(window.fieldBox(index)->text().isEmpty());

    editor.dialogs.paths = {path};
    QTest::mouseClick(button(editor, 7), Qt::LeftButton);
    for (int index = 0; index < ChannelField::Count; ++index) {
        QCOMPARE(window.fieldBox(index)->text(), typed.at(index));
        QCOMPARE(editor.document().field(index), typed.at(index));
    }
    QCOMPARE(editor.document().episodes(), QList<Episode>{edited});
    QCOMPARE(window.selectedEpisode(), 0);
    QVERIFY(editor.document().DocumentChanged());
    QCOMPARE(editor.messages.shown.size(), 1);
    QVERIFY(editor.errors.reports.isEmpty());
}

QTEST_MAIN(tst_EditorSession)
#include "tst_editorsession.moc"
