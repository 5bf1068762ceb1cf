#include "XmlInputGuard.h"

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
// Encodings in which '<', '=' and '>' are always those bytes and never part
// of another character: the raw bytes can be counted.
bool asciiTransparent(const QByteArray &encoding) {
    static const QRegularExpression names(
        QStringLiteral("^(UTF-?8|US-?ASCII|ASCII|ISO[-_]?8859-[0-9]+|ISO[-_]?LATIN-?[0-9]+|"
                       "LATIN-?[0-9]+|L[0-9]|WINDOWS-125[0-8]|CP125[0-8]|KOI8-[RU])$"),
        QRegularExpression::CaseInsensitiveOption);
    return names.match(QString::fromLatin1(encoding)).hasMatch();
}

// '=' is rare in a feed: hopping with memchr beats looking at every byte.
qsizetype countEquals(const char *p, const char *end) {
    qsizetype count = 0;
    while (p < end) {
        const void *at = std::memchr(p, '=', size_t(end - p));
        if (!at)
            break;
        ++count;
        p = static_cast<const char *>(at) + 1;
    }
    return count;
}

bool startsWith(QByteArrayView bytes, const char *prefix, qsizetype length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, size_t(length)) == 0;
}
} // namespace

XmlInputGuard::~XmlInputGuard() {
    if (m_decoder != iconv_t(-1))
        iconv_close(m_decoder);
}

bool XmlInputGuard::scan(QByteArrayView chunk) {
    if (m_decided)
        return scanDecoded(chunk);
    m_head += chunk;
    // An ASCII declaration is read to its end, which comes within the first
    // line; a tag that could trip the limit does not fit into the head.
    const bool asciiDeclaration =
        m_head.startsWith("<?xml") || m_head.startsWith("\xEF\xBB\xBF<?xml");
    if (m_head.size() < 5 ||
        (asciiDeclaration && !m_head.contains("?>") && m_head.size() < HeadLimit))
        return true;
    return decide();
}

// Chooses as libxml2 does: a byte-order mark or the first four bytes, then
// the encoding the declaration names, which takes over right after its
// closing quote.
bool XmlInputGuard::decide() {
    m_decided = true;
    const QByteArray head = std::exchange(m_head, {});
    QByteArray encoding;
    qsizetype from = 0;
    if (startsWith(head, "\xFF\xFE\0\0", 4) || startsWith(head, "<\0\0\0", 4)) {
        encoding = "UTF-32LE";
    } else if (startsWith(head, "\0\0\xFE\xFF", 4) || startsWith(head, "\0\0\0<", 4)) {
        encoding = "UTF-32BE";
    } else if (startsWith(head, "\xFF\xFE", 2) || startsWith(head, "<\0?\0", 4)) {
        encoding = "UTF-16LE";
    } else if (startsWith(head, "\xFE\xFF", 2) || startsWith(head, "\0<\0?", 4)) {
        encoding = "UTF-16BE";
    } else if (startsWith(head, "\x4C\x6F\xA7\x94", 4)) {
        encoding = "IBM037";
    } else if (head.startsWith("<?xml") || head.startsWith("\xEF\xBB\xBF<?xml")) {
        static const QRegularExpression declared(
            QStringLiteral("^<\\?xml[^>]*?\\sencoding\\s*=\\s*([\"'])([A-Za-z0-9._-]+)\\1"));
        const qsizetype bom = head.startsWith('<') ? 0 : 3;
        const qsizetype end = head.indexOf("?>");
        const QString declaration =
            QString::fromLatin1(head.sliced(bom, (end < 0 ? head.size() : end) - bom));
        const QRegularExpressionMatch match = declared.match(declaration);
        if (match.hasMatch()) {
            const QByteArray name = match.captured(2).toLatin1();
            // libxml2 keeps UTF-8 for a UTF-16 label on ASCII bytes (and refuses it).
            if (!asciiTransparent(name) && !name.toUpper().startsWith("UTF-16") &&
                !name.toUpper().startsWith("UTF16")) {
                encoding = name;
                from = bom + match.capturedEnd(0);
            }
        }
    }
    if (!encoding.isEmpty())
        m_decoder = iconv_open("UTF-8", encoding.constData());
    // An encoding iconv does not know is refused by libxml2 as well.
    if (!scanCharacters(QByteArrayView(head).first(from)))
        return false;
    return scanDecoded(QByteArrayView(head).sliced(from));
}

