#include "JsonOutput.h"

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
            switch (c) {
            case u'"':
                m_buffer += "\\\"";
                break;
            case u'\\':
                m_buffer += "\\\\";
                break;
            case u'\n':
                m_buffer += "\\n";
                break;
            case u'\r':
                m_buffer += "\\r";
                break;
            case u'\t':
                m_buffer += "\\t";
                break;
            default:
                if (c < 0x20)
                    appendUnicodeEscape(m_buffer, c);
                else
                    m_buffer += char(c);
            }
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

void JsonOutput::utf8String(QByteArrayView text) {
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
        const char c = *p++;
        switch (c) {
        case '"':
            m_buffer += "\\\"";
            break;
        case '\\':
            m_buffer += "\\\\";
            break;
        case '\n':
            m_buffer += "\\n";
            break;
        case '\r':
            m_buffer += "\\r";
            break;
        case '\t':
            m_buffer += "\\t";
            break;
        default:
            appendUnicodeEscape(m_buffer, uchar(c));
        }
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
