#include "app/AddEpisodesCommand.h"
#include "app/DocumentUndoStack.h"
#include "app/EditEpisodeCommand.h"
#include "app/MoveEpisodesCommand.h"
#include "app/RemoveEpisodeCommand.h"
#include "app/ReplaceDocumentCommand.h"
#include "app/SetFieldCommand.h"
#include "app/SetKeptContentCommand.h"
#include "model/PodcastDocument.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <functional>

namespace {
using Action = std::function<void(PodcastDocument &, DocumentUndoStack &)>;

Episode episodeTitled(const QString &title) {
    Episode episode;
    episode[EpisodeColumn::Title] = title;
    episode[EpisodeColumn::Guid] = QStringLiteral("guid-") + title;
    episode.setExtra("<itunes:season>1</itunes:season>");
    return episode;
}

QString order(const PodcastDocument &document) {
    QString titles;
    for (const Episode &episode : document.episodes())
        titles += episode[EpisodeColumn::Title];
    return titles;
}

// A saved show: title, one kept channel tag, episodes A, B and C.
void openSavedShow(PodcastDocument &document, DocumentUndoStack &stack) {
    document.setField(ChannelField::Title, QStringLiteral("Orchard"));
    document.setField(ChannelField::Author, QStringLiteral("Mairéad"));
    document.setChannelExtra("<itunes:explicit>false</itunes:explicit>");
    document.appendEpisodes({episodeTitled(QStringLiteral("A")), episodeTitled(QStringLiteral("B")),
                             episodeTitled(QStringLiteral("C"))});
    stack.markSaved();
}

void type(DocumentUndoStack &stack, PodcastDocument &document, int field, const QString &text) {
    stack.push(new SetFieldCommand(document, field, text));
}

Action typing(int field, QStringList texts) {
    return [field, texts](PodcastDocument &document, DocumentUndoStack &stack) {
        for (const QString &text : texts)
            type(stack, document, field, text);
    };
}
} // namespace

Q_DECLARE_METATYPE(Action)

class tst_UndoCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void undoAllThenRedoAll_restoresEachState_data();
    void undoAllThenRedoAll_restoresEachState();
    void anyStep_marksChanged_data();
    void anyStep_marksChanged();
    void savedState_decidesFlag_data();
    void savedState_decidesFlag();
    void typing_mergesPerField_data();
    void typing_mergesPerField();
    void loadAlreadyApplied_firstRedoKeepsDocument();
};

void tst_UndoCommands::undoAllThenRedoAll_restoresEachState_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("orderAfter");
    QTest::addColumn<QString>("titleAfter");

    QTest::newRow("typing") << typing(ChannelField::Title, {u"O"_qs, u"Or"_qs, u"Orc"_qs}) << "ABC"
                            << "Orc";
    QTest::newRow("add one") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new AddEpisodesCommand(d, {episodeTitled(u"D"_qs)}));
    }) << "ABCD"
                             << "Orchard";
    QTest::newRow("add several from media") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new AddEpisodesCommand(d, {episodeTitled(u"D"_qs), episodeTitled(u"E"_qs)}));
    }) << "ABCDE"
                                            << "Orchard";
    QTest::newRow("edit") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        Episode edited = d.episode(2);
        edited[EpisodeColumn::Title] = u"X"_qs;
        edited[EpisodeColumn::Summary] = u"new summary"_qs;
        s.push(new EditEpisodeCommand(d, 2, edited));
    }) << "AXC"
                          << "Orchard";
    QTest::newRow("remove middle") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new RemoveEpisodeCommand(d, 2));
    }) << "AC"
                                   << "Orchard";
    QTest::newRow("remove all, Delete key") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        for (int i = 0; i < 3; ++i)
            s.push(new RemoveEpisodeCommand(d, 1));
    }) << ""
                                            << "Orchard";
    QTest::newRow("move up, move down, drag block")
        << Action([](PodcastDocument &d, DocumentUndoStack &s) {
               s.push(new MoveEpisodesCommand(d, 3, 1, 2));
               s.push(new MoveEpisodesCommand(d, 1, 1, 2));
               s.push(new MoveEpisodesCommand(d, 1, 2, 2));
           })
        << "BCA"
        << "Orchard";
    QTest::newRow("New") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new ReplaceDocumentCommand(d, u"New"_qs, d.content(), PodcastContent(),
                                          ReplaceDocumentCommand::Applied::No));
        d.setDocumentChanged(false);
    }) << ""
                         << "";
    QTest::newRow("channel tags") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new SetKeptContentCommand(d, "<itunes:type>serial</itunes:type>"));
    }) << "ABC"
                                  << "Orchard";
    QTest::newRow("episode tags") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new SetKeptContentCommand(d, 3, QByteArray()));
    }) << "ABC"
                                  << "Orchard";
    QTest::newRow("mixed session") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        type(s, d, ChannelField::Title, u"Orchard Tales"_qs);
        s.push(new AddEpisodesCommand(d, {episodeTitled(u"D"_qs)}));
        type(s, d, ChannelField::Title, u"Orchard Tale"_qs);
        s.push(new MoveEpisodesCommand(d, 4, 1, 1));
        s.push(new RemoveEpisodeCommand(d, 2));
        type(s, d, ChannelField::Link, u"https://o.example/"_qs);
    }) << "DBC"
                                   << "Orchard Tale";
}

