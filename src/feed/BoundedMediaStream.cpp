#include "BoundedMediaStream.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <unistd.h>

BoundedMediaStream::BoundedMediaStream(int fd, qint64 size, const QByteArray &name,
                                       qint64 byteBudget, qint64 millisecondBudget)
    : m_fd(fd)
    , m_size(size)
    , m_name(name)
    , m_byteBudget(byteBudget)
    , m_millisecondBudget(millisecondBudget) {
    m_clock.start();
}

TagLib::FileName BoundedMediaStream::name() const {
    return m_name.constData();
}

bool BoundedMediaStream::spent() {
    if (!m_exhausted && (m_bytesRead >= m_byteBudget || m_clock.elapsed() >= m_millisecondBudget))
        m_exhausted = true;
    return m_exhausted;
}

TagLib::ByteVector BoundedMediaStream::readBlock(unsigned long length) {
    if (length == 0 || m_position >= m_size || spent())
        return {};
    // Never more than the file holds or the budget allows: a tag header may
    // claim 256 MB, and the vector is allocated before it is filled.
    qint64 wanted =
        std::min<qint64>(qint64(std::min<unsigned long>(length, 1UL << 30)), m_size - m_position);
    if (wanted > m_byteBudget - m_bytesRead) {
        wanted = m_byteBudget - m_bytesRead;
        m_exhausted = true;
    }
    TagLib::ByteVector block(static_cast<unsigned int>(wanted), '\0');
    qint64 done = 0;
    while (done < wanted) {
        const ssize_t got =
            ::pread(m_fd, block.data() + done, size_t(wanted - done), off_t(m_position + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // an I/O error or a file cut short reads as its end
        done += got;
    }
    block.resize(static_cast<unsigned int>(done));
    m_position += done;
    m_bytesRead += done;
    return block;
}

// TagLib is given nothing to write with: reading a file must never change it.
void BoundedMediaStream::writeBlock(const TagLib::ByteVector &) {}

void BoundedMediaStream::insert(const TagLib::ByteVector &, unsigned long, unsigned long) {}

void BoundedMediaStream::removeBlock(unsigned long, unsigned long) {}

bool BoundedMediaStream::readOnly() const {
    return true;
}

bool BoundedMediaStream::isOpen() const {
    return m_fd >= 0;
}

void BoundedMediaStream::seek(long offset, Position p) {
    qint64 base = 0;
    if (p == Current)
        base = m_position;
    else if (p == End)
        base = m_size;
    qint64 target = 0;
    if (__builtin_add_overflow(base, qint64(offset), &target))
        target = offset < 0 ? 0 : std::numeric_limits<qint64>::max();
    m_position = std::max<qint64>(0, target);
}

long BoundedMediaStream::tell() const {
    return long(m_position);
}

long BoundedMediaStream::length() {
    return long(m_size);
}

void BoundedMediaStream::truncate(long) {}
