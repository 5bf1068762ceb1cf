#include "dialogs/EpisodeBoxHelp.h"
#include "dialogs/EpisodeDialog.h"
#include "dialogs/LineNumberedEdit.h"
#include "dialogs/MoreTagsDialog.h"
#include "feed/FeedText.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <memory>

namespace E = EpisodeColumn;

class tst_EpisodeBoxHelp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void moreTagsOnShow_opensAtTheTag();

    void contextMenu_offersWhatFitsTheBox_data();
    void contextMenu_offersWhatFitsTheBox();
    void tooltips_stateTheFormDirectoriesExpect_data();
    void tooltips_stateTheFormDirectoriesExpect();
    void now_fillsPubDateAndBoxUndoTakesItBack();
    void newGuid_isFreshUrnUuid();
    void fromMediaFile_fillsFourBoxesKeepingUrlFolder_data();
    void fromMediaFile_fillsFourBoxesKeepingUrlFolder();
    void fromMediaFile_unreadableOrCancelled_data();
    void fromMediaFile_unreadableOrCancelled();
    void moreTags_ctrlTAndMenus_leadToTheDialog();
    void moreTags_confirmedGoesWithSave_data();
    void moreTags_confirmedGoesWithSave();
    void moreTags_cancelledOrDialogCancelled_keepsExtra();

private:
    std::unique_ptr<EpisodeDialog> makeDialog(const QString &caption, qsizetype selected = 0);
    static QString media(const QString &name);

    std::unique_ptr<PodcastDocument> m_document;
    ScriptedMessageService m_messages;
    ScriptedFileDialogs m_files;
    RecordingErrorReporter m_errors;
    QTemporaryDir m_folder;
};

QString tst_EpisodeBoxHelp::media(const QString &name) {
    return qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") + u"/tests/feed/data/media/"_qs + name;
}

void tst_EpisodeBoxHelp::init() {
    m_document = std::make_unique<PodcastDocument>();
    Episode first;
    first[E::Title] = u"One"_qs;
    first[E::Url] = u"https://cdn.example.org/show/audio/001.mp3?x=1"_qs;
    first.setExtra("<itunes:episode>1</itunes:episode>");
    m_document->appendEpisodes({first});
    m_messages = ScriptedMessageService();
    m_files = ScriptedFileDialogs();
    m_errors.reports.clear();
}

std::unique_ptr<EpisodeDialog> tst_EpisodeBoxHelp::makeDialog(const QString &caption,
                                                              qsizetype selected) {
    auto dialog = std::make_unique<EpisodeDialog>(*m_document, selected, m_messages, m_errors,
                                                  m_folder.path());
    dialog->setWindowTitle(caption);
    dialog->setFileDialogs(m_files);
    dialog->help()->setClock(
        [] { return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC); });
    return dialog;
}

void tst_EpisodeBoxHelp::contextMenu_offersWhatFitsTheBox_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("own");

    QTest::newRow("Title") << int(E::Title) << QString();
    QTest::newRow("Pub. Date") << int(E::PubDate) << EpisodeBoxHelp::nowText();
    QTest::newRow("GUID") << int(E::Guid) << EpisodeBoxHelp::newGuidText();
    QTest::newRow("URL") << int(E::Url) << EpisodeBoxHelp::fromMediaText();
    QTest::newRow("Type") << int(E::Type) << EpisodeBoxHelp::fromMediaText();
    QTest::newRow("Length") << int(E::Length) << EpisodeBoxHelp::fromMediaText();
    QTest::newRow("Duration") << int(E::Duration) << EpisodeBoxHelp::fromMediaText();
    QTest::newRow("Explicit") << int(E::Explicit) << QString();
}

