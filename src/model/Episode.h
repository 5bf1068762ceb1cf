#pragma once

#include "EpisodeColumn.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <utility>

// One Episode record: thirteen plain texts, held exactly as entered or read,
// and the item's kept content: what a loaded item held that no column holds,
// as UTF-8 XML text (see PodcastDocument::channelExtra for its form).
//
// The texts are UTF-8 in one buffer. A record read from a file shares the
// file's own text and holds only where each value stands in it, so a long
// feed is not held twice; a record given a value of its own copies its
// values into a small buffer of its own first. Its kept content may stand
// in the shared text as well, as the nodes it is made of.
class Episode {
public:
    Episode() = default;

    QString operator[](int column) const { return QString::fromUtf8(view(column)); }
    // The value's UTF-8 bytes; valid while the record is neither changed nor
    // destroyed.
    QByteArrayView view(int column) const {
        if (m_wide)
            return wideView(column);
        const Span span = m_spans[size_t(column)];
        return QByteArrayView(m_text.constData() + m_base + span.offset, span.size);
    }
    void setValue(int column, const QString &text);
    void setValue(int column, QByteArrayView utf8);
    // Every value at once, as UTF-8. When each one lies inside `shared`,
    // within 64 KB of the first (see Span), the record shares that buffer and
    // keeps where they stand; otherwise it copies them.
    void setValues(const std::array<QByteArrayView, EpisodeColumn::Count> &values,
                   const QByteArray &shared = QByteArray());
    std::array<QString, EpisodeColumn::Count> columns() const;

    // `episode[column] = text` sets a value, as it always did.
    class Value {
    public:
        Value &operator=(const QString &text) {
            m_episode.setValue(m_column, text);
            return *this;
        }
        Value &operator=(const Value &other) { return *this = QString(other); }
        operator QString() const { return std::as_const(m_episode)[m_column]; }
        bool isEmpty() const { return m_episode.view(m_column).isEmpty(); }

    private:
        friend class Episode;
        Value(Episode &episode, int column)
            : m_episode(episode)
            , m_column(column) {}
        Episode &m_episode;
        int m_column;
    };
    Value operator[](int column) { return Value(*this, column); }

    // The item's kept content, one top-level node a line.
    QByteArray extra() const;
    void setExtra(const QByteArray &block);
    // Kept content made of these nodes, one a line. Nodes that all lie in
    // the text the values share are kept as places in it; otherwise the
    // block is copied.
    void setExtraNodes(const QList<QByteArrayView> &nodes);
    qsizetype extraSize() const;
    bool hasExtra() const { return !m_extra.isEmpty(); }
    // The kept content in pieces, each one or more whole nodes, in order;
    // valid while the record is neither changed nor destroyed.
    QList<QByteArrayView> extraPieces() const;

    // The same thirteen texts, wherever each record holds them.
    bool sameValues(const Episode &other) const;
    bool sameExtra(const Episode &other) const;
    // The same record whichever file, if any, it came from.
    bool operator==(const Episode &other) const { return sameValues(other) && sameExtra(other); }

private:
    // Where a value stands: 16 bits from m_base, which are enough for an
    // item's values. A record with a value or a distance of 64 KB or more
    // holds its values in a buffer of its own that starts with a table of
    // TextSpans instead (m_wide).
    struct Span {
        quint16 offset = 0;
        quint16 size = 0;
    };
    // 32 bits: a text of 4 GB or more is never shared (see setValues).
    struct TextSpan {
        quint32 begin = 0;
        quint32 size = 0;
    };
    QByteArrayView wideView(int column) const;
    static TextSpan textSpanAt(const QByteArray &table, qsizetype index);
    bool sharesText(const QByteArray &text) const {
        return m_text.constData() == text.constData() && m_text.size() == text.size();
    }
    // Kept content standing in m_text: back to a block of its own.
    void ownExtra();

    // In this order, with `source` last, a record takes 112 bytes.
    QByteArray m_text;
    // The kept content: the block itself, or, when m_extraInText, the
    // TextSpan of each of its nodes in m_text, one after the other.
    QByteArray m_extra;
    std::array<Span, EpisodeColumn::Count> m_spans{};
    quint32 m_base = 0;
    bool m_wide = false;
    bool m_extraInText = false;

public:
    // The item of the loaded file this record came from (see
    // PodcastDocument::source), or -1 for a record the file did not have.
    qint32 source = -1;
};
static_assert(sizeof(Episode) <= 112 || sizeof(void *) != 8);
// Its members move by their bytes: a list of many episodes grows without
// copying each one.
Q_DECLARE_TYPEINFO(Episode, Q_RELOCATABLE_TYPE);
