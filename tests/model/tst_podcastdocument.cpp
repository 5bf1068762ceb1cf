#include "model/PodcastDocument.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <memory>

class tst_PodcastDocument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newDocument_isEmptyAndUnchanged();
    void setField_marksChangedOnlyForDifferentText_data();
    void setField_marksChangedOnlyForDifferentText();
    void appendEpisode_otherColumnsEmpty();
    void removeFirst_laterEpisodesMoveUp();
    void clear_flagDependsOnFieldsHavingText_data();
    void clear_flagDependsOnFieldsHavingText();
    void appendEpisodes_isOneBatchAndLeavesFlag();
    void valuesHeldExactly();
    void badNumbers_throwInsteadOfCorrupting_data();
    void badNumbers_throwInsteadOfCorrupting();
    void model_passesItemModelTester();
    void manyEpisodes_countBeyondSixteenBits();
    void insertEpisodes_putsRecordsBack_data();
    void insertEpisodes_putsRecordsBack();
    void removeEpisodes_takesBlock();
    void moveEpisodes_reordersBlock_data();
    void moveEpisodes_reordersBlock();
    void moveEpisodes_badRanges_throw_data();
    void moveEpisodes_badRanges_throw();
    void replaceContent_oneResetAndFieldRule_data();
    void replaceContent_oneResetAndFieldRule();
    void dragWithinList_movesRows_data();
    void dragWithinList_movesRows();
    void dragWithinList_handlerDecides();
    void drop_refusesForeignOrBrokenRows();
};

namespace {
// Episodes titled by one letter each, so an order reads as a word.
void fill(PodcastDocument &document, const QString &titles) {
    for (const QChar title : titles)
        document.appendEpisode(QString(title));
}

QString order(const PodcastDocument &document) {
    QString titles;
    for (const Episode &episode : document.episodes())
        titles += episode[EpisodeColumn::Title];
    return titles;
}

QList<Episode> episodesTitled(const QString &titles) {
    QList<Episode> episodes;
    for (const QChar title : titles) {
        Episode episode;
        episode[EpisodeColumn::Title] = QString(title);
        episode[EpisodeColumn::Guid] = QStringLiteral("guid-") + title;
        episode.setExtra("<itunes:episode>1</itunes:episode>");
        episodes.append(episode);
    }
    return episodes;
}
} // namespace

void tst_PodcastDocument::newDocument_isEmptyAndUnchanged() {
    PodcastDocument document;
    for (int i = 0; i < ChannelField::Count; ++i)
        QVERIFY(document.field(i).isEmpty());
    QCOMPARE(document.episodeCount(), 0);
    QVERIFY(!document.DocumentChanged());
    QCOMPARE(document.columnCount(), 13);
    QCOMPARE(document.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Title"));
    QCOMPARE(document.headerData(8, Qt::Horizontal).toString(), QStringLiteral("Pub. Date"));
    QCOMPARE(document.headerData(12, Qt::Horizontal).toString(), QStringLiteral("Category"));
}

void tst_PodcastDocument::setField_marksChangedOnlyForDifferentText_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("changed");
    QTest::newRow("empty to text") << QString() << QStringLiteral("Show") << true;
    QTest::newRow("same text") << QStringLiteral("Show") << QStringLiteral("Show") << false;
    QTest::newRow("case differs") << QStringLiteral("Show") << QStringLiteral("show") << true;
    QTest::newRow("trailing blank") << QStringLiteral("Show") << QStringLiteral("Show ") << true;
    QTest::newRow("null to empty") << QString() << QStringLiteral("") << false;
}

void tst_PodcastDocument::setField_marksChangedOnlyForDifferentText() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, changed);
    PodcastDocument document;
    document.setField(ChannelField::Link, before);
    document.setDocumentChanged(false);
    QSignalSpy fieldSpy(&document, &PodcastDocument::fieldChanged);
    document.setField(ChannelField::Link, after);
    QCOMPARE(document.DocumentChanged(), changed);
    QCOMPARE(fieldSpy.size(), changed ? 1 : 0);
    QCOMPARE(document.field(ChannelField::Link), after);
}

