#pragma once

#include <QByteArray>

// A buffer of many megabytes, filled once (a feed's text read or built),
// costs the kernel a page fault for every 4 KB it touches; asked for in
// large pages it costs one per 2 MB. Only advice: where the system gives
// none, nothing changes.
namespace LargePages {
// Advises the part of `buffer` already allocated; call it before filling.
void advise(QByteArray &buffer);
// The same for any block of memory not yet touched.
void advise(void *data, qsizetype size);
// A load makes tens of thousands of small values, which malloc takes from
// the heap: page faults were a third of a long feed's load. The first call
// has the heap grow in steps of many megabytes; each call advises what it
// grew by since the last. Call it often while memory is being filled.
void followHeap();
} // namespace LargePages
