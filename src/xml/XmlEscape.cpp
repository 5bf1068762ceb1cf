#include "XmlEscape.h"

#include <cstring>

namespace XmlEscape {
namespace {
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Copies runs without special characters in one go: most text has none.
template<typename Special, typename Replace>
void appendEscaped(QByteArray &out, QByteArrayView text, Special special, Replace replace) {
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!special(c))
            continue;
        out.append(text.data() + run, i - run);
        out += replace(c);
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

void appendUcs4(QString &out, char32_t code) {
    out += QString::fromUcs4(&code, 1);
}
} // namespace

void appendText(QByteArray &out, QByteArrayView text) {
    // Three vectorised searches beat one loop over the bytes.
    const size_t size = size_t(text.size());
    if (!std::memchr(text.data(), '&', size) && !std::memchr(text.data(), '<', size) &&
        !std::memchr(text.data(), '>', size)) {
        out.append(text);
        return;
    }
    appendEscaped(
        out, text, [](char c) { return c == '&' || c == '<' || c == '>'; },
        [](char c) -> const char * {
            switch (c) {
            case '&':
                return "&amp;";
            case '<':
                return "&lt;";
            default:
                return "&gt;";
            }
        });
}

void appendAttribute(QByteArray &out, QByteArrayView text) {
    appendEscaped(
        out, text,
        [](char c) {
            return c == '&' || c == '<' || c == '"' || c == '\t' || c == '\n' || c == '\r';
        },
        [](char c) -> const char * {
            switch (c) {
            case '&':
                return "&amp;";
            case '<':
                return "&lt;";
            case '"':
                return "&quot;";
            case '\t':
                return "&#9;";
            case '\n':
                return "&#10;";
            default:
                return "&#13;";
            }
        });
}

bool isBlank(QByteArrayView text) {
    for (const char c : text) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QString trimmed(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto space = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    while (begin < end && space(text[begin]))
        ++begin;
    while (end > begin && space(text[end - 1]))
        --end;
    return begin == 0 && end == text.size() ? text : text.sliced(begin, end - begin);
}

QString characterData(QByteArrayView xml) {
    // Most values are plain text: one conversion, nothing to replace.
    if (!std::memchr(xml.data(), '<', size_t(xml.size())) &&
        !std::memchr(xml.data(), '&', size_t(xml.size())))
        return QString::fromUtf8(xml);
    QString out;
    out.reserve(xml.size());
    qsizetype i = 0;
    const auto skipPast = [&](QByteArrayView marker) {
        const qsizetype at = xml.indexOf(marker, i);
        i = at < 0 ? xml.size() : at + marker.size();
    };
    while (i < xml.size()) {
        const char c = xml[i];
        if (c == '<') {
            const QByteArrayView rest = xml.sliced(i);
            if (rest.startsWith("<![CDATA[")) {
                const qsizetype begin = i + 9;
                const qsizetype end = xml.indexOf("]]>", begin);
                const qsizetype stop = end < 0 ? xml.size() : end;
                out += QString::fromUtf8(xml.sliced(begin, stop - begin));
                i = end < 0 ? xml.size() : end + 3;
            } else if (rest.startsWith("<!--")) {
                skipPast("-->");
            } else if (rest.startsWith("<?")) {
                skipPast("?>");
            } else {
                // A tag: attribute values are in double quotes and hold no '>'
                // that matters, as the writer escapes none of them to '>'.
                bool quoted = false;
                while (i < xml.size() && (quoted || xml[i] != '>')) {
                    if (xml[i] == '"')
                        quoted = !quoted;
                    ++i;
                }
                ++i;
            }
        } else if (c == '&') {
            const qsizetype end = xml.indexOf(';', i);
            if (end < 0) {
                out += QLatin1Char('&');
                ++i;
                continue;
            }
            const QByteArrayView name = xml.sliced(i + 1, end - i - 1);
            if (name == "amp")
                out += u'&';
            else if (name == "lt")
                out += u'<';
            else if (name == "gt")
                out += u'>';
            else if (name == "quot")
                out += u'"';
            else if (name == "apos")
                out += u'\'';
            else if (name.startsWith("#x"))
                appendUcs4(out, char32_t(name.sliced(2).toUInt(nullptr, 16)));
            else if (name.startsWith('#'))
                appendUcs4(out, char32_t(name.sliced(1).toUInt(nullptr, 10)));
            else
                out += QString::fromUtf8(xml.sliced(i, end - i + 1));
            i = end + 1;
        } else {
            qsizetype end = i;
            while (end < xml.size() && xml[end] != '<' && xml[end] != '&')
                ++end;
            out += QString::fromUtf8(xml.sliced(i, end - i));
            i = end;
        }
    }
    return out;
}

QByteArray cdataAsText(QByteArrayView xml) {
    QByteArray out;
    out.reserve(xml.size());
    qsizetype i = 0;
    for (;;) {
        const qsizetype begin = xml.indexOf("<![CDATA[", i);
        if (begin < 0) {
            out.append(xml.sliced(i));
            return out;
        }
        out.append(xml.sliced(i, begin - i));
        const qsizetype end = xml.indexOf("]]>", begin + 9);
        const qsizetype stop = end < 0 ? xml.size() : end;
        appendText(out, xml.sliced(begin + 9, stop - begin - 9));
        i = end < 0 ? xml.size() : end + 3;
    }
}
} // namespace XmlEscape
