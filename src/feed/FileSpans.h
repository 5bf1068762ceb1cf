#pragma once

#include "FeedSchema.h"
#include "PreparedSource.h"
#include "model/EpisodeColumn.h"
#include "xml/XmlEscape.h"
#include "xml/XmlNode.h"
#include "xml/XmlOutline.h"

#include <QByteArrayView>
#include <QList>
#include <QVarLengthArray>
#include <array>
#include <optional>

// Where the values of one item may stand in the loaded file's own text: an
// episode whose values are all found there shares the text instead of
// holding a copy. Any span of the same bytes will do, so a value is only
// ever taken from the text after a comparison.
class FileSpans {
public:
    FileSpans() = default;
    FileSpans(const FileSpans &) = delete;
    FileSpans &operator=(const FileSpans &) = delete;
    // `ordinal` counts the channel's items; `node` is the item as the
    // parser stored it.
    FileSpans(PreparedSource &source, qsizetype ordinal, const XmlNode &node)
        : m_source(&source)
        , m_node(node)
        , m_copied(node.hasInputText())
        , m_ordinal(ordinal) {}

    // `held` itself, or the same bytes in the file's text: first where an
    // element of the column's name stands, else in any child (a file may
    // use another prefix).
    QByteArrayView element(int column, QByteArrayView held) {
        if (held.isEmpty() || !m_source)
            return held;
        if (m_copied)
            return fromInput(held);
        if (!outlined())
            return held;
        const qint32 named = m_elements[size_t(column)];
        if (named >= 0 && content(named) == held)
            return content(named);
        for (const qint32 child : m_children) {
            if (child != named && content(child) == held)
                return content(child);
        }
        return held;
    }
    // The same nodes in the file's text, in order, when each one is there
    // byte for byte (an element written back as the file has it).
    bool nodes(const QVarLengthArray<QByteArrayView, 8> &held, QList<QByteArrayView> *found) {
        if (!m_source || held.isEmpty())
            return false;
        found->reserve(held.size());
        if (m_copied) {
            for (const QByteArrayView node : held) {
                const QByteArrayView input = m_node.inputView(node);
                if (input.isNull())
                    return false;
                found->append(input);
            }
            return true;
        }
        if (!outlined())
            return false;
        qsizetype next = 0;
        for (const QByteArrayView node : held) {
            while (next < m_children.size() && outer(m_children[next]) != node)
                ++next;
            if (next == m_children.size())
                return false;
            found->append(outer(m_children[next++]));
        }
        return true;
    }
    QByteArrayView attribute(QByteArrayView held) {
        if (!m_source || held.isEmpty())
            return held;
        if (m_copied)
            return fromInput(held);
        const qint32 at = outlined() ? m_elements[EpisodeColumn::Url] : -1;
        if (at < 0)
            return held;
        for (const XmlOutline::Attribute &a : m_outline->attributes(at)) {
            const QByteArrayView value = m_text.sliced(a.valueBegin, a.valueEnd - a.valueBegin);
            if (value == held)
                return value;
        }
        return held;
    }

private:
    // An item the parser's store copied from the text: each view maps back.
    QByteArrayView fromInput(QByteArrayView held) const {
        const QByteArrayView input = m_node.inputView(held);
        return input.isNull() ? held : input;
    }
    // Outlined when first asked, for an item the parser made again.
    bool outlined() {
        if (m_outline || m_outlineFailed)
            return m_outline != nullptr;
        const FeedSource *source = m_source->get();
        const qint32 item = source ? source->itemElement(m_ordinal) : -1;
        if (item < 0 || !(m_itemOutline = source->itemOutline(item))) {
            m_outlineFailed = true;
            return false;
        }
        m_outline = &*m_itemOutline;
        m_text = source->text();
        for (qint32 i = m_outline->at(0).firstChild; i >= 0; i = m_outline->at(i).nextSibling) {
            m_children.append(i);
            const int column = FeedSchema::itemColumnOf(m_outline->name(i));
            if (column >= 0 && m_elements[size_t(column)] < 0)
                m_elements[size_t(column)] = i;
        }
        return true;
    }
    QByteArrayView outer(qint32 element) const {
        const XmlOutline::Element &e = m_outline->at(element);
        return m_text.sliced(e.begin, e.end - e.begin);
    }
    QByteArrayView content(qint32 element) const {
        const XmlOutline::Element &e = m_outline->at(element);
        return XmlEscape::trimmed(m_text.sliced(e.contentBegin, e.contentEnd - e.contentBegin));
    }

    PreparedSource *m_source = nullptr;
    XmlNode m_node;
    bool m_copied = false;
    qsizetype m_ordinal = -1;
    bool m_outlineFailed = false;
    std::optional<XmlOutline> m_itemOutline; // the item (element 0) and its children
    const XmlOutline *m_outline = nullptr;
    QByteArrayView m_text;
    QVarLengthArray<qint32, 24> m_children;
    std::array<qint32, EpisodeColumn::Count> m_elements{-1, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1};
};
