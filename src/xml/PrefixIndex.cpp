#include "PrefixIndex.h"

#include <QSet>

#include <algorithm>

namespace {
// Bytes that can stand in an XML name; any byte of a multi-byte character
// counts, so a prefix in another script is found as well.
bool isNameByte(char c) {
    const auto b = uchar(c);
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_' ||
           b == '-' || b == '.' || b >= 0x80;
}
} // namespace

PrefixIndex::PrefixIndex(const Namespaces &bindings)
    : m_bindings(bindings) {
    m_byPrefix.reserve(bindings.size());
    for (qsizetype i = 0; i < bindings.size(); ++i) {
        if (!bindings[i].first.isEmpty())
            m_byPrefix[bindings[i].first.toUtf8()].append(i);
    }
}

PrefixIndex::Namespaces PrefixIndex::usedBy(QByteArrayView xml) const {
    Namespaces used;
    if (m_byPrefix.isEmpty())
        return used;
    QSet<QByteArrayView> seen;
    QList<qsizetype> wanted;
    qsizetype start = 0;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        const char c = xml[i];
        if (isNameByte(c))
            continue;
        if (c == ':' && i > start) {
            const QByteArrayView prefix = xml.sliced(start, i - start);
            if (!seen.contains(prefix)) {
                seen.insert(prefix);
                const auto found = m_byPrefix.constFind(prefix.toByteArray());
                if (found != m_byPrefix.constEnd())
                    wanted += *found;
            }
        }
        start = i + 1;
    }
    std::sort(wanted.begin(), wanted.end());
    used.reserve(wanted.size());
    for (const qsizetype index : std::as_const(wanted))
        used.append(m_bindings[index]);
    return used;
}
