#include "EditorHarness.h"

#include "app/DocumentUndoStack.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>

namespace {
QString media(const QString &name) {
    return qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") +
           QStringLiteral("/tests/feed/data/media/") + name;
}

const char Feed[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd">
<channel><title>Dropped Show</title>
<item><title>Gamma</title><enclosure url="https://cdn.example.org/ep/gamma.mp3" length="1" type="audio/mpeg"/></item>
</channel></rss>
)";

// What the desktop hands over when files are dropped on the list.
bool drop(EditorHarness &editor, const QStringList &paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(path.contains(u"://") ? QUrl(path) : QUrl::fromLocalFile(path));
    data.setUrls(urls);
    QWidget *viewport = editor.window->episodeList()->viewport();
    const QPointF at(viewport->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropEvent(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                         Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &dropEvent);
    return dropEvent.isAccepted();
}

QString writeFile(EditorHarness &editor, const QString &name, const QByteArray &bytes) {
    const QString path = editor.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}
} // namespace

class tst_MediaDrops : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dropMedia_becomesEpisodesAtTheEnd_data();
    void dropMedia_becomesEpisodesAtTheEnd();
    void dropMedia_oneUndoRemovesAll();
    void dropFeed_loadsAsLoadPodcastDoes();
    void dropOther_refusedAndChangesNothing_data();
    void dropOther_refusedAndChangesNothing();
    void dropMixed_addsMediaNamesTheRest();
    void menuEntry_addsChosenFiles_data();
    void menuEntry_addsChosenFiles();
};

void tst_MediaDrops::dropMedia_becomesEpisodesAtTheEnd_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("one MP3") << QStringList{media(u"tagged.mp3"_qs)}
                             << QStringList{u"Frost Grafting"_qs} << QStringList{u"audio/mpeg"_qs}
                             << QStringList();
    QTest::newRow("non-Latin tags")
        << QStringList{media(u"japanese.mp3"_qs), media(u"greek.ogg"_qs), media(u"arabic.flac"_qs)}
        << QStringList{u"果樹園の霜"_qs, u"Ο κήπος με τις μηλιές"_qs, u"بستان التفاح"_qs}
        << QStringList{u"audio/mpeg"_qs, u"audio/ogg"_qs, u"audio/flac"_qs} << QStringList();
    QTest::newRow("AAC, WAV and a video")
        << QStringList{media(u"aac.m4a"_qs), media(u"tone.wav"_qs), media(u"video.mp4"_qs)}
        << QStringList{u"Cider Pressing"_qs, u"tone"_qs, u"Orchard Walk"_qs}
        << QStringList{u"audio/x-m4a"_qs, u"audio/x-wav"_qs, u"video/mp4"_qs} << QStringList();
    QTest::newRow("unreadable by TagLib")
        << QStringList{media(u"corrupt.mp3"_qs)} << QStringList{u"corrupt"_qs}
        << QStringList{u"audio/mpeg"_qs}
        << QStringList{u"The duration of these files could not be read, so their episodes have "
                       "an empty Duration:\n"_qs +
                       QDir::toNativeSeparators(media(u"corrupt.mp3"_qs))};
}

void tst_MediaDrops::dropMedia_becomesEpisodesAtTheEnd() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, types);
    QFETCH(QStringList, messages);
    EditorHarness editor;
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.window.get()));
    editor.addEpisodes({u"Older"_qs});
    editor.document().setEpisodeColumn(1, EpisodeColumn::Url,
                                       u"https://cdn.example.org/ep/older.mp3"_qs);
    QVERIFY(drop(editor, files));

    QCOMPARE(editor.titles(), QStringList{u"Older"_qs} + titles);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Episode &episode = editor.document().episode(i + 2);
        QCOMPARE(episode[EpisodeColumn::Type], types[i]);
        QCOMPARE(episode[EpisodeColumn::Length], QString::number(QFileInfo(files[i]).size()));
        QVERIFY(episode[EpisodeColumn::Url].startsWith(u"https://cdn.example.org/ep/"_qs));
        QCOMPARE(episode[EpisodeColumn::Duration].isEmpty(), !messages.isEmpty());
    }
    QCOMPARE(editor.messages.texts(), messages);
    // The new episodes are the selection, the first of them in view.
    const QModelIndexList selected = editor.window->episodeList()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), files.size());
    QCOMPARE(selected.first().row(), 1);
    QCOMPARE(editor.window->selectedEpisode(), 2);
    QVERIFY(editor.document().DocumentChanged());
}

void tst_MediaDrops::dropMedia_oneUndoRemovesAll() {
    EditorHarness editor;
    editor.addEpisodes({u"Older"_qs});
    editor.window->undoStack().markSaved();
    QVERIFY(drop(editor, {media(u"tagged.mp3"_qs), media(u"untagged.mp3"_qs),
                          media(u"Episode 7 & more.mp3"_qs)}));
    QCOMPARE(editor.document().episodeCount(), 4);
    editor.window->undoStack().undo();
    QCOMPARE(editor.titles(), QStringList{u"Older"_qs});
    QVERIFY(!editor.document().DocumentChanged());
    editor.window->undoStack().redo();
    // Held as the file will carry it, like every text the editor holds.
    QCOMPARE(editor.titles(), (QStringList{u"Older"_qs, u"Frost Grafting"_qs, u"untagged"_qs,
                                           u"Episode 7 &amp; more"_qs}));
}

