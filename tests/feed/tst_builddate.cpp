#include "feed/BuildDate.h"
#include "feed/modTimeZone.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

class tst_BuildDate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void utcOffsetText_data();
    void utcOffsetText();
    void text_data();
    void text();
    void text_englishUnderOtherLocales_data();
    void text_englishUnderOtherLocales();
    void text_offsetFollowsDaylightSaving_data();
    void text_offsetFollowsDaylightSaving();
};

void tst_BuildDate::utcOffsetText_data() {
    QTest::addColumn<int>("bias");
    QTest::addColumn<QString>("expected");
    QTest::newRow("UTC") << 0 << QStringLiteral("+0000");
    QTest::newRow("east two hours") << -120 << QStringLiteral("+0200");
    QTest::newRow("west five hours") << 300 << QStringLiteral("-0500");
    QTest::newRow("India") << -330 << QStringLiteral("+0530");
    QTest::newRow("Newfoundland") << 210 << QStringLiteral("-0330");
    QTest::newRow("Nepal") << -345 << QStringLiteral("+0545");
    QTest::newRow("Kiribati") << -840 << QStringLiteral("+1400");
    QTest::newRow("Hawaii") << 600 << QStringLiteral("-1000");
    QTest::newRow("half hour west") << 30 << QStringLiteral("-0030");
}

void tst_BuildDate::utcOffsetText() {
    QFETCH(int, bias);
    QFETCH(QString, expected);
    QCOMPARE(modTimeZone::utcOffsetText(bias), expected);
}

void tst_BuildDate::text_data() {
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("east, single-digit day")
        << QDateTime(QDate(2026, 12, 7), QTime(9, 10, 3), QTimeZone(7200))
        << QStringLiteral("Mon, 07 Dec 2026 09:10:03 +0200");
    QTest::newRow("UTC, afternoon")
        << QDateTime(QDate(2021, 8, 31), QTime(23, 59, 59), QTimeZone(0))
        << QStringLiteral("Tue, 31 Aug 2021 23:59:59 +0000");
    QTest::newRow("west with half hour")
        << QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0), QTimeZone(-3 * 3600 - 1800))
        << QStringLiteral("Thu, 29 Feb 2024 00:00:00 -0330");
}

void tst_BuildDate::text() {
    QFETCH(QDateTime, moment);
    QFETCH(QString, expected);
    QCOMPARE(BuildDate::text(moment), expected);
}

void tst_BuildDate::text_englishUnderOtherLocales_data() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("German") << QStringLiteral("de_DE");
    QTest::newRow("French") << QStringLiteral("fr_FR");
    QTest::newRow("Japanese") << QStringLiteral("ja_JP");
}

void tst_BuildDate::text_englishUnderOtherLocales() {
    QFETCH(QString, locale);
    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    const QString text =
        BuildDate::text(QDateTime(QDate(2026, 3, 3), QTime(12, 0, 0), QTimeZone(3600)));
    QLocale::setDefault(saved);
    QCOMPARE(text, QStringLiteral("Tue, 03 Mar 2026 12:00:00 +0100"));
}

void tst_BuildDate::text_offsetFollowsDaylightSaving_data() {
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("expected");
    const QTimeZone berlin("Europe/Berlin");
    const QTimeZone newYork("America/New_York");
    if (!berlin.isValid() || !newYork.isValid())
        QSKIP("no time zone database on this machine");
    QTest::newRow("Berlin winter") << QDateTime(QDate(2026, 1, 15), QTime(10, 0), berlin)
                                   << QStringLiteral("Thu, 15 Jan 2026 10:00:00 +0100");
    QTest::newRow("Berlin summer") << QDateTime(QDate(2026, 7, 15), QTime(10, 0), berlin)
                                   << QStringLiteral("Wed, 15 Jul 2026 10:00:00 +0200");
    QTest::newRow("New York summer") << QDateTime(QDate(2026, 7, 4), QTime(18, 30), newYork)
                                     << QStringLiteral("Sat, 04 Jul 2026 18:30:00 -0400");
}

void tst_BuildDate::text_offsetFollowsDaylightSaving() {
    QFETCH(QDateTime, moment);
    QFETCH(QString, expected);
    QCOMPARE(BuildDate::text(moment), expected);
}

QTEST_GUILESS_MAIN(tst_BuildDate)
#include "tst_builddate.moc"
