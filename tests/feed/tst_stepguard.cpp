#include "feed/ErrorReportText.h"
#include "feed/StepGuard.h"
#include "feed/ApplicationTitle.h"

#include "support/RecordingErrorReporter.h"

#include <QTest>

class tst_StepGuard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compose_exactText_data();
    void compose_exactText();
    void failingSteps_reportedAndHandlerGoesOn();
    void failureInUnguardedHelper_countsForCallingStep();
    void applicationTitle_data();
    void applicationTitle();
};

void tst_StepGuard::compose_exactText_data() {
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("expected");
    const QString location = QStringLiteral("in Fernhollow2021/08/31.Form1.PushButton1_Click ");
    const QString tail = QStringLiteral("Please email screenshot of this message to ") +
                         ErrorReportText::supportEmail();
    QTest::newRow("second step") << QStringLiteral("Permission denied") << 102
                                 << QStringLiteral("Permission denied\r\n") + location +
                                        QStringLiteral("at line 102\r\r") + tail;
    QTest::newRow("empty description")
        << QString() << 100
        << QStringLiteral("\r\n") + location + QStringLiteral("at line 100\r\r") + tail;
}

void tst_StepGuard::compose_exactText() {
    QFETCH(QString, description);
    QFETCH(int, step);
    QFETCH(QString, expected);
    QCOMPARE(
        ErrorReportText::compose(
            description, QStringLiteral("in Fernhollow2021/08/31.Form1.PushButton1_Click "), step),
        expected);
    QVERIFY(ErrorReportText::supportEmail().contains(u'@'));
}

void tst_StepGuard::failingSteps_reportedAndHandlerGoesOn() {
    RecordingErrorReporter reporter;
    QList<int> ran;
    {
        StepGuard guard(reporter, QStringLiteral("in X.Form1.Handler "));
        QVERIFY(guard.step(100, [&] { ran << 100; }));
        QVERIFY(!guard.step(102, [&] {
            ran << 102;
            throw StepFailure(QStringLiteral("first"));
        }));
        QVERIFY(guard.step(104, [&] { ran << 104; }));
        QVERIFY(!guard.step(106, [&] { throw std::runtime_error("second"); }));
        QVERIFY(guard.step(108, [&] { ran << 108; }));
    }
    QCOMPARE(ran, (QList<int>{100, 102, 104, 108}));
    QCOMPARE(reporter.reports.size(), 2);
    QCOMPARE(reporter.reports[0].step, 102);
    QCOMPARE(reporter.reports[0].description, QStringLiteral("first"));
    QCOMPARE(reporter.reports[1].step, 106);
    QCOMPARE(reporter.reports[1].description, QStringLiteral("second"));
    QCOMPARE(reporter.reports[1].location, QStringLiteral("in X.Form1.Handler "));
}

namespace {
void unguardedHelper(bool fail) {
    if (fail)
        throw StepFailure(QStringLiteral("helper broke"));
}
} // namespace

void tst_StepGuard::failureInUnguardedHelper_countsForCallingStep() {
    RecordingErrorReporter reporter;
    StepGuard guard(reporter, QStringLiteral("in X.Form1.Form_Load "));
    bool after = false;
    guard.step(100, [] { unguardedHelper(false); });
    guard.step(102, [] { unguardedHelper(true); });
    guard.step(104, [&] { after = true; });
    QVERIFY(after);
    QCOMPARE(reporter.reports.size(), 1);
    QCOMPARE(reporter.reports[0].step, 102);
    QCOMPARE(reporter.reports[0].description, QStringLiteral("helper broke"));
}

void tst_StepGuard::applicationTitle_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("expected");
    QTest::newRow("our product") << QStringLiteral("Brindlewood Feed Editor Tool")
                                 << QStringLiteral("Brindlewood Feed Editor");
    // 50 characters, last word starting at 45: cut to 44, then again.
    QTest::newRow("fifty characters")
        << QStringLiteral("Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Ddddddddddd Eeeee")
        << QStringLiteral("Aaaaaaaaaa Bbbbbbbbbb Cccccccccc");
    QTest::newRow("exactly forty is still cut")
        << QStringLiteral("Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Ddddddd")
        << QStringLiteral("Aaaaaaaaaa Bbbbbbbbbb Cccccccccc");
    QTest::newRow("tab is not a blank")
        << QStringLiteral("One Two\tThree") << QStringLiteral("One");
}

void tst_StepGuard::applicationTitle() {
    QFETCH(QString, product);
    QFETCH(QString, expected);
    QCOMPARE(ApplicationTitle::derive(product), expected);
}

QTEST_GUILESS_MAIN(tst_StepGuard)
#include "tst_stepguard.moc"