// The box's own entry first, the line edit's usual ones kept, More Tags last.
void tst_EpisodeBoxHelp::contextMenu_offersWhatFitsTheBox() {
    QFETCH(int, column);
    QFETCH(QString, own);
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    std::unique_ptr<QMenu> menu(dialog->help()->contextMenu(column));
    const QList<QAction *> actions = menu->actions();
    QStringList texts;
    for (QAction *action : actions) {
        if (!action->isSeparator())
            texts.append(action->text());
    }
    const QStringList ownTexts{EpisodeBoxHelp::nowText(), EpisodeBoxHelp::newGuidText(),
                               EpisodeBoxHelp::fromMediaText()};
    if (own.isEmpty()) {
        for (const QString &text : ownTexts)
            QVERIFY(!texts.contains(text));
    } else {
        QCOMPARE(texts.first(), own);
        QCOMPARE(texts.filter(u"…"_qs).size(), own.endsWith(u"…"_qs) ? 2 : 1);
    }
    QVERIFY(texts.size() > 5); // Undo, Cut, Copy, Paste … stay
    QCOMPARE(actions.last(), dialog->moreTagsAction());
}

void tst_EpisodeBoxHelp::tooltips_stateTheFormDirectoriesExpect_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("says");
    QTest::newRow("Length") << int(E::Length) << u"bytes"_qs;
    QTest::newRow("Duration seconds") << int(E::Duration) << u"Seconds"_qs;
    QTest::newRow("Duration clock") << int(E::Duration) << u"HH:MM:SS"_qs;
    QTest::newRow("Pub. Date") << int(E::PubDate) << u"RFC 2822 date with English names"_qs;
    QTest::newRow("Explicit") << int(E::Explicit) << u"true or false"_qs;
    QTest::newRow("Type") << int(E::Type) << u"audio/mpeg"_qs;
}

void tst_EpisodeBoxHelp::tooltips_stateTheFormDirectoriesExpect() {
    QFETCH(int, column);
    QFETCH(QString, says);
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    QVERIFY2(dialog->box(column)->toolTip().contains(says),
             qPrintable(dialog->box(column)->toolTip()));
    QVERIFY(dialog->box(column)->toolTip().contains(u"More Tags… (Ctrl+T)"_qs));
}

void tst_EpisodeBoxHelp::now_fillsPubDateAndBoxUndoTakesItBack() {
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    dialog->box(E::PubDate)->setText(u"typed"_qs);
    dialog->help()->fillNow();
    QCOMPARE(dialog->field(E::PubDate), u"Sat, 14 Mar 2026 09:26:53 +0000"_qs);
    dialog->box(E::PubDate)->undo();
    QCOMPARE(dialog->field(E::PubDate), u"typed"_qs);
}

void tst_EpisodeBoxHelp::newGuid_isFreshUrnUuid() {
    auto dialog = makeDialog(EpisodeDialog::addCaption());
    dialog->help()->fillNewGuid();
    const QString first = dialog->field(E::Guid);
    QVERIFY(first.startsWith(u"urn:uuid:"_qs));
    QVERIFY(!QUuid::fromString(first.mid(9)).isNull());
    dialog->help()->fillNewGuid();
    QVERIFY(dialog->field(E::Guid) != first);
    // Such a GUID is no address: the item says so, once however often.
    QCOMPARE(dialog->extra(), QByteArray("<guid isPermaLink=\"false\" />"));
}

void tst_EpisodeBoxHelp::fromMediaFile_fillsFourBoxesKeepingUrlFolder_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("typedUrl");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("duration");

    QTest::newRow("typed folder kept")
        << u"tone.wav"_qs << u"https://media.example.net/ep/old.mp3"_qs
        << u"https://media.example.net/ep/tone.wav"_qs << u"audio/x-wav"_qs << u"12844"_qs
        << u"00:00:03"_qs;
    QTest::newRow("empty box: the last episode's folder")
        << u"Episode 7 & more.mp3"_qs << QString()
        << u"https://cdn.example.org/show/audio/Episode%207%20%26%20more.mp3"_qs << u"audio/mpeg"_qs
        << u"3384"_qs << u"*"_qs;
}