void tst_UndoCommands::undoAllThenRedoAll_restoresEachState() {
    QFETCH(Action, action);
    QFETCH(QString, orderAfter);
    QFETCH(QString, titleAfter);
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    DocumentUndoStack stack(document);
    openSavedShow(document, stack);
    const PodcastContent saved = document.content();

    action(document, stack);
    QCOMPARE(order(document), orderAfter);
    QCOMPARE(document.field(ChannelField::Title), titleAfter);
    const PodcastContent after = document.content();
    QVERIFY(after != saved);

    // Step by step back: every state on the way is one that was seen.
    QList<PodcastContent> seenBackwards;
    while (stack.canUndo()) {
        stack.undo();
        seenBackwards.append(document.content());
    }
    QCOMPARE(document.content(), saved);
    // New marks its own state as the unchanged one, letting go of the file's.
    QCOMPARE(document.DocumentChanged(), QByteArray(QTest::currentDataTag()) == "New");
    while (stack.canRedo()) {
        stack.redo();
        if (stack.canRedo())
            QCOMPARE(document.content(), seenBackwards[seenBackwards.size() - 1 - stack.index()]);
    }
    QCOMPARE(document.content(), after);
    QCOMPARE(document.DocumentChanged(), QByteArray(QTest::currentDataTag()) != "New");
    while (stack.canUndo())
        stack.undo();
    QCOMPARE(document.content(), saved);
}

void tst_UndoCommands::anyStep_marksChanged_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("changed");
    QTest::newRow("typing a new text") << typing(ChannelField::Link, {u"x"_qs}) << true;
    QTest::newRow("Delete Episode button") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new RemoveEpisodeCommand(d, 1));
    }) << true;
    QTest::newRow("Delete key") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new RemoveEpisodeCommand(d, 1));
    }) << true;
    QTest::newRow("edit saved without changes")
        << Action([](PodcastDocument &d, DocumentUndoStack &s) {
               s.push(new EditEpisodeCommand(d, 1, d.episode(1)));
           })
        << true;
    QTest::newRow("add") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new AddEpisodesCommand(d, {episodeTitled(u"D"_qs)}));
    }) << true;
    QTest::newRow("move") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new MoveEpisodesCommand(d, 1, 1, 3));
    }) << true;
    QTest::newRow("load with the same fields")
        << Action([](PodcastDocument &d, DocumentUndoStack &s) {
               const PodcastContent before = d.content();
               d.appendEpisodes({episodeTitled(u"L"_qs)});
               s.push(new ReplaceDocumentCommand(d, u"Load Podcast.xml"_qs, before, d.content(),
                                                 ReplaceDocumentCommand::Applied::Yes));
           })
        << true;
    QTest::newRow("episode tags changed") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        s.push(new SetKeptContentCommand(d, 2, "<itunes:episode>2</itunes:episode>"));
    }) << true;
}

void tst_UndoCommands::anyStep_marksChanged() {
    QFETCH(Action, action);
    QFETCH(bool, changed);
    PodcastDocument document;
    DocumentUndoStack stack(document);
    openSavedShow(document, stack);
    action(document, stack);
    QCOMPARE(document.DocumentChanged(), changed);
    QCOMPARE(stack.count(), 1);
}