void tst_MediaDrops::dropFeed_loadsAsLoadPodcastDoes() {
    EditorHarness editor;
    editor.addEpisodes({u"Older"_qs});
    const QString path = writeFile(editor, u"dropped.xml"_qs, Feed);
    QVERIFY(drop(editor, {path}));
    QCOMPARE(editor.document().field(ChannelField::Title), u"Dropped Show"_qs);
    QCOMPARE(editor.window->fieldBox(ChannelField::Title)->text(), u"Dropped Show"_qs);
    QCOMPARE(editor.titles(), (QStringList{u"Older"_qs, u"Gamma"_qs}));
    QVERIFY(editor.errors.reports.isEmpty());
    // One step, as the load from its button.
    editor.window->undoStack().undo();
    QCOMPARE(editor.titles(), QStringList{u"Older"_qs});
    QCOMPARE(editor.document().field(ChannelField::Title), QString());
}

void tst_MediaDrops::dropOther_refusedAndChangesNothing_data() {
    QTest::addColumn<QString>("name"); // empty: a web address
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text file") << u"notes.txt"_qs << QByteArray("Show notes, not a feed.\n");
    QTest::newRow("image") << u"cover.png"_qs << QByteArray("\x89PNG\r\n\x1a\n", 8);
    // The content decides, not the name.
    QTest::newRow("text named .mp3") << u"notes.mp3"_qs << QByteArray("Show notes.\n");
    QTest::newRow("empty .mp3") << u"empty.mp3"_qs << QByteArray();
    QTest::newRow("web address") << QString() << QByteArray();
}

void tst_MediaDrops::dropOther_refusedAndChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    EditorHarness editor;
    editor.addEpisodes({u"Older"_qs});
    editor.window->undoStack().markSaved();
    const PodcastContent before = editor.document().content();
    const QString path =
        name.isEmpty() ? u"https://cdn.example.org/ep/new.mp3"_qs : writeFile(editor, name, bytes);
    drop(editor, {path});
    QCOMPARE(editor.document().content(), before);
    QVERIFY(!editor.document().DocumentChanged());
    QCOMPARE(editor.window->undoStack().count(), 0);
    const QString shown = name.isEmpty() ? path : QDir::toNativeSeparators(path);
    QCOMPARE(editor.messages.texts(),
             QStringList{u"Only audio or video files, or one feed file, can be dropped here. "
                         "Nothing was added from:\n"_qs +
                         shown});
}

void tst_MediaDrops::dropMixed_addsMediaNamesTheRest() {
    EditorHarness editor;
    const QString text = writeFile(editor, u"notes.txt"_qs, "notes");
    QVERIFY(drop(editor, {media(u"tagged.mp3"_qs), text}));
    QCOMPARE(editor.titles(), QStringList{u"Frost Grafting"_qs});
    // No earlier episode gives the new one's address: the user is told.
    QCOMPARE(editor.messages.texts(),
             (QStringList{u"These episodes have an empty URL, as there is no earlier enclosure "
                          "address to follow; fill it in before publishing:\n"_qs +
                              QDir::toNativeSeparators(media(u"tagged.mp3"_qs)),
                          u"These files are not audio or video and were not added:\n"_qs +
                              QDir::toNativeSeparators(text)}));
}

void tst_MediaDrops::menuEntry_addsChosenFiles_data() {
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("cancelled") << QStringList() << QStringList{u"Older"_qs};
    QTest::newRow("two files") << QStringList{media(u"tagged.mp3"_qs), media(u"greek.ogg"_qs)}
                               << QStringList{u"Older"_qs, u"Frost Grafting"_qs,
                                              u"Ο κήπος με τις μηλιές"_qs};
}

void tst_MediaDrops::menuEntry_addsChosenFiles() {
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, titles);
    EditorHarness editor;
    editor.addEpisodes({u"Older"_qs});
    editor.document().setEpisodeColumn(1, EpisodeColumn::Url,
                                       u"https://cdn.example.org/ep/older.mp3"_qs);
    editor.dialogs.fileLists = {chosen};
    editor.window->findChild<QAction *>(u"AddMediaAction"_qs)->trigger();
    QCOMPARE(editor.dialogs.opened.size(), 1);
    QCOMPARE(editor.dialogs.opened.first().settings.title, u"Add Episodes from Media Files"_qs);
    QCOMPARE(editor.titles(), titles);
    // The date is the window's clock, in the build date's form.
    if (!chosen.isEmpty())
        QCOMPARE(editor.document().episode(2)[EpisodeColumn::PubDate],
                 u"Tue, 05 Mar 2024 09:30:00 +0000"_qs);
    QVERIFY(editor.messages.shown.isEmpty());
}

QTEST_MAIN(tst_MediaDrops)
#include "tst_mediadrops.moc"
