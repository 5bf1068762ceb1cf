#include "XmlRepair.h"

#include "LineCounter.h"
#include "XmlDocument.h"
#include "XmlRepairBytes.h"
#include "XmlRepairPass.h"

#include <algorithm>
#include <vector>

namespace {
using Change = XmlRepair::Change;
using namespace XmlRepairBytes;

// Windows-1252 at 0x80-0x9F; the five bytes it leaves undefined read as the
// C1 control of the same number, as browsers read them.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar windows1252(uchar byte) {
    return byte >= 0x80 && byte < 0xA0 ? QChar(Windows1252High[byte - 0x80])
                                       : QChar(char16_t(byte));
}

// The length of the well-formed UTF-8 sequence at `i`, or 0.
qsizetype utf8Length(const QByteArray &text, qsizetype i) {
    const auto at = [&](qsizetype k) { return k < text.size() ? uchar(text[k]) : uchar(0); };
    const auto cont = [](uchar c, uchar low = 0x80, uchar high = 0xBF) {
        return c >= low && c <= high;
    };
    const uchar c = at(i);
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return cont(at(i + 1)) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const uchar low = c == 0xE0 ? 0xA0 : 0x80;
        const uchar high = c == 0xED ? 0x9F : 0xBF;
        return cont(at(i + 1), low, high) && cont(at(i + 2)) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const uchar low = c == 0xF0 ? 0x90 : 0x80;
        const uchar high = c == 0xF4 ? 0x8F : 0xBF;
        return cont(at(i + 1), low, high) && cont(at(i + 2)) && cont(at(i + 3)) ? 4 : 0;
    }
    return 0;
}

// The encoding the declaration names; empty when it names none.
QByteArray declaredEncoding(const QByteArray &text, qsizetype declaration) {
    const qsizetype end = text.indexOf("?>", declaration);
    if (end < 0)
        return {};
    const QByteArray inside = text.mid(declaration, end - declaration);
    qsizetype at = inside.indexOf("encoding");
    if (at < 0)
        return {};
    at += 8;
    while (at < inside.size() && (isSpace(inside[at]) || inside[at] == '='))
        ++at;
    if (at >= inside.size() || (inside[at] != '"' && inside[at] != '\''))
        return {};
    const qsizetype close = inside.indexOf(inside[at], at + 1);
    return close < 0 ? QByteArray() : inside.mid(at + 1, close - at - 1).toLower();
}

// Encodings in which every byte below 0x80 is that ASCII character, so the
// repairs, which only look at ASCII, read the file right.
bool isAsciiCompatible(const QByteArray &encoding) {
    static const char *const prefixes[] = {
        "utf-8",     "utf8",  "us-ascii", "ascii",     "iso-8859", "iso8859", "iso_8859",
        "latin",     "l1",    "windows-", "cp125",     "cp874",    "cp932",   "cp936",
        "cp949",     "cp950", "cp866",    "cp850",     "cp437",    "koi8",    "shift_jis",
        "shift-jis", "sjis",  "x-sjis",   "euc-",      "euc_",     "gb2312",  "gbk",
        "gb18030",   "big5",  "tis-620",  "macintosh", "x-mac"};
    return std::any_of(std::begin(prefixes), std::end(prefixes),
                       [&](const char *prefix) { return encoding.startsWith(prefix); });
}

// Where the first "<?xml" declaration starts, or -1.
qsizetype findDeclaration(const QByteArray &text, qsizetype from) {
    for (qsizetype at = text.indexOf("<?xml", from); at >= 0; at = text.indexOf("<?xml", at + 5)) {
        const qsizetype next = at + 5;
        if (next < text.size() && (isSpace(text[next]) || text[next] == '?'))
            return at;
    }
    return -1;
}

// Where the first "<rss" start tag begins at or after `from`, or -1.
qsizetype findRssRoot(const QByteArray &text, qsizetype from) {
    for (qsizetype at = text.indexOf("<rss", from); at >= 0; at = text.indexOf("<rss", at + 4)) {
        const qsizetype next = at + 4;
        if (next < text.size() && (isSpace(text[next]) || text[next] == '>' || text[next] == '/'))
            return at;
    }
    return -1;
}

// Text a server printed before the feed (blank lines, PHP's warnings in
// HTML) rather than a document of its own: nothing that starts a feed or an
// HTML page, so an HTML page that moved stays refused.
bool isStrayText(QByteArrayView text) {
    static const char *const documentStarts[] = {"<rss",      "<channel",  "<item", "<feed",
                                                 "<rdf",      "<html",     "<body", "<head",
                                                 "<!doctype", "<![cdata[", "<?xml"};
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] != '<')
            continue;
        const QByteArray tail =
            text.sliced(at, std::min<qsizetype>(9, text.size() - at)).toByteArray().toLower();
        for (const char *start : documentStarts) {
            if (tail.startsWith(start))
                return false;
        }
    }
    return true;
}