bool XmlInputGuard::scanDecoded(QByteArrayView bytes) {
    if (m_decoder == iconv_t(-1))
        return scanCharacters(bytes);
    QByteArray input = std::exchange(m_pending, {});
    input += bytes;
    char *in = input.data();
    size_t inLeft = size_t(input.size());
    while (inLeft > 0) {
        char out[16384];
        char *outPtr = out;
        size_t outLeft = sizeof out;
        const size_t result = iconv(m_decoder, &in, &inLeft, &outPtr, &outLeft);
        if (!scanCharacters(QByteArrayView(out, outPtr - out)))
            return false;
        if (result != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (errno == EINVAL) {
            // the rest of a character comes with the next chunk
            m_pending = QByteArray(in, qsizetype(inLeft));
            return true;
        }
        // An undecodable byte: libxml2 stops there too.
        iconv_close(m_decoder);
        m_decoder = iconv_t(-1);
        return true;
    }
    return true;
}

bool XmlInputGuard::scanCharacters(QByteArrayView chunk) {
    // A chunk whose every '=' could not put a tag over the limit needs no
    // walk from tag to tag: only where it leaves off matters.
    const qsizetype equals = countEquals(chunk.data(), chunk.data() + chunk.size());
    if (m_equals + equals <= MaxAttributes) {
        const auto last = [&](char c) -> qsizetype {
            const void *at = memrchr(chunk.data(), c, size_t(chunk.size()));
            return at ? static_cast<const char *>(at) - chunk.data() : -1;
        };
        const qsizetype open = last('<');
        const qsizetype close = last('>');
        if (open < 0 && close < 0) {
            if (m_state == State::Tag)
                m_equals += equals;
            return true;
        }
        if (close > open) {
            m_state = State::Text;
            m_equals = 0;
            return true;
        }
        const QByteArrayView rest = chunk.sliced(open + 1);
        m_equals = countEquals(rest.data(), rest.data() + rest.size());
        m_state = rest.isEmpty()                               ? State::TagStart
                  : rest.front() == '!' || rest.front() == '?' ? State::Declaration
                                                               : State::Tag;
        return true;
    }
    const char *p = chunk.data();
    const char *const end = p + chunk.size();
    while (p < end) {
        switch (m_state) {
        case State::Text: {
            const void *open = std::memchr(p, '<', size_t(end - p));
            if (!open)
                return true;
            p = static_cast<const char *>(open) + 1;
            m_state = State::TagStart;
            break;
        }
        case State::TagStart:
            // Comments, CDATA, declarations and processing instructions hold
            // no attributes.
            m_state = (*p == '!' || *p == '?') ? State::Declaration : State::Tag;
            m_equals = 0;
            break;
        case State::Declaration: {
            const void *close = std::memchr(p, '>', size_t(end - p));
            if (!close)
                return true;
            p = static_cast<const char *>(close) + 1;
            m_state = State::Text;
            break;
        }
        case State::Tag: {
            const void *close = std::memchr(p, '>', size_t(end - p));
            const char *stop = close ? static_cast<const char *>(close) : end;
            m_equals += countEquals(p, stop);
            if (m_equals > MaxAttributes) {
                m_reason =
                    QStringLiteral("An element has more than %1 attributes").arg(MaxAttributes);
                return false;
            }
            p = stop;
            if (close) {
                ++p;
                m_state = State::Text;
            }
            break;
        }
        }
    }
    return true;
}
