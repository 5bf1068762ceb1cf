#include "feed/FeedSchema.h"

#include <QTest>

class tst_FeedSchema : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void itemColumnOf_findsEachColumnsElement_data();
    void itemColumnOf_findsEachColumnsElement();
};

void tst_FeedSchema::itemColumnOf_findsEachColumnsElement_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("column");
    // Every column's element, by the table itself: the enclosure's three
    // columns share one element, found under the first of them.
    for (size_t column = 0; column < FeedSchema::Item.size(); ++column) {
        const QByteArray element = FeedSchema::Item[column].element;
        int first = int(column);
        while (first > 0 && QByteArray(FeedSchema::Item[size_t(first - 1)].element) == element)
            --first;
        QTest::addRow("%s (column %d)", element.constData(), int(column)) << element << first;
    }
    const auto none = [](const char *row, const QByteArray &name) {
        QTest::newRow(row) << name << -1;
    };
    none("empty", "");
    none("a prefix of a name", "itunes:dur");
    none("a name and more", "titles");
    none("another case", "Title");
    none("a channel element", "itunes:image");
    none("the same length and ends as a name", "itunes:xuration");
    none("one byte", "t");
}

void tst_FeedSchema::itemColumnOf_findsEachColumnsElement() {
    QFETCH(QByteArray, name);
    QFETCH(int, column);
    QCOMPARE(FeedSchema::itemColumnOf(name), column);
}

QTEST_GUILESS_MAIN(tst_FeedSchema)
#include "tst_feedschema.moc"
