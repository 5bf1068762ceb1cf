#include "platform/QtFileDialogs.h"

#include <QTest>

class tst_QtFileDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void toQtFilter_data();
    void toQtFilter();
};

void tst_QtFileDialogs::toQtFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the feed filter")
        << QStringLiteral("Podcast.xml (*.xml)|*.xml") << QStringLiteral("Podcast.xml (*.xml)");
    QTest::newRow("two entries") << QStringLiteral("Feeds (*.xml)|*.xml|All files (*.*)|*.*")
                                 << QStringLiteral("Feeds (*.xml);;All files (*.*)");
    // Qt reads the patterns from the parentheses: the pattern part is what counts.
    QTest::newRow("description names other patterns")
        << QStringLiteral("Feeds (*.rss)|*.xml") << QStringLiteral("Feeds (*.xml)");
    QTest::newRow("description without patterns")
        << QStringLiteral("Feeds|*.xml;*.rss") << QStringLiteral("Feeds (*.xml *.rss)");
    QTest::newRow("pattern part missing")
        << QStringLiteral("Feeds (*.xml)") << QStringLiteral("Feeds (*.xml)");
    QTest::newRow("empty") << QString() << QString();
}

void tst_QtFileDialogs::toQtFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(QtFileDialogs::toQtFilter(filter), expected);
}

QTEST_MAIN(tst_QtFileDialogs)
#include "tst_qtfiledialogs.moc"
