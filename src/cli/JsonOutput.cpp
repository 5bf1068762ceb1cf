#include "JsonOutput.h"

#include <array>

namespace {
constexpr std::size_t FlushAt = std::size_t(1) << 20;

void appendUnicodeEscape(std::string &out, unsigned unit) {
    static constexpr char Hex[] = "0123456789abcdef";
    out += "\\u";
    out += Hex[(unit >> 12) & 0xF];
    out += Hex[(unit >> 8) & 0xF];
    out += Hex[(unit >> 4) & 0xF];
    out += Hex[unit & 0xF];
}

// A control character, a quote or a backslash, as JSON writes it.
void appendEscape(std::string &out, unsigned c) {
    switch (c) {
    case '"':
        out += "\\\"";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        appendUnicodeEscape(out, c);
    }
}
} // namespace

JsonOutput::JsonOutput(std::FILE *out)
    : m_out(out) {
    m_buffer.reserve(FlushAt + 4096);
}

JsonOutput::~JsonOutput() {
    flush();
}

void JsonOutput::raw(std::string_view text) {
    m_buffer.append(text);
    flushIfFull();
}

void JsonOutput::number(long long value) {
    m_buffer += std::to_string(value);
    flushIfFull();
}

void JsonOutput::string(const QString &text) {
    m_buffer += '"';
    const auto *p = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *end = p + text.size();
    while (p < end) {
        const char16_t c = *p++;
        if (c < 0x80) {
            if (c < 0x20 || c == u'"' || c == u'\\')
                appendEscape(m_buffer, c);
            else
                m_buffer += char(c);
        } else if (c < 0x800) {
            m_buffer += char(0xC0 | (c >> 6));
            m_buffer += char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t code = QChar::surrogateToUcs4(c, *p++);
            m_buffer += char(0xF0 | (code >> 18));
            m_buffer += char(0x80 | ((code >> 12) & 0x3F));
            m_buffer += char(0x80 | ((code >> 6) & 0x3F));
            m_buffer += char(0x80 | (code & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            appendUnicodeEscape(m_buffer, c);
        } else {
            m_buffer += char(0xE0 | (c >> 12));
            m_buffer += char(0x80 | ((c >> 6) & 0x3F));
            m_buffer += char(0x80 | (c & 0x3F));
        }
    }
    m_buffer += '"';
    flushIfFull();
}

namespace {
// The bytes a string cannot take as they are: control characters, '"',
// '\\', and every byte of a multi-byte character.
constexpr auto Special = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
    return table;
}();
} // namespace

bool JsonOutput::appendStrictUtf8(QByteArrayView text) {
    const auto *p = reinterpret_cast<const uchar *>(text.data());
    const uchar *end = p + text.size();
    while (p < end) {
        const uchar *run = p;
        while (p < end && !Special[*p])
            ++p;
        m_buffer.append(reinterpret_cast<const char *>(run), std::size_t(p - run));
        if (p == end)
            break;
        const uchar c = *p;
        if (c < 0x80) {
            appendEscape(m_buffer, c);
            ++p;
            continue;
        }
        // A character of Unicode's well-formed byte sequences, and nothing
        // else: no overlong form, no surrogate, nothing above U+10FFFF.
        const int length = c >= 0xC2 && c <= 0xDF   ? 2
                           : c >= 0xE0 && c <= 0xEF ? 3
                           : c >= 0xF0 && c <= 0xF4 ? 4
                                                    : 0;
        if (length == 0 || end - p < length)
            return false;
        const uchar second = p[1];
        const uchar low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const uchar high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (second < low || second > high)
            return false;
        for (int k = 2; k < length; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
        }
        m_buffer.append(reinterpret_cast<const char *>(p), std::size_t(length));
        p += length;
    }
    return true;
}

void JsonOutput::utf8String(QByteArrayView text) {
    // Strict UTF-8 in one pass; anything else the careful way.
    const std::size_t mark = m_buffer.size();
    m_buffer += '"';
    if (!text.startsWith("\xEF\xBB\xBF") && appendStrictUtf8(text)) {
        m_buffer += '"';
        flushIfFull();
        return;
    }
    m_buffer.resize(mark);
    utf8StringChecked(text);
}

void JsonOutput::utf8Lines(const QList<QByteArrayView> &pieces) {
    const std::size_t mark = m_buffer.size();
    m_buffer += '"';
    // Joined as KeptContent joins a block: a line feed once anything stands.
    bool strict = pieces.isEmpty() || !pieces.first().startsWith("\xEF\xBB\xBF");
    bool any = false;
    for (qsizetype i = 0; strict && i < pieces.size(); ++i) {
        if (any)
            m_buffer += "\\n";
        any = any || !pieces[i].isEmpty();
        strict = appendStrictUtf8(pieces[i]);
    }
    if (strict) {
        m_buffer += '"';
        flushIfFull();
        return;
    }
    m_buffer.resize(mark);
    QByteArray joined;
    for (const QByteArrayView piece : pieces) {
        if (!joined.isEmpty())
            joined += '\n';
        joined += piece;
    }
    utf8StringChecked(joined);
}

void JsonOutput::utf8StringChecked(QByteArrayView text) {
    // Valid UTF-8 is written as it is, escapes aside: the kept content of a
    // large feed is most of what a dump writes. Anything else, and a leading
    // byte-order mark, goes the way of every other text.
    if (text.startsWith("\xEF\xBB\xBF") || !text.isValidUtf8()) {
        string(QString::fromUtf8(text));
        return;
    }
    m_buffer += '"';
    const char *p = text.data();
    const char *end = p + text.size();
    while (p < end) {
        const char *run = p;
        while (p < end && uchar(*p) >= 0x20 && *p != '"' && *p != '\\')
            ++p;
        m_buffer.append(run, std::size_t(p - run));
        if (p == end)
            break;
        appendEscape(m_buffer, uchar(*p++));
    }
    m_buffer += '"';
    flushIfFull();
}

void JsonOutput::flushIfFull() {
    if (m_buffer.size() >= FlushAt)
        flush();
}

bool JsonOutput::flush() {
    if (!m_buffer.empty()) {
        if (!m_failed && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) != m_buffer.size())
            m_failed = true;
        m_buffer.clear();
    }
    if (!m_failed && std::fflush(m_out) != 0)
        m_failed = true;
    return !m_failed;
}
