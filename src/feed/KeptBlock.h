#pragma once

#include "KeptContent.h"
#include "xml/XmlNode.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVarLengthArray>
#include <functional>
#include <utility>

// What the editor does not read of one channel or item, as a block of kept
// content: first the pieces that add to elements it writes, in the order it
// writes them, then everything else in the order it stood.
class KeptBlock {
public:
    using Kind = KeptContent::Written;

    // Names are views into the document, which outlives the block.
    explicit KeptBlock(Kind (*written)(QByteArrayView))
        : m_written(written) {}

    // The first element of a name the editor writes; `consumed` tells the
    // attributes it writes itself, `reads` the children it reads.
    void addWritten(const XmlNode &element, const std::function<bool(int)> &consumed,
                    const std::function<bool(const XmlNode &)> &reads = {}) {
        const QByteArrayView name = element.outputNameView();
        QByteArray attributes;
        const qsizetype count = element.attributeCount();
        for (int i = 0; i < count; ++i) {
            if (!consumed(i))
                attributes += element.attributeXml(i);
        }
        QByteArray children;
        if (m_written(name) != Kind::Text) {
            for (const XmlNode &child : element.childNodes()) {
                if (!reads || !reads(child))
                    KeptContent::append(children, child.outerXmlView());
            }
        }
        if (attributes.isEmpty() && children.isEmpty()) {
            m_pieces.append({name, -1});
            return;
        }
        QByteArray piece = '<' + name.toByteArray() + attributes;
        if (children.isEmpty())
            piece += " />";
        else
            piece += '>' + children + "</" + name.toByteArray() + '>';
        m_pieces.append({name, qint32(m_made.size())});
        m_made.append(std::move(piece));
        m_hasPieces = true;
    }

    // A written element with no attributes and nothing inside.
    void addBare(QByteArrayView name) { m_pieces.append({name, -1}); }

    void keep(const XmlNode &node) {
        const QByteArrayView xml = node.outerXmlView();
        const QByteArrayView name = node.outputNameView();
        if (!name.isEmpty()) {
            const Kind kind = m_written(name);
            if (kind != Kind::None && !m_named.contains(name)) {
                // A later one that looks like a mere addition would be read
                // back into the written element: an explicit (maybe empty)
                // addition goes first so it stays an element of its own.
                const QList<KeptContent::Node> nodes = KeptContent::split(xml);
                if (!nodes.isEmpty() && KeptContent::addsToWritten(nodes.first(), kind)) {
                    m_named.append(name);
                    m_hasPieces = true;
                }
            }
        }
        m_rest.append(xml);
    }

    // Whether the block is the kept nodes alone, one a line.
    bool isOnlyNodes() const { return !m_hasPieces; }
    const QVarLengthArray<QByteArrayView, 8> &nodes() const { return m_rest; }

    // Joined once, at the end: appended node by node, a block of long show
    // notes was allocated anew for each of its elements.
    QByteArray take() {
        QVarLengthArray<QByteArrayView, 16> parts;
        QVarLengthArray<QByteArray, 4> made;
        if (m_hasPieces) {
            for (const Piece &piece : std::as_const(m_pieces)) {
                const QByteArrayView name = piece.name;
                if (piece.made >= 0) {
                    parts.append(m_made[piece.made]);
                } else if (m_named.contains(name)) {
                    made.append('<' + name.toByteArray() + " />");
                    parts.append(made.back());
                }
            }
        }
        parts.append(m_rest.constData(), m_rest.size());
        if (parts.isEmpty())
            return {};
        qsizetype size = parts.size() - 1;
        for (const QByteArrayView part : std::as_const(parts))
            size += part.size();
        QByteArray block;
        block.reserve(size);
        for (const QByteArrayView part : std::as_const(parts))
            KeptContent::append(block, part);
        return block;
    }

private:
    Kind (*m_written)(QByteArrayView);
    // Each written element in order, and the piece made for it, if any (an
    // index into m_made). On the stack for a usual item: the loader makes
    // one block per item, most of its written elements bare.
    struct Piece {
        QByteArrayView name;
        qint32 made;
    };
    QVarLengthArray<Piece, 16> m_pieces;
    QVarLengthArray<QByteArray, 4> m_made;
    QVarLengthArray<QByteArrayView, 4> m_named;
    QVarLengthArray<QByteArrayView, 8> m_rest; // views into the document
    bool m_hasPieces = false;
};
