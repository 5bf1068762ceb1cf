// The save's well-formedness check on arbitrary bytes. A text the check
// accepts is written to disk as a feed, so a full load of the same bytes must
// accept it too, and the other way round.
#include "feed/FeedFile.h"
#include "xml/XmlDocument.h"

#include <QBuffer>
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const bool wellFormed = FeedFile::wellFormednessError(bytes).isEmpty();

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    XmlDocument document;
    const bool loaded = document.load(&buffer);
    if (loaded != wellFormed) {
        std::fprintf(stderr, "check says %d, load says %d\n", wellFormed, loaded);
        std::abort();
    }
    if (loaded && document.documentElement().isNull())
        std::abort();
    return 0;
}
