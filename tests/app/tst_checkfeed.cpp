#include "EditorHarness.h"

#include "app/DocumentUndoStack.h"
#include "dialogs/FeedFindingsModel.h"
#include "dialogs/LineNumberedEdit.h"
#include "feed/FeedCheck.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTreeView>

class tst_CheckFeed : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void f7_checksDocumentAsItStands_data();
    void f7_checksDocumentAsItStands();
    void activatingFinding_goesToItsBox_data();
    void activatingFinding_goesToItsBox();
    void closingWithoutChoice_changesNothing();
    void fix_isOneUndoStepAndTheListFollows_data();
    void fix_isOneUndoStepAndTheListFollows();
    void activatingChannelTag_opensMoreTagsAtTheTag();
    void summary_countsErrorsAndWarnings_data();
    void summary_countsErrorsAndWarnings();
    void findingsModel_passesModelTester();
};

namespace {
void fillGoodChannel(PodcastDocument &document) {
    const QStringList good{u"Night Owls"_qs,
                           u"https://example.org/"_qs,
                           u"en"_qs,
                           u"2024"_qs,
                           u"Owls."_qs,
                           u"Owls"_qs,
                           u"Ann"_qs,
                           u"About owls."_qs,
                           u"Leisure"_qs,
                           u"Ann"_qs,
                           u"ann@example.org"_qs,
                           u"https://example.org/cover.jpg"_qs};
    for (int i = 0; i < ChannelField::Count; ++i)
        document.setField(i, good[i]);
    document.setChannelExtra("<itunes:explicit>false</itunes:explicit>");
}

Episode goodEpisode(const QString &n) {
    Episode episode;
    const QStringList columns{u"Episode "_qs + n,
                              u"Ann"_qs,
                              u"Sub"_qs,
                              u"Sum"_qs,
                              u"https://example.org/"_qs + n + u".mp3"_qs,
                              u"audio/mpeg"_qs,
                              u"1234"_qs,
                              u"https://example.org/e/"_qs + n,
                              u"Mon, 05 Feb 2024 06:00:00 +0000"_qs,
                              u"1:00"_qs,
                              u"k"_qs,
                              u"false"_qs,
                              u"Leisure"_qs};
    for (int c = 0; c < EpisodeColumn::Count; ++c)
        episode[c] = columns[c];
    return episode;
}

void showActive(EditorHarness &editor) {
    editor.window->show();
    QApplication::setActiveWindow(editor.window.get());
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
}

int rowOf(const FeedCheckDialog &dialog, const QString &rule) {
    const QList<FeedFinding> &findings = dialog.model()->findings();
    for (int row = 0; row < findings.size(); ++row) {
        if (findings[row].rule == rule)
            return row;
    }
    return -1;
}
} // namespace

void tst_CheckFeed::f7_checksDocumentAsItStands_data() {
    QTest::addColumn<bool>("fromList");
    QTest::newRow("from a field") << false;
    QTest::newRow("from the list") << true;
}

void tst_CheckFeed::f7_checksDocumentAsItStands() {
    QFETCH(bool, fromList);
    EditorHarness editor;
    showActive(editor);
    fillGoodChannel(editor.document());
    editor.document().appendEpisodes({goodEpisode(u"1"_qs)});
    QCOMPARE(editor.window->checkFeedAction()->text(), u"Check Feed"_qs);

    // Typed, never saved: the check sees it.
    QLineEdit *language = editor.window->fieldBox(ChannelField::Language);
    language->setFocus();
    language->selectAll();
    QTest::keyClicks(language, u"English"_qs);
    QList<FeedFinding> shown;
    editor.onFeedCheckDialog = [&](FeedCheckDialog &dialog) {
        shown = dialog.model()->findings();
        QCOMPARE(dialog.windowTitle(), u"Check Feed"_qs);
    };
    QWidget *from = fromList ? static_cast<QWidget *>(editor.window->episodeList()) : language;
    from->setFocus();
    QTest::keyClick(from, Qt::Key_F7);
    QCOMPARE(editor.checksShown, 1);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].rule, u"channel-language-code"_qs);
    QCOMPARE(shown, FeedCheck::check(editor.document()));
    // Typing F7 into a box leaves its text alone.
    QCOMPARE(language->text(), u"English"_qs);
}

void tst_CheckFeed::activatingFinding_goesToItsBox_data() {
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("episode");
    QTest::addColumn<int>("column");
    QTest::newRow("channel field")
        << u"channel-owner-email"_qs << int(ChannelField::OwnerEmail) << 0 << -1;
    QTest::newRow("episode column")
        << u"duration-format"_qs << -1 << 2 << int(EpisodeColumn::Duration);
    QTest::newRow("episode kept tag")
        << u"episode-season"_qs << -1 << 2 << int(EpisodeColumn::Title);
    QTest::newRow("channel kept tag") << u"channel-type"_qs << -1 << 0 << -1;
}

