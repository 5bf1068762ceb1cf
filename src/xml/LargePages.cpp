#include "LargePages.h"

#include <atomic>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace LargePages {
namespace {
constexpr quintptr Huge = quintptr(2) << 20;
// How far the heap grows at a time: large enough that most of each step is
// advised before it is touched.
constexpr int HeapStep = 32 << 20;
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

void followHeap() {
#ifdef MADV_HUGEPAGE
    static const bool stepped = [] { return ::mallopt(M_TOP_PAD, HeapStep) == 1; }();
    // Where advice has reached: the heap only grows while a load runs, and
    // two threads advising the same range do no harm.
    static std::atomic<quintptr> advised{0};
    if (!stepped)
        return;
    const auto top = reinterpret_cast<quintptr>(::sbrk(0));
    if (top == quintptr(-1))
        return;
    const quintptr end = top & ~(Huge - 1);
    quintptr from = advised.load(std::memory_order_relaxed);
    if (from == 0 || from > top) {
        // The first call, or a heap that shrank: only what grows from here.
        advised.store(end, std::memory_order_relaxed);
        return;
    }
    if (end <= from)
        return;
    ::madvise(reinterpret_cast<void *>(from), end - from, MADV_HUGEPAGE);
    advised.store(end, std::memory_order_relaxed);
#endif
}
} // namespace LargePages
