#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <utility>

// Finds, among many prefix bindings, the few that a piece of XML text can
// use, so that a fragment is checked or read with only those declared
// around it: a feed with thousands of prefixes must not make each of its
// blocks declare, and libxml2 compare, every one of them.
class PrefixIndex {
public:
    using Namespaces = QList<std::pair<QString, QString>>;

    explicit PrefixIndex(const Namespaces &bindings);

    // The bindings whose prefix stands in `xml` right before a ':', in their
    // given order. Text that only looks like a prefix ("http:") may bring in
    // a binding that is not needed, which does no harm; a prefix the text
    // uses is never left out.
    Namespaces usedBy(QByteArrayView xml) const;

private:
    Namespaces m_bindings;
    QHash<QByteArray, QList<qsizetype>> m_byPrefix;
};
