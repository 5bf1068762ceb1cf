#include "EntityExpansionBudget.h"

#include <QXmlStreamReader>
#include <cstring>

namespace {
// The parser refuses any single entity that expands beyond this.
constexpr qint64 SingleEntityLimit = 4096;
constexpr qsizetype LongestName = 256;

bool isPredefined(QStringView name) {
    return name == u"amp" || name == u"lt" || name == u"gt" || name == u"quot" || name == u"apos";
}

bool isNameByte(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.' || c == '#' || c >= 0x80;
}

struct Declared {
    QString value;
    qint64 cost = -1; // -1: not priced yet, -2: being priced (a cycle)
};

// Length of the entity's replacement text with nested references expanded.
// The nesting is walked with a bounded depth: the parser refuses deeper
// chains and cycles anyway, so anything that deep is priced at the limit.
qint64 price(const QString &name, QHash<QString, Declared> &declared, int depth) {
    auto it = declared.find(name);
    if (it == declared.end())
        return isPredefined(name) ? 1 : 0;
    if (it->cost >= 0)
        return it->cost;
    if (it->cost == -2 || depth > 32)
        return SingleEntityLimit;
    it->cost = -2;
    const QString value = it->value;
    qint64 total = 0;
    for (qsizetype i = 0; i < value.size() && total < SingleEntityLimit;) {
        if (value[i] != u'&') {
            ++total;
            ++i;
            continue;
        }
        const qsizetype end = value.indexOf(u';', i + 1);
        if (end < 0) {
            total += value.size() - i;
            break;
        }
        const QString ref = value.mid(i + 1, end - i - 1);
        total += ref.startsWith(u'#') ? 1 : price(ref, declared, depth + 1);
        i = end + 1;
    }
    total = qMin(total, SingleEntityLimit);
    declared[name].cost = total;
    return total;
}
} // namespace

void EntityExpansionBudget::setDeclarations(const QXmlStreamEntityDeclarations &declarations) {
    QHash<QString, Declared> declared;
    for (const QXmlStreamEntityDeclaration &entity : declarations) {
        // External entities are never fetched, so they expand to nothing.
        if (!entity.systemId().isEmpty() || !entity.publicId().isEmpty())
            continue;
        declared.insert(entity.name().toString(), Declared{entity.value().toString()});
    }
    m_costs.clear();
    m_maxCost = 0;
    for (auto it = declared.begin(); it != declared.end(); ++it) {
        const qint64 cost = price(it.key(), declared, 0);
        m_costs.insert(it.key().toUtf8(), cost);
        m_maxCost = qMax(m_maxCost, cost);
    }
}

qint64 EntityExpansionBudget::costOf(const QByteArray &name) const {
    if (name.startsWith('#'))
        return 0;
    const auto it = m_costs.constFind(name);
    if (it != m_costs.cend())
        return *it;
    if (isPredefined(QString::fromLatin1(name)))
        return 0;
    // A name spelled in another encoding than the declaration's: assume the worst.
    return m_maxCost;
}

void EntityExpansionBudget::resetScan() {
    m_inReference = false;
    m_name.clear();
}

bool EntityExpansionBudget::charge(const QByteArray &bytes) {
    if (m_maxCost == 0)
        return true;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        if (!m_inReference) {
            const void *amp = std::memchr(p, '&', end - p);
            if (!amp)
                break;
            p = static_cast<const uchar *>(amp) + 1;
            m_inReference = true;
            m_name.clear();
            continue;
        }
        const uchar c = *p++;
        if (c == 0) // the second half of a UTF-16 unit
            continue;
        if (c == ';') {
            m_spent += costOf(m_name);
            resetScan();
            if (m_spent > m_limit)
                return false;
        } else if (isNameByte(c)) {
            if (m_name.size() < LongestName)
                m_name.append(char(c));
        } else {
            resetScan();
        }
    }
    return m_spent <= m_limit;
}
