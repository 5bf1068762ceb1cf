#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The byte classes the repair reads markup by. Only ASCII is looked at;
// bytes above it count as name characters and the strict parser judges them.
namespace XmlRepairBytes {
inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
inline bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool isNameStart(char c) {
    return isAsciiLetter(c) || c == '_' || c == ':' || uchar(c) >= 0x80;
}
inline bool isNameChar(char c) {
    return isNameStart(c) || isDigit(c) || c == '-' || c == '.';
}

inline bool startsWith(const QByteArray &text, qsizetype at, QByteArrayView what) {
    return text.size() - at >= what.size() && QByteArrayView(text).sliced(at, what.size()) == what;
}

} // namespace XmlRepairBytes
