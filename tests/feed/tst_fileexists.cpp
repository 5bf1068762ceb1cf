#include "feed/FileExists.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_FileExists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answers_data();
    void answers();
};

void tst_FileExists::answers_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");
    QTest::newRow("existing file") << QStringLiteral("HAND-M.CUR") << true;
    QTest::newRow("existing folder") << QStringLiteral("x") << true;
    QTest::newRow("missing file") << QStringLiteral("missing.cur") << false;
    QTest::newRow("file under missing folder") << QStringLiteral("nowhere/o.cjs") << false;
    QTest::newRow("embedded NUL") << QStringLiteral("HAND-M.CUR\0x") << false;
}

void tst_FileExists::answers() {
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x")));
    QFile file(dir.filePath(QStringLiteral("HAND-M.CUR")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(FileExists(dir.path() + u'/' + relative), expected);
    QVERIFY(!FileExists(QString()));
}

QTEST_GUILESS_MAIN(tst_FileExists)
#include "tst_fileexists.moc"
