#include "feed/EpisodeRoom.h"

#include <QTest>
#include <thread>

// The loader's episode list moves into room made on another thread while
// episodes are being read: none may be lost, reordered or changed.
class tst_EpisodeRoom : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void take_keepsEveryEpisodeInOrder_data();
    void take_keepsEveryEpisodeInOrder();
};

void tst_EpisodeRoom::take_keepsEveryEpisodeInOrder_data() {
    QTest::addColumn<int>("readFirst"); // episodes read before the count is in
    QTest::addColumn<int>("count");     // the items counted
    QTest::addColumn<int>("total");     // the episodes read in all
    QTest::newRow("count before any episode") << 0 << 40 << 40;
    QTest::newRow("count after some episodes") << 7 << 40 << 40;
    QTest::newRow("count no more than read so far") << 12 << 12 << 12;
    QTest::newRow("fewer episodes than items") << 3 << 40 << 25;
    QTest::newRow("more episodes than counted") << 5 << 10 << 30;
    QTest::newRow("no items") << 0 << 0 << 0;
}

void tst_EpisodeRoom::take_keepsEveryEpisodeInOrder() {
    QFETCH(int, readFirst);
    QFETCH(int, count);
    QFETCH(int, total);
    // Values that share one text, as a loaded file's do.
    QByteArray text;
    for (int i = 0; i < total; ++i)
        text += "title " + QByteArray::number(i) + '|';
    const auto read = [&](EpisodeRoom &room, QList<Episode> &episodes, int i) {
        const QByteArray value = "title " + QByteArray::number(i);
        std::array<QByteArrayView, EpisodeColumn::Count> values{};
        values[EpisodeColumn::Title] =
            QByteArrayView(text).sliced(text.indexOf(value + '|'), value.size());
        room.append(episodes).setValues(values, text);
    };

    EpisodeRoom room;
    QList<Episode> episodes;
    for (int i = 0; i < readFirst; ++i)
        read(room, episodes, i);
    std::thread counting([&] { room.make(count); });
    counting.join();
    room.take(episodes);
    QVERIFY(episodes.capacity() >= qMin(count, total));
    const Episode *storage = episodes.constData();
    for (int i = readFirst; i < total; ++i)
        read(room, episodes, i);
    if (total <= count && total > 0)
        QCOMPARE(episodes.constData(), storage); // no growth once the room is taken

    QCOMPARE(episodes.size(), total);
    for (int i = 0; i < total; ++i)
        QCOMPARE(episodes[i][EpisodeColumn::Title], QStringLiteral("title %1").arg(i));
}

QTEST_GUILESS_MAIN(tst_EpisodeRoom)
#include "tst_episoderoom.moc"
