#pragma once

#include <QByteArrayView>
#include <cstring>

namespace ByteSearch {
// Where `what` first stands in `text` from `from`, or -1. The end markers
// looked for (of CDATA, comments, processing instructions) are short and
// start with a byte that is rare where they are looked for: memchr finds it
// faster than a general search, which hashes every byte of a long CDATA
// section on the way.
inline qsizetype findMarker(QByteArrayView text, QByteArrayView what, qsizetype from) {
    const char *data = text.data();
    const qsizetype size = text.size();
    const qsizetype length = what.size();
    while (from >= 0 && from + length <= size) {
        const void *hit = std::memchr(data + from, what.front(), size_t(size - length - from + 1));
        if (!hit)
            return -1;
        const qsizetype at = static_cast<const char *>(hit) - data;
        if (std::memcmp(data + at, what.data(), size_t(length)) == 0)
            return at;
        from = at + 1;
    }
    return -1;
}
} // namespace ByteSearch
