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