void tst_CheckFeed::activatingFinding_goesToItsBox() {
    QFETCH(QString, rule);
    QFETCH(int, field);
    QFETCH(int, episode);
    QFETCH(int, column);
    EditorHarness editor;
    showActive(editor);
    fillGoodChannel(editor.document());
    editor.document().setField(ChannelField::OwnerEmail, u"ann at example"_qs);
    editor.document().setChannelExtra("<itunes:explicit>false</itunes:explicit>"
                                      "<itunes:type>daily</itunes:type>");
    Episode second = goodEpisode(u"2"_qs);
    second[EpisodeColumn::Duration] = u"one minute"_qs;
    second.setExtra("<itunes:season>zero</itunes:season>");
    editor.document().appendEpisodes({goodEpisode(u"1"_qs), second, goodEpisode(u"3"_qs)});

    editor.onFeedCheckDialog = [&](FeedCheckDialog &dialog) {
        const int row = rowOf(dialog, rule);
        QVERIFY(row >= 0);
        Q_EMIT dialog.view()->activated(dialog.model()->index(row, FeedFindingsModel::Problem));
        QVERIFY(!dialog.isVisible());
    };
    // The dialog is gone once it closes: keep the name, not the widget.
    QString focusInDialog;
    QString caption;
    qsizetype selected = 0;
    editor.onEpisodeDialog = [&](EpisodeDialog &dialog) {
        if (QWidget *focus = dialog.focusWidget())
            focusInDialog = focus->objectName();
        caption = dialog.windowTitle();
        selected = editor.window->selectedEpisode();
        QCOMPARE(dialog.field(EpisodeColumn::Title), u"Episode 2"_qs);
    };
    editor.window->checkFeedAction()->trigger();
    QCOMPARE(editor.checksShown, 1);

    if (field >= 0) {
        QCOMPARE(editor.window->focusWidget(), editor.window->fieldBox(field));
        QCOMPARE(editor.dialogsShown, 0);
    } else if (episode > 0) {
        QCOMPARE(editor.dialogsShown, 1);
        QCOMPARE(caption, EpisodeDialog::editCaption());
        QCOMPARE(selected, episode);
        QCOMPARE(focusInDialog, QStringLiteral("Text1(%1)").arg(column));
    } else {
        QCOMPARE(editor.dialogsShown, 0);
    }
    QVERIFY(editor.errors.reports.isEmpty());
}

void tst_CheckFeed::closingWithoutChoice_changesNothing() {
    EditorHarness editor;
    fillGoodChannel(editor.document());
    editor.document().appendEpisodes({goodEpisode(u"1"_qs)});
    editor.document().setDocumentChanged(false);
    editor.window->checkFeedAction()->trigger();
    QCOMPARE(editor.checksShown, 1);
    QCOMPARE(editor.dialogsShown, 0);
    QVERIFY(!editor.document().DocumentChanged());
    QVERIFY(editor.messages.shown.isEmpty());
}

void tst_CheckFeed::fix_isOneUndoStepAndTheListFollows_data() {
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("fixed"); // the Explicit column of the three episodes
    QTest::newRow("Fix") << false << QStringList{u"false"_qs, u"yes"_qs, u"no"_qs};
    QTest::newRow("Fix All Like This") << true << QStringList{u"false"_qs, u"true"_qs, u"false"_qs};
}

void tst_CheckFeed::fix_isOneUndoStepAndTheListFollows() {
    QFETCH(bool, all);
    QFETCH(QStringList, fixed);
    EditorHarness editor;
    fillGoodChannel(editor.document());
    const QStringList before{u"no"_qs, u"yes"_qs, u"no"_qs};
    QList<Episode> episodes;
    for (int n = 0; n < 3; ++n) {
        episodes.append(goodEpisode(QString::number(n + 1)));
        episodes.last()[EpisodeColumn::Explicit] = before[n];
    }
    editor.document().appendEpisodes(episodes);
    // The first finding, an error, has no safe fix.
    editor.document().setField(ChannelField::Language, u"English"_qs);
    const int steps = editor.window->undoStack().count();
    QList<FeedFinding> after;
    editor.onFeedCheckDialog = [&](FeedCheckDialog &dialog) {
        // A finding without a fix leaves the buttons off.
        QVERIFY(!dialog.fixButton()->isEnabled());
        const int row = rowOf(dialog, u"explicit-legacy"_qs);
        QVERIFY(row >= 0);
        dialog.view()->setCurrentIndex(dialog.model()->index(row, 0));
        QVERIFY(dialog.fixButton()->isEnabled());
        QVERIFY(dialog.fixAllButton()->isEnabled());
        (all ? dialog.fixAllButton() : dialog.fixButton())->click();
        // The dialog stays, showing the feed as it now is.
        QVERIFY(dialog.isVisible());
        after = dialog.model()->findings();
    };
    editor.window->checkFeedAction()->trigger();
    QCOMPARE(after, FeedCheck::check(editor.document()));
    for (int n = 0; n < 3; ++n)
        QCOMPARE(editor.document().episode(n + 1)[EpisodeColumn::Explicit], fixed[n]);
    QCOMPARE(editor.window->undoStack().count(), steps + 1);
    QVERIFY(editor.document().DocumentChanged());
    editor.window->undoStack().undo();
    for (int n = 0; n < 3; ++n)
        QCOMPARE(editor.document().episode(n + 1)[EpisodeColumn::Explicit], before[n]);
}

