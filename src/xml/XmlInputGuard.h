#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <iconv.h>

// Looks at the raw input as it is read, before libxml2 parses it, for what
// libxml2 handles too slowly: its duplicate-attribute check is quadratic, so
// one tag with a hundred thousand attributes takes many seconds. Counting
// '=' between '<' and '>' is a cheap upper bound on a tag's attributes.
//
// The count has to be taken on characters, not bytes: in UTF-16 a '>' byte
// can be half of another character, and UTF-7 hides every '=' in base64. So
// input in an encoding that is not ASCII-compatible byte for byte is decoded
// here too, from where libxml2 starts decoding it.
class XmlInputGuard {
public:
    static constexpr qsizetype MaxAttributes = 10000;

    XmlInputGuard() = default;
    ~XmlInputGuard();
    XmlInputGuard(const XmlInputGuard &) = delete;
    XmlInputGuard &operator=(const XmlInputGuard &) = delete;

    // False once the input goes past a limit; reason() says which.
    bool scan(QByteArrayView chunk);
    QString reason() const { return m_reason; }

private:
    // Until the encoding is known the first bytes are held here.
    static constexpr qsizetype HeadLimit = 1024;
    bool decide();
    bool scanDecoded(QByteArrayView bytes);
    bool scanCharacters(QByteArrayView utf8);

    enum class State { Text, TagStart, Tag, Declaration };
    State m_state = State::Text;
    qsizetype m_equals = 0;
    QString m_reason;

    bool m_decided = false;
    QByteArray m_head;
    iconv_t m_decoder = iconv_t(-1);
    QByteArray m_pending; // an incomplete multi-byte sequence
};
