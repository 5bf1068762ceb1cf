#include "xml/LargePages.h"

#include <QFile>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <vector>

#include <sys/mman.h>

// Large-page advice must land on the large blocks a load fills.
class tst_LargePages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void advise_reachesTheWholeAlignedBlock_data();
    void advise_reachesTheWholeAlignedBlock();
};

namespace {
// True when the mapping that holds `address` is advised for large pages.
bool advised(const void *address) {
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const auto at = reinterpret_cast<quintptr>(address);
    bool inside = false;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        // A mapping's first line starts "begin-end ", its fields "Name:".
        if (dash > 0 && space > dash && line[space - 1] != ':') {
            bool ok = false;
            const quintptr begin = line.first(dash).toULongLong(&ok, 16);
            const quintptr end = line.sliced(dash + 1, space - dash - 1).toULongLong(&ok, 16);
            inside = ok && begin <= at && at < end;
        } else if (inside && line.startsWith("VmFlags:")) {
            return line.split(' ').contains("hg");
        }
    }
    return false;
}
} // namespace

void tst_LargePages::init() {
    QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!setting.open(QIODevice::ReadOnly) || setting.readAll().contains("[never]"))
        QSKIP("This system has no large pages to advise");
}

void tst_LargePages::advise_reachesTheWholeAlignedBlock_data() {
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("expected");
    QTest::newRow("16 MB") << qsizetype(16) * 1024 * 1024 << true;
    // Too small to hold one aligned large page whatever its start.
    QTest::newRow("3 MB") << qsizetype(3) * 1024 * 1024 << false;
}

void tst_LargePages::advise_reachesTheWholeAlignedBlock() {
    QFETCH(qsizetype, size);
    QFETCH(bool, expected);
    void *block =
        ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    QVERIFY(block != MAP_FAILED);
    const auto unmap = qScopeGuard([&] { ::munmap(block, size_t(size)); });
    LargePages::advise(block, size);
    const char *middle = static_cast<const char *>(block) + size / 2;
    QCOMPARE(advised(middle), expected);
}

QTEST_GUILESS_MAIN(tst_LargePages)
#include "tst_largepages.moc"
