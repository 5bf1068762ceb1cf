#include "LargePages.h"

#include <sys/mman.h>

namespace LargePages {
void advise(QByteArray &buffer) {
#ifdef MADV_HUGEPAGE
    constexpr quintptr Huge = quintptr(2) << 20;
    if (buffer.capacity() < qsizetype(2 * Huge))
        return;
    const auto start = reinterpret_cast<quintptr>(buffer.data());
    const quintptr begin = (start + Huge - 1) & ~(Huge - 1);
    const quintptr end = (start + quintptr(buffer.capacity())) & ~(Huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(buffer);
#endif
}
} // namespace LargePages
