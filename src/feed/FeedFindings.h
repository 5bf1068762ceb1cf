#pragma once

#include "FeedCheck.h"
#include "FeedFinding.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <tuple>

namespace FeedFindingOrder {
// Channel first (fields in index order, then kept elements), then each
// episode (columns in order, then its kept elements).
inline std::tuple<qsizetype, int, int> sortKey(const FeedFinding::Place &place) {
    if (place.episode == 0)
        return {0, place.isField() ? 0 : 1, place.isField() ? place.field : 0};
    return {place.episode, place.column >= 0 ? 0 : 1, std::max(place.column, 0)};
}

inline bool placeOrder(const FeedFinding &a, const FeedFinding &b) {
    return sortKey(a.place) < sortKey(b.place);
}
} // namespace FeedFindingOrder

// Keeps each rule's first findings in feed order and counts the rest, so
// that a feed of a million items gives a short report in little memory.
class FeedFindings {
public:
    explicit FeedFindings(QList<FeedFinding> &out)
        : m_out(out) {}
    FeedFindings(const FeedFindings &) = delete;
    FeedFindings &operator=(const FeedFindings &) = delete;

    void setRule(const FeedCheck::Rule &rule) {
        finishRule();
        m_rule = &rule;
        m_id = QString::fromLatin1(rule.id);
        m_source = FeedCheck::sourceName(rule.source);
    }
    void add(const FeedFinding::Place &place, const QString &message) {
        // Once the first ones are known, a finding after the last of them
        // is only counted.
        if (m_full && !(FeedFindingOrder::sortKey(place) <
                        FeedFindingOrder::sortKey(m_pending.last().place))) {
            ++m_left;
            return;
        }
        m_full = false;
        m_pending.append({m_rule->severity, m_id, place, message, m_source});
        // Most rules find in feed order, not all: trimmed now and then to
        // the first by place, which a later finding may still displace.
        if (m_pending.size() >= 2 * FeedCheck::FindingsPerRule)
            trim();
    }
    void finishRule() {
        trim();
        if (!m_pending.isEmpty())
            m_pending.last().more = m_left;
        m_out.append(m_pending);
        m_pending.clear();
        m_left = 0;
        m_full = false;
    }

private:
    void trim() {
        std::stable_sort(m_pending.begin(), m_pending.end(), FeedFindingOrder::placeOrder);
        if (m_pending.size() >= FeedCheck::FindingsPerRule) {
            m_left += m_pending.size() - FeedCheck::FindingsPerRule;
            m_pending.resize(FeedCheck::FindingsPerRule);
            m_full = true;
        }
    }

    QList<FeedFinding> &m_out;
    const FeedCheck::Rule *m_rule = nullptr;
    QString m_id;
    QString m_source;
    QList<FeedFinding> m_pending;
    qsizetype m_left = 0;
    bool m_full = false; // sorted, and as many as a rule shows
};