// Where a prolog of blanks, comments and processing instructions ends.
qsizetype skipProlog(const QByteArray &text, qsizetype at) {
    while (at < text.size()) {
        if (isSpace(text[at])) {
            ++at;
        } else if (startsWith(text, at, "<!--")) {
            const qsizetype end = text.indexOf("-->", at + 4);
            if (end < 0)
                return at;
            at = end + 3;
        } else if (startsWith(text, at, "<?")) {
            const qsizetype end = text.indexOf("?>", at + 2);
            if (end < 0)
                return at;
            at = end + 2;
        } else {
            break;
        }
    }
    return at;
}

QString shown(QByteArrayView bytes) {
    return QString::fromUtf8(bytes);
}

struct Decoded {
    QList<Change> changes;
    QList<qsizetype> at; // where each stands in the decoded text
};

// Bytes that are not UTF-8 read as Windows-1252, a change per run.
QByteArray decodeStrayBytes(const QByteArray &in, Decoded &decoded) {
    QList<Change> &changes = decoded.changes;
    QList<qsizetype> &at = decoded.at;
    static const QString what = QStringLiteral("bytes that are not UTF-8 read as Windows-1252");
    LineCounter lines(in);
    QByteArray out;
    out.reserve(in.size());
    qsizetype copied = 0;
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n && changes.size() <= XmlRepair::MaxChanges;) {
        if (uchar(in[i]) < 0x80) {
            ++i;
            continue;
        }
        const qsizetype length = utf8Length(in, i);
        if (length > 0) {
            i += length;
            continue;
        }
        // A long run is listed in pieces, so no entry of the list is large.
        constexpr qsizetype LongestRun = 32;
        static constexpr char Hex[] = "0123456789ABCDEF";
        qsizetype end = i;
        QString was;
        QString now;
        was.reserve(4 * LongestRun);
        now.reserve(LongestRun);
        while (end < n && end - i < LongestRun && uchar(in[end]) >= 0x80 &&
               utf8Length(in, end) == 0) {
            const uchar byte = uchar(in[end]);
            was += u"\\x";
            was += QChar(char16_t(Hex[byte >> 4]));
            was += QChar(char16_t(Hex[byte & 0xF]));
            now += windows1252(byte);
            ++end;
        }
        out.append(QByteArrayView(in).sliced(copied, i - copied));
        at.append(out.size());
        out.append(now.toUtf8());
        changes.append({lines.lineAt(i), was, now, what});
        copied = end;
        i = end;
    }
    out.append(QByteArrayView(in).sliced(copied));
    return out;
}

QString TooMany() {
    return QStringLiteral("It would take more than %1 changes: this is not a feed with a few "
                          "faults.")
        .arg(XmlRepair::MaxChanges);
}

// Text dropped before the feed, in `text`.
struct Dropped {
    qsizetype from;
    qsizetype to;
    bool beforeRoot; // else before the declaration
};

// The markup pass over `text` without what is dropped, and the strict check.
XmlRepair::Result mend(const QByteArray &text, const QList<Dropped> &dropped,
                       const Decoded &decoded, bool utf8, const XmlRepair::Namespaces &wellKnown) {
    XmlRepair::Result result;
    QByteArray kept;
    int lineOffset = 0;
    if (dropped.isEmpty()) {
        kept = text;
    } else {
        LineCounter lines(text);
        qsizetype from = 0;
        qsizetype lastAt = 0; // where the text after the last drop starts in `kept`
        for (const Dropped &drop : std::as_const(dropped)) {
            kept += QByteArrayView(text).sliced(from, drop.from - from);
            const QByteArrayView gone = QByteArrayView(text).sliced(drop.from, drop.to - drop.from);
            result.changes.append(
                {lines.lineAt(drop.from), shown(gone), QString(),
                 drop.beforeRoot ? QStringLiteral("text before the root element removed")
                                 : QStringLiteral("text before the XML declaration removed")});
            from = drop.to;
            lastAt = kept.size();
        }
        kept += QByteArrayView(text).sliced(from);
        // The markup pass changes nothing before the last drop, so one offset
        // turns its lines into the file's.
        LineCounter keptLines(kept);
        lineOffset = lines.lineAt(dropped.last().to) - keptLines.lineAt(lastAt);
    }
    for (qsizetype k = 0; k < decoded.changes.size(); ++k) {
        const bool gone = std::any_of(dropped.begin(), dropped.end(), [&](const Dropped &drop) {
            return decoded.at[k] >= drop.from && decoded.at[k] < drop.to;
        });
        if (!gone)
            result.changes.append(decoded.changes[k]);
    }

    QList<Change> marked;
    XmlRepairPass pass(kept, utf8, lineOffset, marked);
    result.text = pass.run(wellKnown);
    result.changes.append(marked);
    if (pass.tooMany() || result.changes.size() > XmlRepair::MaxChanges) {
        result.text.clear();
        result.changes.clear();
        result.error = TooMany();
        return result;
    }
    std::stable_sort(result.changes.begin(), result.changes.end(),
                     [](const Change &a, const Change &b) { return a.line < b.line; });

    const QString error = XmlDocument::checkWellFormed(result.text);
    if (!error.isEmpty()) {
        result.error = QStringLiteral("Not well-formed even after repair: %1").arg(error);
        result.text.clear();
        result.changes.clear();
        return result;
    }
    result.repaired = true;
    return result;
}
} // namespace