void tst_PodcastDocument::appendEpisode_otherColumnsEmpty() {
    PodcastDocument document;
    document.appendEpisode(QStringLiteral("One"));
    const qsizetype number = document.appendEpisode(QStringLiteral("Two"));
    QCOMPARE(number, 2);
    QCOMPARE(document.episode(2)[EpisodeColumn::Title], QStringLiteral("Two"));
    for (int column = 1; column < EpisodeColumn::Count; ++column)
        QVERIFY(document.episode(2)[column].isEmpty());
    QVERIFY(!document.DocumentChanged());
}

void tst_PodcastDocument::removeFirst_laterEpisodesMoveUp() {
    PodcastDocument document;
    for (const char *title : {"A", "B", "C"})
        document.appendEpisode(QString::fromLatin1(title));
    document.setEpisodeColumn(2, EpisodeColumn::Guid, QStringLiteral("guid-b"));
    document.removeEpisode(1);
    QCOMPARE(document.episodeCount(), 2);
    QCOMPARE(document.episode(1)[EpisodeColumn::Title], QStringLiteral("B"));
    QCOMPARE(document.episode(1)[EpisodeColumn::Guid], QStringLiteral("guid-b"));
    QCOMPARE(document.episode(2)[EpisodeColumn::Title], QStringLiteral("C"));
}

void tst_PodcastDocument::clear_flagDependsOnFieldsHavingText_data() {
    QTest::addColumn<bool>("withText");
    QTest::newRow("fields hold text") << true;
    QTest::newRow("fields already empty") << false;
}

void tst_PodcastDocument::clear_flagDependsOnFieldsHavingText() {
    QFETCH(bool, withText);
    PodcastDocument document;
    if (withText)
        document.setField(ChannelField::OwnerEmail, QStringLiteral("a@b.c"));
    document.appendEpisode(QStringLiteral("A"));
    document.setDocumentChanged(false);
    QSignalSpy reset(&document, &QAbstractItemModel::modelReset);
    document.clear();
    QCOMPARE(document.episodeCount(), 0);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(document.DocumentChanged(), withText);
}

void tst_PodcastDocument::appendEpisodes_isOneBatchAndLeavesFlag() {
    PodcastDocument document;
    document.appendEpisode(QStringLiteral("existing"));
    QList<Episode> batch(1000);
    for (int i = 0; i < batch.size(); ++i)
        batch[i][EpisodeColumn::Title] = QString::number(i);
    QSignalSpy inserted(&document, &QAbstractItemModel::rowsInserted);
    document.appendEpisodes(batch);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 1);
    QCOMPARE(inserted.first().at(2).toInt(), 1000);
    QCOMPARE(document.episodeCount(), 1001);
    QCOMPARE(document.episode(1)[0], QStringLiteral("existing"));
    QCOMPARE(document.episode(1001)[0], QStringLiteral("999"));
    QVERIFY(!document.DocumentChanged());
}

void tst_PodcastDocument::valuesHeldExactly() {
    PodcastDocument document;
    const QString odd = QStringLiteral("  Tom & Jerry <live> \"quoted\" \u00e9\u4e2d  ");
    document.setField(ChannelField::Title, odd);
    document.appendEpisode(odd);
    document.setEpisodeColumn(1, EpisodeColumn::Summary, odd);
    QCOMPARE(document.field(ChannelField::Title), odd);
    QCOMPARE(document.episode(1)[EpisodeColumn::Title], odd);
    QCOMPARE(document.data(document.index(0, EpisodeColumn::Summary)).toString(), odd);
}

void tst_PodcastDocument::badNumbers_throwInsteadOfCorrupting_data() {
    QTest::addColumn<int>("number");
    QTest::newRow("zero") << 0;
    QTest::newRow("past the end") << 3;
    QTest::newRow("negative") << -1;
}

