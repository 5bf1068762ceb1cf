#include "feed/EpisodeOrder.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Where episodes made from media go, by the dates the list has.
class tst_EpisodeOrder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void list_newestAndPlace_data();
    void list_newestAndPlace();
};

namespace {
QList<Episode> episodes(const QStringList &dates) {
    QList<Episode> list;
    for (const QString &date : dates) {
        Episode episode;
        episode[EpisodeColumn::Title] = date;
        episode[EpisodeColumn::PubDate] = date;
        list.append(episode);
    }
    return list;
}
} // namespace

void tst_EpisodeOrder::list_newestAndPlace_data() {
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<int>("newest");    // index
    QTest::addColumn<int>("number");    // where the new ones start
    QTest::addColumn<bool>("reversed"); // newest of the new on top
    const QString jan = u"Mon, 01 Jan 2024 06:00:00 +0000"_s;
    const QString feb = u"Thu, 01 Feb 2024 06:00:00 +0000"_s;
    const QString mar = u"Fri, 01 Mar 2024 06:00:00 GMT"_s;
    QTest::newRow("empty") << QStringList() << -1 << 1 << false;
    QTest::newRow("oldest first") << QStringList{jan, feb, mar} << 2 << 4 << false;
    QTest::newRow("newest first") << QStringList{mar, feb, jan} << 0 << 1 << true;
    QTest::newRow("newest first, undated among them")
        << QStringList{mar, u"soon"_s, jan} << 0 << 1 << true;
    QTest::newRow("no dates: the last lends, new at the end")
        << QStringList{u"a"_s, u"b"_s} << 1 << 3 << false;
    QTest::newRow("one dated") << QStringList{u"a"_s, feb} << 1 << 3 << false;
    QTest::newRow("offsets compared as moments")
        << QStringList{u"Fri, 01 Mar 2024 08:00:00 +0200"_s, u"Fri, 01 Mar 2024 07:00:00 +0000"_s}
        << 1 << 3 << false;
}

void tst_EpisodeOrder::list_newestAndPlace() {
    QFETCH(QStringList, dates);
    QFETCH(int, newest);
    QFETCH(int, number);
    QFETCH(bool, reversed);
    const QList<Episode> list = episodes(dates);
    QCOMPARE(EpisodeOrder::newest(list), newest);
    QList<Episode> made = episodes({u"first"_s, u"second"_s});
    QCOMPARE(EpisodeOrder::place(list, made), number);
    QCOMPARE(made.first()[EpisodeColumn::Title], reversed ? u"second"_s : u"first"_s);
}

QTEST_GUILESS_MAIN(tst_EpisodeOrder)
#include "tst_episodeorder.moc"
