#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <cstring>

namespace ByteSearch {
// Whether `size` bytes at a and b are equal. The names compared while a feed
// loads are a few bytes long, where a call into the C library costs more
// than the comparison: words are compared in place, the last one overlapping.
inline bool sameBytes(const char *a, const char *b, size_t size) {
    const auto word = [](const char *at, auto zero) {
        decltype(zero) value;
        std::memcpy(&value, at, sizeof value);
        return value;
    };
    if (size < 4) {
        for (size_t i = 0; i < size; ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }
    if (size < 8)
        return ((word(a, quint32()) ^ word(b, quint32())) |
                (word(a + size - 4, quint32()) ^ word(b + size - 4, quint32()))) == 0;
    if (size > 32)
        return std::memcmp(a, b, size) == 0;
    quint64 difference = word(a + size - 8, quint64()) ^ word(b + size - 8, quint64());
    for (size_t at = 0; at + 8 < size; at += 8)
        difference |= word(a + at, quint64()) ^ word(b + at, quint64());
    return difference == 0;
}

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