void tst_EpisodeBoxHelp::fromMediaFile_fillsFourBoxesKeepingUrlFolder() {
    QFETCH(QString, file);
    QFETCH(QString, typedUrl);
    QFETCH(QString, url);
    QFETCH(QString, type);
    QFETCH(QString, length);
    QFETCH(QString, duration);

    auto dialog = makeDialog(EpisodeDialog::addCaption());
    dialog->box(E::Url)->setText(typedUrl);
    dialog->box(E::Title)->setText(u"Kept title"_qs);
    m_files.paths = {media(file)};
    std::unique_ptr<QMenu> menu(dialog->help()->contextMenu(E::Length));
    menu->actions().first()->trigger();

    QCOMPARE(m_files.opened.size(), 1);
    QCOMPARE(dialog->field(E::Url), url);
    QCOMPARE(dialog->field(E::Type), type);
    QCOMPARE(dialog->field(E::Length), length);
    if (duration != u"*"_qs)
        QCOMPARE(dialog->field(E::Duration), duration);
    else
        QVERIFY(!dialog->field(E::Duration).isEmpty());
    // Only the four enclosure boxes change.
    QCOMPARE(dialog->field(E::Title), u"Kept title"_qs);
    QVERIFY(dialog->field(E::Guid).isEmpty());
    QVERIFY(m_messages.shown.isEmpty());
}

void tst_EpisodeBoxHelp::fromMediaFile_unreadableOrCancelled_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("filled");

    QTest::newRow("cancelled") << QString() << QString() << false;
    QTest::newRow("missing") << media(u"nowhere.mp3"_qs) << u"\"nowhere.mp3\" could not be read."_qs
                             << false;
    QTest::newRow("not media") << media(u"make-media"_qs)
                               << u"\"make-media\" is not an audio or video file."_qs << false;
    QTest::newRow("corrupt: no duration")
        << media(u"corrupt.mp3"_qs)
        << u"The duration of \"corrupt.mp3\" could not be read; Duration is empty."_qs << true;
}

void tst_EpisodeBoxHelp::fromMediaFile_unreadableOrCancelled() {
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(bool, filled);

    auto dialog = makeDialog(EpisodeDialog::addCaption());
    for (int column : {E::Url, E::Type, E::Length, E::Duration})
        dialog->box(column)->setText(u"typed"_qs);
    m_files.paths = {path};
    dialog->help()->fillFromMediaFile();
    QCOMPARE(m_messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!filled) {
        for (int column : {E::Url, E::Type, E::Length, E::Duration})
            QCOMPARE(dialog->field(column), u"typed"_qs);
        return;
    }
    QCOMPARE(dialog->field(E::Length), QString::number(QFileInfo(path).size()));
    QVERIFY(dialog->field(E::Duration).isEmpty());
}

void tst_EpisodeBoxHelp::moreTags_ctrlTAndMenus_leadToTheDialog() {
    auto dialog = makeDialog(EpisodeDialog::editCaption(), 1);
    int opened = 0;
    QString shownText;
    QString caption;
    dialog->setMoreTagsRunner([&](MoreTagsDialog &tags) {
        ++opened;
        shownText = tags.text();
        caption = tags.windowTitle();
        return int(QDialog::Rejected);
    });
    dialog->show();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    for (int column : {E::Title, E::Url, E::Explicit}) {
        dialog->box(column)->setFocus();
        QTest::keyClick(dialog->box(column), Qt::Key_T, Qt::ControlModifier);
    }
    QCOMPARE(opened, 3);
    QCOMPARE(shownText, u"<itunes:episode>1</itunes:episode>"_qs);
    QCOMPARE(caption, u"More Tags: Episode"_qs);
    QVERIFY(dialog->actions().contains(dialog->moreTagsAction()));
    QCOMPARE(dialog->contextMenuPolicy(), Qt::ActionsContextMenu);
}

void tst_EpisodeBoxHelp::moreTags_confirmedGoesWithSave_data() {
    QTest::addColumn<bool>("add");
    QTest::newRow("edit") << false;
    QTest::newRow("add") << true;
}

