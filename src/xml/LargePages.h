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
// Has the kernel fill in every page of a block not yet touched, on the
// calling thread: a helper thread takes the faults, not the one that later
// writes the block. The block's bytes are left unspecified.
void touch(void *data, qsizetype size);
} // namespace LargePages
