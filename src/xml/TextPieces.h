#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <deque>
#include <memory>
#include <vector>

// A text made of pieces: views into a text kept elsewhere (a loaded file's)
// and bytes of its own. A save of a long feed that is mostly kept writes and
// checks it piece by piece, and never holds a second copy of the file.
class TextPieces {
public:
    TextPieces() = default;
    explicit TextPieces(QByteArray bytes);
    TextPieces(const TextPieces &) = default;
    TextPieces &operator=(const TextPieces &) = default;
    // What is moved from is left empty, ready to be filled again.
    TextPieces(TextPieces &&other) noexcept;
    TextPieces &operator=(TextPieces &&other) noexcept;

    // Holds what the views point into for as long as the pieces live.
    void keep(std::shared_ptr<const void> owner) { m_owners.push_back(std::move(owner)); }
    // A view into kept text; short ones are copied, so a text with many
    // small changes is still written in few calls.
    void appendView(QByteArrayView view);
    void append(QByteArray bytes);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const std::vector<QByteArrayView> &pieces() const { return m_pieces; }
    // The text from `from`, at most `size` bytes of it, copied into `into`.
    qsizetype copy(qsizetype from, char *into, qsizetype size) const;
    QByteArray joined() const;

private:
    void appendShort(QByteArrayView view);
    void closeTail();

    std::vector<QByteArrayView> m_pieces;
    std::vector<qsizetype> m_starts; // where each piece begins in the text
    // Own bytes; a deque, so that a piece's address stays where it was.
    std::deque<QByteArray> m_owned;
    bool m_tailOpen = false; // the last piece is m_owned.back(), still growing
    std::vector<std::shared_ptr<const void>> m_owners;
    qsizetype m_size = 0;
};