// Confirmed tags wait for Save; the prefixes they need are declared so the
// feed still saves.
void tst_EpisodeBoxHelp::moreTags_confirmedGoesWithSave() {
    QFETCH(bool, add);
    auto dialog = makeDialog(add ? EpisodeDialog::addCaption() : EpisodeDialog::editCaption(), 1);
    if (add)
        dialog->setField(E::Title, u"Two"_qs);
    else
        dialog->setField(E::Title, u"One"_qs);
    dialog->setMoreTagsRunner([&](MoreTagsDialog &tags) {
        tags.setText(
            tags.text() +
            u"\n<podcast:transcript url=\"https://a.example/t.vtt\" type=\"text/vtt\"/>"_qs);
        tags.accept();
        return tags.result();
    });
    dialog->moreTagsAction()->trigger();
    const QByteArray expected =
        QByteArray(add ? "" : "<itunes:episode>1</itunes:episode>\n") +
        "<podcast:transcript url=\"https://a.example/t.vtt\" type=\"text/vtt\"/>";
    QCOMPARE(dialog->extra(), expected);
    QVERIFY(m_document->namespaces().isEmpty()); // nothing before Save

    dialog->saveButton()->click();
    const qsizetype number = add ? 2 : 1;
    const auto &saved = dialog->saved();
    QVERIFY(saved);
    QCOMPARE(saved->number, number);
    QCOMPARE(saved->episode.extra(), expected);
    QCOMPARE(saved->namespaces,
             PodcastDocument::Namespaces(
                 {{u"podcast"_qs, u"https://podcastindex.org/namespace/1.0"_qs}}));
    // Recorded as the window records it.
    if (saved->added)
        m_document->appendEpisodes({saved->episode});
    else
        m_document->setEpisode(number, saved->episode);
    m_document->setNamespaces(saved->namespaces);
    m_document->setField(0, u"Show"_qs);
    const QByteArray feed = FeedText::buildUtf8(*m_document, u"Sat, 14 Mar 2026 09:26:53 +0000"_qs);
    QVERIFY2(XmlDocument::checkWellFormed(feed).isEmpty(), feed.constData());
}

void tst_EpisodeBoxHelp::moreTags_cancelledOrDialogCancelled_keepsExtra() {
    auto dialog = makeDialog(EpisodeDialog::editCaption(), 1);
    dialog->setMoreTagsRunner([](MoreTagsDialog &tags) {
        tags.setText(u"<itunes:season>2</itunes:season>"_qs);
        tags.accept();
        return tags.result();
    });
    dialog->moreTagsAction()->trigger();
    dialog->cancelButton()->click();
    QCOMPARE(m_document->episode(1).extra(), QByteArray("<itunes:episode>1</itunes:episode>"));
    QVERIFY(!m_document->DocumentChanged());
}

// A finding about an episode's tag opens its More Tags with the cursor there.
void tst_EpisodeBoxHelp::moreTagsOnShow_opensAtTheTag() {
    auto dialog = makeDialog(EpisodeDialog::editCaption(), 1);
    QString lineAtCursor;
    int opened = 0;
    dialog->setMoreTagsRunner([&](MoreTagsDialog &tags) {
        ++opened;
        lineAtCursor = tags.editor()->textCursor().block().text();
        return int(QDialog::Rejected);
    });
    dialog->openMoreTagsOnShow(u"itunes:episode"_qs);
    dialog->show();
    QTRY_COMPARE(opened, 1);
    QVERIFY2(lineAtCursor.contains(u"<itunes:episode>"_qs), qPrintable(lineAtCursor));
    // Once: showing the dialog again does not open it again.
    dialog->hide();
    dialog->show();
    QTest::qWait(20);
    QCOMPARE(opened, 1);
}

QTEST_MAIN(tst_EpisodeBoxHelp)
#include "tst_episodeboxhelp.moc"