void tst_PodcastDocument::badNumbers_throwInsteadOfCorrupting() {
    QFETCH(int, number);
    PodcastDocument document;
    document.appendEpisode(QStringLiteral("A"));
    document.appendEpisode(QStringLiteral("B"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, document.removeEpisode(number));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, document.episode(number));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, document.setEpisodeColumn(number, 1, {}));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, document.field(12));
    QCOMPARE(document.episodeCount(), 2);
}

void tst_PodcastDocument::model_passesItemModelTester() {
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    document.appendEpisode(QStringLiteral("A"));
    document.appendEpisodes(QList<Episode>(5));
    document.setEpisodeColumn(2, EpisodeColumn::Url, QStringLiteral("u"));
    Episode replacement;
    replacement[0] = QStringLiteral("R");
    document.setEpisode(3, replacement);
    document.removeEpisode(1);
    document.removeEpisode(document.episodeCount());
    document.clear();
    document.appendEpisode(QStringLiteral("again"));
}

void tst_PodcastDocument::manyEpisodes_countBeyondSixteenBits() {
    PodcastDocument document;
    document.appendEpisodes(QList<Episode>(40000));
    document.appendEpisode(QStringLiteral("last"));
    QCOMPARE(document.episodeCount(), 40001);
    QCOMPARE(document.rowCount(), 40001);
    QCOMPARE(document.episode(40001)[0], QStringLiteral("last"));
    document.removeEpisode(32768);
    QCOMPARE(document.episodeCount(), 40000);
}

void tst_PodcastDocument::insertEpisodes_putsRecordsBack_data() {
    QTest::addColumn<qsizetype>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("front") << qsizetype(1) << "xyABC";
    QTest::newRow("middle") << qsizetype(2) << "AxyBC";
    QTest::newRow("append") << qsizetype(4) << "ABCxy";
}

void tst_PodcastDocument::insertEpisodes_putsRecordsBack() {
    QFETCH(qsizetype, number);
    QFETCH(QString, expected);
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(document, QStringLiteral("ABC"));
    QSignalSpy inserted(&document, &QAbstractItemModel::rowsInserted);
    document.insertEpisodes(number, episodesTitled(QStringLiteral("xy")));
    QCOMPARE(order(document), expected);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), number - 1);
    QCOMPARE(inserted.first().at(2).toInt(), number);
    // Kept content comes back with its record.
    QCOMPARE(document.episode(number).extra(), QByteArray("<itunes:episode>1</itunes:episode>"));
    QCOMPARE(document.episode(number)[EpisodeColumn::Guid], QStringLiteral("guid-x"));
    QVERIFY(!document.DocumentChanged());
    QVERIFY_THROWS_EXCEPTION(std::out_of_range,
                             document.insertEpisodes(7, episodesTitled(QStringLiteral("z"))));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range,
                             document.insertEpisodes(0, episodesTitled(QStringLiteral("z"))));
}