void tst_CheckFeed::activatingChannelTag_opensMoreTagsAtTheTag() {
    EditorHarness editor;
    showActive(editor);
    fillGoodChannel(editor.document());
    editor.document().setChannelExtra("<itunes:type>episodic</itunes:type>\n"
                                      "<podcast:locked>yes</podcast:locked>\n"
                                      "<itunes:explicit>no</itunes:explicit>");
    editor.document().appendEpisodes({goodEpisode(u"1"_qs)});
    editor.onFeedCheckDialog = [&](FeedCheckDialog &dialog) {
        const int row = rowOf(dialog, u"channel-explicit-value"_qs);
        QVERIFY(row >= 0);
        Q_EMIT dialog.view()->activated(dialog.model()->index(row, FeedFindingsModel::Problem));
    };
    int line = -1;
    editor.onMoreTagsDialog = [&](MoreTagsDialog &dialog) {
        line = dialog.editor()->textCursor().blockNumber();
    };
    editor.window->checkFeedAction()->trigger();
    QCOMPARE(editor.moreTagsShown, 1);
    QCOMPARE(line, 2);
}

void tst_CheckFeed::summary_countsErrorsAndWarnings_data() {
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<int>("more"); // left out after the last error shown
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << 0 << 0
                          << u"No problems found: the directories should take this feed."_qs;
    QTest::newRow("one warning")
        << 0 << 1 << 0 << u"1 warning: the directories take this feed, but look at them."_qs;
    QTest::newRow("errors and warnings")
        << 2 << 1 << 0
        << u"2 errors and 1 warning: the directories refuse this feed until the errors are "
           "fixed."_qs;
    QTest::newRow("one error")
        << 1 << 0 << 0
        << u"1 error: the directories refuse this feed until the errors are fixed."_qs;
    QTest::newRow("errors left out are counted")
        << 2 << 1 << 150
        << u"152 errors and 1 warning: the directories refuse this feed until the errors are "
           "fixed."_qs;
}

void tst_CheckFeed::summary_countsErrorsAndWarnings() {
    QFETCH(int, errors);
    QFETCH(int, warnings);
    QFETCH(int, more);
    QFETCH(QString, text);
    QList<FeedFinding> findings;
    for (int i = 0; i < errors; ++i)
        findings.append({FeedFinding::Severity::Error,
                         u"e"_qs,
                         {},
                         u"m"_qs,
                         u"s"_qs,
                         i + 1 == errors ? more : 0});
    for (int i = 0; i < warnings; ++i)
        findings.append({FeedFinding::Severity::Warning, u"w"_qs, {}, u"m"_qs, u"s"_qs});
    FeedCheckDialog dialog(findings);
    QCOMPARE(dialog.summary()->text(), text);
    QCOMPARE(dialog.model()->rowCount(), errors + warnings);
    if (more > 0)
        QCOMPARE(dialog.model()->index(errors - 1, FeedFindingsModel::Problem).data().toString(),
                 u"m (and 150 more like this)"_qs);
}

void tst_CheckFeed::findingsModel_passesModelTester() {
    PodcastDocument document;
    document.appendEpisodes({goodEpisode(u"1"_qs)});
    const QList<FeedFinding> findings = FeedCheck::check(document);
    QVERIFY(findings.size() > 5);
    FeedFindingsModel model(findings);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), findings.size());
    QCOMPARE(model.columnCount(), int(FeedFindingsModel::ColumnCount));
    const QModelIndex first = model.index(0, FeedFindingsModel::Where);
    QCOMPARE(first.data().toString(), findings[0].place.text());
    QCOMPARE(model.index(0, FeedFindingsModel::Severity).data().toString(), u"Error"_qs);
    QCOMPARE(model.index(0, FeedFindingsModel::Rule).data().toString(), findings[0].rule);
    QCOMPARE(model.headerData(FeedFindingsModel::Problem, Qt::Horizontal).toString(),
             u"Problem"_qs);
}

QTEST_MAIN(tst_CheckFeed)
#include "tst_checkfeed.moc"
