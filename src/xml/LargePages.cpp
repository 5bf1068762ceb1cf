#include "LargePages.h"

#include <sys/mman.h>

namespace LargePages {
namespace {
constexpr quintptr Huge = quintptr(2) << 20;
} // namespace

void advise(void *data, qsizetype size) {
#ifdef MADV_HUGEPAGE
    if (size < qsizetype(2 * Huge))
        return;
    const auto start = reinterpret_cast<quintptr>(data);
    const quintptr begin = (start + Huge - 1) & ~(Huge - 1);
    const quintptr end = (start + quintptr(size)) & ~(Huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

void advise(QByteArray &buffer) {
    advise(buffer.data(), buffer.capacity());
}

} // namespace LargePages
