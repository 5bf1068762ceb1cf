#include "model/PodcastDocument.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

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
};

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

QTEST_GUILESS_MAIN(tst_PodcastDocument)
#include "tst_podcastdocument.moc"
