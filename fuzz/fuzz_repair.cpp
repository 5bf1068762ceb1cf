// The repair reader on arbitrary bytes. Besides the sanitizers it checks its
// promises: what it calls repaired the strict parser takes, every change is
// listed on a line of the input, and a repaired text needs no second repair.
#include "feed/WellKnownNamespaces.h"
#include "xml/XmlDocument.h"
#include "xml/XmlRepair.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const XmlRepair::Result result = XmlRepair::repair(bytes, WellKnownNamespaces::all());
    if (!result.repaired) {
        if (result.error.isEmpty() || !result.text.isEmpty() || !result.changes.isEmpty())
            std::abort();
        return 0;
    }
    if (!XmlDocument::checkWellFormed(result.text).isEmpty()) {
        std::fprintf(stderr, "repaired text is not well-formed\n");
        std::abort();
    }
    const qsizetype lines = bytes.count('\n') + bytes.count('\r') + 1;
    for (qsizetype i = 0; i < result.changes.size(); ++i) {
        const XmlRepair::Change &change = result.changes[i];
        if (change.line < 1 || change.line > lines || change.what.isEmpty())
            std::abort();
        if (i < 100) // as many as a box shows
            (void)XmlRepair::describe(change);
    }
    // The second repair doubles the time: on small inputs, where the fuzzer
    // spends its runs, it is worth it.
    if (result.changes.isEmpty() || size > (std::size_t(1) << 20))
        return 0;
    const XmlRepair::Result again = XmlRepair::repair(result.text, WellKnownNamespaces::all());
    if (!again.repaired || again.text != result.text || !again.changes.isEmpty()) {
        std::fprintf(stderr, "a repaired text was changed again\n");
        std::abort();
    }
    return 0;
}
