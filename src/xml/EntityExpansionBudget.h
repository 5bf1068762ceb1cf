#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QXmlStreamEntityDeclarations>

// Guards against documents whose internal entities multiply the text, the
// "quadratic blow-up": one entity of a few thousand characters referenced a
// million times. The parser keeps every single entity below its own limit but
// not the sum, and it gathers a whole run of text before handing it over, so
// the raw bytes are priced here before the parser sees them.
class EntityExpansionBudget {
public:
    explicit EntityExpansionBudget(qint64 limitCharacters)
        : m_limit(limitCharacters) {}

    // The internal entities declared by the document type declaration.
    void setDeclarations(const QXmlStreamEntityDeclarations &declarations);
    bool hasPricedEntities() const { return m_maxCost > 0; }

    // Adds the expansion the references in these bytes would cost; false once
    // the total passes the limit. Bytes before the declarations are known cost
    // nothing, so the chunk holding the end of the declaration is priced again
    // with a fresh scan state (over-counting is safe).
    bool charge(const QByteArray &bytes);
    void resetScan();

    qint64 spent() const { return m_spent; }
    qint64 limit() const { return m_limit; }

private:
    qint64 costOf(const QByteArray &name) const;

    QHash<QByteArray, qint64> m_costs;
    qint64 m_maxCost = 0;
    qint64 m_limit;
    qint64 m_spent = 0;
    bool m_inReference = false;
    QByteArray m_name;
};
