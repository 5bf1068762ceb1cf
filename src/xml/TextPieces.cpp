#include "TextPieces.h"

#include "LargePages.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// Shorter views are copied: a write call costs more than copying this much.
constexpr qsizetype ShortView = 16 << 10;
} // namespace

TextPieces::TextPieces(QByteArray bytes) {
    append(std::move(bytes));
}

TextPieces::TextPieces(TextPieces &&other) noexcept {
    *this = std::move(other);
}

TextPieces &TextPieces::operator=(TextPieces &&other) noexcept {
    m_pieces = std::exchange(other.m_pieces, {});
    m_starts = std::exchange(other.m_starts, {});
    m_owned = std::exchange(other.m_owned, {});
    m_tailOpen = std::exchange(other.m_tailOpen, false);
    m_owners = std::exchange(other.m_owners, {});
    m_size = std::exchange(other.m_size, 0);
    return *this;
}

void TextPieces::appendView(QByteArrayView view) {
    if (view.isEmpty())
        return;
    if (view.size() < ShortView) {
        appendShort(view);
        return;
    }
    closeTail();
    m_starts.push_back(m_size);
    m_pieces.push_back(view);
    m_size += view.size();
}

void TextPieces::append(QByteArray bytes) {
    if (bytes.size() < ShortView) {
        appendView(bytes); // copied into the tail
        return;
    }
    closeTail();
    m_owned.push_back(std::move(bytes));
    appendView(m_owned.back());
}

void TextPieces::appendShort(QByteArrayView view) {
    if (!m_tailOpen) {
        m_owned.emplace_back();
        m_starts.push_back(m_size);
        m_pieces.emplace_back();
        m_tailOpen = true;
    }
    QByteArray &tail = m_owned.back();
    tail.append(view);
    // Growing may have moved the tail's bytes.
    m_pieces.back() = QByteArrayView(tail.constData(), tail.size());
    m_size += view.size();
}

// The tail's spare room goes once nothing more is added to it: with many
// short runs between long pieces it would add up.
void TextPieces::closeTail() {
    if (!m_tailOpen)
        return;
    m_tailOpen = false;
    QByteArray &tail = m_owned.back();
    tail.squeeze();
    m_pieces.back() = QByteArrayView(tail.constData(), tail.size());
}

qsizetype TextPieces::copy(qsizetype from, char *into, qsizetype size) const {
    if (from < 0 || from >= m_size || size <= 0)
        return 0;
    auto piece =
        size_t(std::upper_bound(m_starts.begin(), m_starts.end(), from) - m_starts.begin()) - 1;
    qsizetype done = 0;
    for (qsizetype offset = from - m_starts[piece]; piece < m_pieces.size() && done < size;
         ++piece, offset = 0) {
        const qsizetype n = std::min(m_pieces[piece].size() - offset, size - done);
        std::memcpy(into + done, m_pieces[piece].data() + offset, size_t(n));
        done += n;
    }
    return done;
}

QByteArray TextPieces::joined() const {
    if (m_pieces.size() == 1 && m_owned.size() == 1)
        return m_owned.front();
    QByteArray out;
    out.reserve(m_size);
    LargePages::advise(out);
    for (const QByteArrayView piece : m_pieces)
        out.append(piece);
    return out;
}
