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

void touch(void *data, qsizetype size) {
    if (size <= 0)
        return;
#ifdef MADV_POPULATE_WRITE
    constexpr quintptr Page = 4096;
    const auto start = reinterpret_cast<quintptr>(data);
    const quintptr begin = (start + Page - 1) & ~(Page - 1);
    const quintptr end = (start + quintptr(size)) & ~(Page - 1);
    if (end <= begin ||
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE) == 0)
        return;
#endif
    // Older kernels: a write in each page does the same.
    auto *bytes = static_cast<volatile char *>(data);
    for (qsizetype at = 0; at < size; at += 4096)
        bytes[at] = 0;
}

void advise(QByteArray &buffer) {
    advise(buffer.data(), buffer.capacity());
}

} // namespace LargePages