XmlRepair::Result XmlRepair::repair(const QByteArray &bytes, const Namespaces &wellKnown) {
    Result result;
    if (bytes.trimmed().isEmpty()) {
        result.error = QStringLiteral("The file is empty.");
        return result;
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
        bytes.startsWith(QByteArrayView("\0<\0?", 4)) ||
        bytes.startsWith(QByteArrayView("<\0?\0", 4))) {
        result.error = QStringLiteral("The file is in UTF-16, which the repair does not read.");
        return result;
    }
    if (bytes.contains('\0')) {
        result.error = QStringLiteral("The file is not text: it holds NUL bytes.");
        return result;
    }
    const qsizetype bom = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype declaration = findDeclaration(bytes, bom);
    const QByteArray encoding =
        bom > 0 || declaration < 0 ? QByteArray() : declaredEncoding(bytes, declaration);
    const bool utf8 = encoding.isEmpty() || encoding == "utf-8" || encoding == "utf8";
    if (!isAsciiCompatible(encoding) && !utf8) {
        result.error = QStringLiteral("The file's encoding %1 is not one the repair reads.")
                           .arg(QString::fromLatin1(encoding));
        return result;
    }

    Decoded decoded;
    const QByteArray text = utf8 ? decodeStrayBytes(bytes, decoded) : bytes;
    if (decoded.changes.size() > MaxChanges) {
        result.error = TooMany();
        return result;
    }

    // What a server printed before the feed: before the declaration, and
    // between it (or the start) and an rss root.
    QList<Dropped> dropped;
    qsizetype at = bom;
    const qsizetype start = findDeclaration(text, bom);
    if (start > bom && isStrayText(QByteArrayView(text).sliced(bom, start - bom))) {
        dropped.append({bom, start, false});
        at = start;
    }
    if (startsWith(text, at, "<?xml")) {
        const qsizetype end = text.indexOf("?>", at);
        at = end < 0 ? text.size() : end + 2;
    }
    at = skipProlog(text, at);
    if (at < text.size() && !startsWith(text, at, "<!DOCTYPE") && findRssRoot(text, at) != at) {
        const qsizetype root = findRssRoot(text, at);
        if (root > at && isStrayText(QByteArrayView(text).sliced(at, root - at)))
            dropped.append({at, root, true});
    }

    Result mended = mend(text, dropped, decoded, utf8, wellKnown);
    // Text before an rss root that turns out to be part of the document
    // (another root) is not a server's message: without dropping it the file
    // may still be mended.
    if (!mended.repaired && !dropped.isEmpty() && dropped.last().beforeRoot) {
        dropped.removeLast();
        Result second = mend(text, dropped, decoded, utf8, wellKnown);
        if (second.repaired)
            return second;
    }
    return mended;
}

QString XmlRepair::placeholderNamespace(const QString &prefix) {
    return QStringLiteral("urn:x-undeclared-prefix:") + prefix;
}

QString XmlRepair::describe(const Change &change) {
    const auto visible = [](const QString &text) {
        constexpr qsizetype Longest = 60;
        QString result;
        for (const QChar c : text.left(Longest)) {
            if (c == u'\n')
                result += QStringLiteral("\\n");
            else if (c == u'\r')
                result += QStringLiteral("\\r");
            else if (c == u'\t')
                result += QStringLiteral("\\t");
            else if (c.unicode() < 0x20)
                result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
            else
                result += c;
        }
        if (text.size() > Longest)
            result += QChar(0x2026);
        return u'"' + result + u'"';
    };
    return QStringLiteral("line %1: %2 \u2192 %3: %4")
        .arg(change.line)
        .arg(visible(change.was), visible(change.now), change.what);
}
