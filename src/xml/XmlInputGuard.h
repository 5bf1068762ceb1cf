#pragma once

#include <QByteArrayView>
#include <QString>

// Looks at the raw input as it is read, before libxml2 parses it, for what
// libxml2 handles too slowly: its duplicate-attribute check is quadratic, so
// one tag with a hundred thousand attributes takes many seconds. Counting
// '=' between '<' and '>' is a cheap upper bound on a tag's attributes.
class XmlInputGuard {
public:
    static constexpr qsizetype MaxAttributes = 10000;

    // False once the input goes past a limit; reason() says which.
    bool scan(QByteArrayView chunk);
    QString reason() const { return m_reason; }

private:
    enum class State { Text, TagStart, Tag, Declaration };
    State m_state = State::Text;
    qsizetype m_equals = 0;
    QString m_reason;
};
