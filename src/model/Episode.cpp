#include "Episode.h"

#include <cstring>
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
    constexpr qsizetype Narrow = std::numeric_limits<quint16>::max();
    const char *begin = shared.constData();
    const char *end = begin + shared.size();
    const std::less<const char *> before;
    const auto inside = [&](QByteArrayView value) {
        return value.isEmpty() ||
               (!before(value.data(), begin) && !before(end, value.data() + value.size()));
    };
    bool all = !shared.isEmpty() && shared.size() <= qsizetype(std::numeric_limits<quint32>::max());
    const char *low = nullptr;
    for (const QByteArrayView value : values) {
        all = all && inside(value);
        if (!value.isEmpty() && (!low || before(value.data(), low)))
            low = value.data();
    }
    std::array<Span, EpisodeColumn::Count> spans{};
    for (size_t c = 0; all && c < values.size(); ++c) {
        if (values[c].isEmpty())
            continue;
        const qsizetype offset = values[c].data() - low;
        all = offset <= Narrow && values[c].size() <= Narrow;
        spans[c] = {quint16(offset), quint16(values[c].size())};
    }
    // Kept content in the old text goes with it.
    if (m_extraInText && !(all && sharesText(shared)))
        ownExtra();
    if (all) {
        m_text = shared;
        m_base = low ? quint32(low - begin) : 0;
        m_spans = spans;
        m_wide = false;
        return;
    }
    qsizetype size = 0;
    for (const QByteArrayView value : values)
        size += value.size();
    QByteArray own;
    m_base = 0;
    m_wide = size > Narrow;
    if (!m_wide) {
        own.reserve(size);
        for (size_t c = 0; c < values.size(); ++c) {
            spans[c] = {quint16(own.size()), quint16(values[c].size())};
            own.append(values[c]);
        }
    } else {
        const qsizetype table = EpisodeColumn::Count * qsizetype(sizeof(TextSpan));
        own.reserve(table + size);
        own.resize(table);
        for (size_t c = 0; c < values.size(); ++c) {
            const TextSpan span{quint32(own.size()), quint32(values[c].size())};
            std::memcpy(own.data() + c * sizeof(TextSpan), &span, sizeof span);
            own.append(values[c]);
        }
        spans = {};
    }
    m_text = std::move(own);
    m_spans = spans;
}

Episode::TextSpan Episode::textSpanAt(const QByteArray &table, qsizetype index) {
    TextSpan span;
    std::memcpy(&span, table.constData() + index * qsizetype(sizeof(TextSpan)), sizeof span);
    return span;
}

QByteArrayView Episode::wideView(int column) const {
    const TextSpan span = textSpanAt(m_text, column);
    return QByteArrayView(m_text.constData() + span.begin, span.size);
}

std::array<QString, EpisodeColumn::Count> Episode::columns() const {
    std::array<QString, EpisodeColumn::Count> made;
    for (int c = 0; c < EpisodeColumn::Count; ++c)
        made[size_t(c)] = (*this)[c];
    return made;
}

bool Episode::sameValues(const Episode &other) const {
    if (m_text.constData() == other.m_text.constData() && !m_wide && !other.m_wide &&
        m_base == other.m_base) {
        bool same = true;
        for (size_t c = 0; c < m_spans.size() && same; ++c)
            same = m_spans[c].offset == other.m_spans[c].offset &&
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
    const qsizetype count = m_extra.size() / qsizetype(sizeof(TextSpan));
    QList<QByteArrayView> pieces;
    pieces.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const TextSpan span = textSpanAt(m_extra, i);
        pieces.append(QByteArrayView(m_text.constData() + span.begin, span.size));
    }
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
    bool inText = !m_wide && !m_text.isEmpty() && !nodes.isEmpty();
    for (const QByteArrayView node : nodes) {
        inText = inText && !node.isEmpty() && atMost(begin, node.data()) &&
                 atMost(node.data() + node.size(), end);
    }
    if (!inText) {
        setExtra(joined(nodes));
        return;
    }
    QByteArray spans(nodes.size() * qsizetype(sizeof(TextSpan)), Qt::Uninitialized);
    char *out = spans.data();
    for (const QByteArrayView node : nodes) {
        const TextSpan span{quint32(node.data() - begin), quint32(node.size())};
        std::memcpy(out, &span, sizeof span);
        out += sizeof span;
    }
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