void tst_PodcastDocument::removeEpisodes_takesBlock() {
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(document, QStringLiteral("ABCDE"));
    document.removeEpisodes(2, 3);
    QCOMPARE(order(document), QStringLiteral("AE"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, document.removeEpisodes(2, 2));
    QCOMPARE(order(document), QStringLiteral("AE"));
    QVERIFY(!document.DocumentChanged());
}

void tst_PodcastDocument::moveEpisodes_reordersBlock_data() {
    QTest::addColumn<qsizetype>("first");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one up (Move Up)") << qsizetype(3) << qsizetype(1) << qsizetype(2) << "ACBDE";
    QTest::newRow("one down (Move Down)")
        << qsizetype(3) << qsizetype(1) << qsizetype(4) << "ABDCE";
    QTest::newRow("first to last") << qsizetype(1) << qsizetype(1) << qsizetype(5) << "BCDEA";
    QTest::newRow("last to first") << qsizetype(5) << qsizetype(1) << qsizetype(1) << "EABCD";
    QTest::newRow("block up") << qsizetype(3) << qsizetype(3) << qsizetype(1) << "CDEAB";
    QTest::newRow("block down") << qsizetype(1) << qsizetype(2) << qsizetype(3) << "CDABE";
    QTest::newRow("no move") << qsizetype(2) << qsizetype(2) << qsizetype(2) << "ABCDE";
}

void tst_PodcastDocument::moveEpisodes_reordersBlock() {
    QFETCH(qsizetype, first);
    QFETCH(qsizetype, count);
    QFETCH(qsizetype, to);
    QFETCH(QString, expected);
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(document, QStringLiteral("ABCDE"));
    QSignalSpy moved(&document, &QAbstractItemModel::rowsMoved);
    QSignalSpy reset(&document, &QAbstractItemModel::modelReset);
    QCOMPARE(document.moveEpisodes(first, count, to), first != to);
    QCOMPARE(order(document), expected);
    QCOMPARE(moved.size(), first != to ? 1 : 0);
    QCOMPARE(reset.size(), 0);
    QVERIFY(!document.DocumentChanged());
    // The reverse move restores the order: what undo relies on.
    document.moveEpisodes(to, count, first);
    QCOMPARE(order(document), QStringLiteral("ABCDE"));
}

void tst_PodcastDocument::moveEpisodes_badRanges_throw_data() {
    QTest::addColumn<qsizetype>("first");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<qsizetype>("to");
    QTest::newRow("first zero") << qsizetype(0) << qsizetype(1) << qsizetype(2);
    QTest::newRow("block past end") << qsizetype(2) << qsizetype(3) << qsizetype(1);
    QTest::newRow("target past end") << qsizetype(1) << qsizetype(2) << qsizetype(3);
    QTest::newRow("target zero") << qsizetype(2) << qsizetype(1) << qsizetype(0);
}

void tst_PodcastDocument::moveEpisodes_badRanges_throw() {
    QFETCH(qsizetype, first);
    QFETCH(qsizetype, count);
    QFETCH(qsizetype, to);
    PodcastDocument document;
    fill(document, QStringLiteral("ABC"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, document.moveEpisodes(first, count, to));
    QCOMPARE(order(document), QStringLiteral("ABC"));
}

void tst_PodcastDocument::replaceContent_oneResetAndFieldRule_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("channelExtra");
    QTest::addColumn<bool>("changed");
    QTest::newRow("same fields, other episodes") << "Show" << QByteArray() << false;
    QTest::newRow("field differs") << "Other show" << QByteArray() << true;
    QTest::newRow("kept channel content differs") << "Show" << QByteArray("<x:y/>") << true;
}

void tst_PodcastDocument::replaceContent_oneResetAndFieldRule() {
    QFETCH(QString, title);
    QFETCH(QByteArray, channelExtra);
    QFETCH(bool, changed);
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    document.setField(ChannelField::Title, QStringLiteral("Show"));
    fill(document, QStringLiteral("ABC"));
    document.setDocumentChanged(false);

    PodcastContent content;
    content.fields[ChannelField::Title] = title;
    content.episodes = episodesTitled(QStringLiteral("xy"));
    content.channelExtra = channelExtra;
    content.hiddenItems = "<item><guid>h</guid></item>";
    content.prolog = "<!-- made by hand -->";
    content.namespaces = {{QStringLiteral("podcast"), QStringLiteral("urn:p")}};
    QSignalSpy reset(&document, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&document, &QAbstractItemModel::rowsInserted);
    document.replaceContent(content);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(inserted.size(), 0);
    QCOMPARE(document.content(), content);
    QCOMPARE(document.DocumentChanged(), changed);
}

void tst_PodcastDocument::dragWithinList_movesRows_data() {
    QTest::addColumn<QList<int>>("dragged");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("onRow");
    QTest::addColumn<QString>("expected");
    QTest::newRow("down between rows") << QList<int>{1} << 4 << -1 << "ACDBE";
    QTest::newRow("up between rows") << QList<int>{3} << 0 << -1 << "DABCE";
    QTest::newRow("below the last row") << QList<int>{0} << -1 << -1 << "BCDEA";
    QTest::newRow("onto a row goes before it") << QList<int>{4} << -1 << 1 << "AEBCD";
    QTest::newRow("block") << QList<int>{2, 1} << 5 << -1 << "ADEBC";
    QTest::newRow("into its own span") << QList<int>{1, 2} << 2 << -1 << "ABCDE";
}

void tst_PodcastDocument::dragWithinList_movesRows() {
    QFETCH(QList<int>, dragged);
    QFETCH(int, row);
    QFETCH(int, onRow);
    QFETCH(QString, expected);
    PodcastDocument document;
    QAbstractItemModelTester tester(&document,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(document, QStringLiteral("ABCDE"));
    QModelIndexList indexes;
    for (const int r : dragged) {
        for (int c = 0; c < EpisodeColumn::Count; ++c)
            indexes.append(document.index(r, c));
    }
    for (const QModelIndex &index : indexes)
        QVERIFY(document.flags(index).testFlag(Qt::ItemIsDragEnabled));
    QVERIFY(document.flags(QModelIndex()).testFlag(Qt::ItemIsDropEnabled));
    QVERIFY(!document.flags(document.index(0, 0)).testFlag(Qt::ItemIsDropEnabled));
    const std::unique_ptr<QMimeData> data(document.mimeData(indexes));
    QVERIFY(data);
    QVERIFY(document.mimeTypes().contains(PodcastDocument::rowsMimeType()));
    const QModelIndex parent = onRow >= 0 ? document.index(onRow, 3) : QModelIndex();
    QVERIFY(document.canDropMimeData(data.get(), Qt::MoveAction, row, 0, parent));
    QVERIFY(!document.canDropMimeData(data.get(), Qt::CopyAction, row, 0, parent));
    // False: the rows are already where they belong, so the view must not
    // remove the dragged ones afterwards.
    QVERIFY(!document.dropMimeData(data.get(), Qt::MoveAction, row, 0, parent));
    QCOMPARE(order(document), expected);
    QVERIFY(!document.DocumentChanged());
}

void tst_PodcastDocument::dragWithinList_handlerDecides() {
    PodcastDocument document;
    fill(document, QStringLiteral("ABCDE"));
    QList<QList<qsizetype>> requests;
    document.setMoveHandler([&](qsizetype first, qsizetype count, qsizetype to) {
        requests.append({first, count, to});
        return true;
    });
    const std::unique_ptr<QMimeData> data(
        document.mimeData({document.index(3, 0), document.index(4, 0)}));
    document.dropMimeData(data.get(), Qt::MoveAction, 1, 0, QModelIndex());
    QCOMPARE(requests, (QList<QList<qsizetype>>{{4, 2, 2}}));
    QCOMPARE(order(document), QStringLiteral("ABCDE"));
}

void tst_PodcastDocument::drop_refusesForeignOrBrokenRows() {
    PodcastDocument document;
    PodcastDocument other;
    fill(document, QStringLiteral("ABCDE"));
    fill(other, QStringLiteral("ABCDE"));
    const std::unique_ptr<QMimeData> foreign(other.mimeData({other.index(0, 0)}));
    const std::unique_ptr<QMimeData> gaps(
        document.mimeData({document.index(0, 0), document.index(2, 0)}));
    QMimeData garbage;
    garbage.setData(PodcastDocument::rowsMimeType(), "\x01\x02");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.mp3"))});
    for (const QMimeData *data :
         {static_cast<const QMimeData *>(foreign.get()), static_cast<const QMimeData *>(gaps.get()),
          static_cast<const QMimeData *>(&garbage), static_cast<const QMimeData *>(&files)}) {
        QVERIFY(!document.canDropMimeData(data, Qt::MoveAction, 4, 0, QModelIndex()));
        QVERIFY(!document.dropMimeData(data, Qt::MoveAction, 4, 0, QModelIndex()));
    }
    QCOMPARE(order(document), QStringLiteral("ABCDE"));
    // Rows that are gone since the drag began are refused too.
    const std::unique_ptr<QMimeData> late(document.mimeData({document.index(4, 0)}));
    document.removeEpisode(5);
    QVERIFY(!document.canDropMimeData(late.get(), Qt::MoveAction, 0, 0, QModelIndex()));
}

QTEST_GUILESS_MAIN(tst_PodcastDocument)
#include "tst_podcastdocument.moc"
