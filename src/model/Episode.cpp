#include "Episode.h"

#include <functional>
#include <limits>

void Episode::setValue(int column, const QString &text) {
    setValue(column, QByteArrayView(text.toUtf8()));
}

void Episode::setValue(int column, QByteArrayView utf8) {
    std::array<QByteArrayView, EpisodeColumn::Count> values;
    // `utf8` may be one of this record's own values: copied before the
    // buffer it points into goes.
    const QByteArray held = utf8.toByteArray();
    for (int c = 0; c < EpisodeColumn::Count; ++c)
        values[size_t(c)] = c == column ? QByteArrayView(held) : view(c);
    setValues(values);
}

void Episode::setValues(const std::array<QByteArrayView, EpisodeColumn::Count> &values,
                        const QByteArray &shared) {
    const char *begin = shared.constData();
    const char *end = begin + shared.size();
    const auto inside = [&](QByteArrayView value) {
        const std::less_equal<const char *> atMost;
        return value.isEmpty() ||
               (atMost(begin, value.data()) && atMost(value.data() + value.size(), end));
    };
    bool all = !shared.isEmpty() && shared.size() <= qsizetype(std::numeric_limits<quint32>::max());
    for (const QByteArrayView value : values)
        all = all && inside(value);
    std::array<Span, EpisodeColumn::Count> spans{};
    // Kept content in the old text goes with it.
    if (m_extraInText && !(all && sharesText(shared)))
        ownExtra();
    if (all) {
        for (size_t c = 0; c < values.size(); ++c) {
            if (!values[c].isEmpty())
                spans[c] = {quint32(values[c].data() - begin), quint32(values[c].size())};
        }
        m_text = shared;
        m_spans = spans;
        return;
    }
    qsizetype size = 0;
    for (const QByteArrayView value : values)
        size += value.size();
    QByteArray own;
    own.reserve(size);
    for (size_t c = 0; c < values.size(); ++c) {
        spans[c] = {quint32(own.size()), quint32(values[c].size())};
        own.append(values[c]);
    }
    m_text = std::move(own);
    m_spans = spans;
}

std::array<QString, EpisodeColumn::Count> Episode::columns() const {
    std::array<QString, EpisodeColumn::Count> made;
    for (int c = 0; c < EpisodeColumn::Count; ++c)
        made[size_t(c)] = (*this)[c];
    return made;
}

bool Episode::sameValues(const Episode &other) const {
    if (m_text.constData() == other.m_text.constData() && m_spans.size() == other.m_spans.size()) {
        bool same = true;
        for (size_t c = 0; c < m_spans.size() && same; ++c)
            same = m_spans[c].begin == other.m_spans[c].begin &&
                   m_spans[c].size == other.m_spans[c].size;
        if (same)
            return true;
    }
    for (int c = 0; c < EpisodeColumn::Count; ++c) {
        if (view(c) != other.view(c))
            return false;
    }
    return true;
}

namespace {
QByteArray joined(const QList<QByteArrayView> &nodes) {
    qsizetype size = nodes.isEmpty() ? 0 : nodes.size() - 1;
    for (const QByteArrayView node : nodes)
        size += node.size();
    QByteArray block;
    block.reserve(size);
    for (const QByteArrayView node : nodes) {
        if (!block.isEmpty())
            block += '\n';
        block += node;
    }
    return block;
}
} // namespace

QList<QByteArrayView> Episode::extraPieces() const {
    if (!m_extraInText)
        return m_extra.isEmpty() ? QList<QByteArrayView>() : QList<QByteArrayView>{m_extra};
    const qsizetype count = m_extra.size() / qsizetype(sizeof(Span));
    QList<QByteArrayView> pieces;
    pieces.reserve(count);
    const auto *spans = reinterpret_cast<const Span *>(m_extra.constData());
    for (qsizetype i = 0; i < count; ++i)
        pieces.append(QByteArrayView(m_text.constData() + spans[i].begin, spans[i].size));
    return pieces;
}

QByteArray Episode::extra() const {
    return m_extraInText ? joined(extraPieces()) : m_extra;
}

void Episode::setExtra(const QByteArray &block) {
    m_extra = block;
    m_extraInText = false;
}

void Episode::setExtraNodes(const QList<QByteArrayView> &nodes) {
    const char *begin = m_text.constData();
    const char *end = begin + m_text.size();
    const std::less_equal<const char *> atMost;
    bool inText = !m_text.isEmpty() && !nodes.isEmpty();
    for (const QByteArrayView node : nodes) {
        inText = inText && !node.isEmpty() && atMost(begin, node.data()) &&
                 atMost(node.data() + node.size(), end);
    }
    if (!inText) {
        setExtra(joined(nodes));
        return;
    }
    QByteArray spans(nodes.size() * qsizetype(sizeof(Span)), Qt::Uninitialized);
    auto *out = reinterpret_cast<Span *>(spans.data());
    for (const QByteArrayView node : nodes)
        *out++ = {quint32(node.data() - begin), quint32(node.size())};
    m_extra = std::move(spans);
    m_extraInText = true;
}

void Episode::ownExtra() {
    m_extra = extra();
    m_extraInText = false;
}

qsizetype Episode::extraSize() const {
    if (!m_extraInText)
        return m_extra.size();
    qsizetype size = -1;
    for (const QByteArrayView piece : extraPieces())
        size += piece.size() + 1;
    return size;
}

bool Episode::sameExtra(const Episode &other) const {
    if (m_extraInText && other.m_extraInText && m_text.constData() == other.m_text.constData() &&
        m_extra == other.m_extra)
        return true;
    if (!m_extraInText && !other.m_extraInText)
        return m_extra == other.m_extra;
    return extra() == other.extra();
}