// Steps: t = type into the title, a = add an episode, s = save, u = undo,
// r = redo, k = remove with the Delete key.
void tst_UndoCommands::savedState_decidesFlag_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("changed");
    QTest::newRow("undo back to saved") << "tu" << false;
    QTest::newRow("redo away from saved") << "tur" << true;
    QTest::newRow("undo past the save") << "tsu" << true;
    QTest::newRow("redo back to the save") << "tsur" << false;
    QTest::newRow("two steps, back to saved") << "taau" << true;
    QTest::newRow("two steps, all undone") << "tauu" << false;
    QTest::newRow("saved state dropped by a new branch") << "tsuauu" << true;
    QTest::newRow("Delete key, undone") << "ku" << false;
    QTest::newRow("Delete key, redone") << "kur" << true;
    QTest::newRow("save in the middle, back to it") << "tastu" << false;
    QTest::newRow("save in the middle, past it") << "tastuu" << true;
}

void tst_UndoCommands::savedState_decidesFlag() {
    QFETCH(QString, steps);
    QFETCH(bool, changed);
    PodcastDocument document;
    DocumentUndoStack stack(document);
    openSavedShow(document, stack);
    int typed = 0;
    for (const QChar step : steps) {
        switch (step.unicode()) {
        case u't':
            // A box loses its merge at each save; a different box each time
            // keeps the steps apart.
            ++typed;
            type(stack, document, typed % 2 ? ChannelField::Title : ChannelField::Link,
                 QStringLiteral("text %1").arg(typed));
            break;
        case u'a':
            stack.push(new AddEpisodesCommand(document, {episodeTitled(u"N"_qs)}));
            break;
        case u'k':
            stack.push(new RemoveEpisodeCommand(document, 1));
            break;
        case u's':
            stack.markSaved();
            break;
        case u'u':
            stack.undo();
            break;
        case u'r':
            stack.redo();
            break;
        }
    }
    QCOMPARE(document.DocumentChanged(), changed);
}

void tst_UndoCommands::typing_mergesPerField_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("titleAfterOneUndo");
    QTest::newRow("one box") << typing(ChannelField::Title, {u"Orchard T"_qs, u"Orchard Ta"_qs})
                             << 1 << "Orchard";
    QTest::newRow("two boxes") << Action([](PodcastDocument &d, DocumentUndoStack &s) {
        type(s, d, ChannelField::Title, u"Orchard T"_qs);
        type(s, d, ChannelField::Link, u"h"_qs);
        type(s, d, ChannelField::Title, u"Orchard Tx"_qs);
    }) << 3 << "Orchard T";
    QTest::newRow("typed back to the start")
        << typing(ChannelField::Title, {u"Orchar"_qs, u"Orchard"_qs}) << 0 << "Orchard";
    QTest::newRow("same text, no step")
        << typing(ChannelField::Title, {u"Orchard"_qs}) << 0 << "Orchard";
    QTest::newRow("not merged across a save")
        << Action([](PodcastDocument &d, DocumentUndoStack &s) {
               type(s, d, ChannelField::Title, u"Orchard T"_qs);
               s.markSaved();
               type(s, d, ChannelField::Title, u"Orchard Ta"_qs);
           })
        << 2 << "Orchard T";
}

void tst_UndoCommands::typing_mergesPerField() {
    QFETCH(Action, action);
    QFETCH(int, steps);
    QFETCH(QString, titleAfterOneUndo);
    PodcastDocument document;
    DocumentUndoStack stack(document);
    openSavedShow(document, stack);
    action(document, stack);
    QCOMPARE(stack.count(), steps);
    stack.undo();
    QCOMPARE(document.field(ChannelField::Title), titleAfterOneUndo);
}

void tst_UndoCommands::loadAlreadyApplied_firstRedoKeepsDocument() {
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    DocumentUndoStack stack(document);
    openSavedShow(document, stack);
    const PodcastContent before = document.content();
    document.setField(ChannelField::Title, u"Loaded"_qs);
    document.appendEpisodes({episodeTitled(u"L"_qs)});
    const PodcastContent loaded = document.content();
    int resets = 0;
    connect(&document, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
    // As the load flows do: the edits made outside the history become its step.
    stack.setClean();
    stack.push(new ReplaceDocumentCommand(document, u"Load Podcast.xml"_qs, before, loaded,
                                          ReplaceDocumentCommand::Applied::Yes));
    QCOMPARE(resets, 0); // the view keeps its selection and scroll position
    QCOMPARE(document.content(), loaded);
    QCOMPARE(stack.undoText(), QStringLiteral("Load Podcast.xml"));
    stack.undo();
    QCOMPARE(document.content(), before);
    QVERIFY(!document.DocumentChanged());
    stack.redo();
    QCOMPARE(document.content(), loaded);
    QVERIFY(document.DocumentChanged());
}

QTEST_MAIN(tst_UndoCommands)
#include "tst_undocommands.moc"
