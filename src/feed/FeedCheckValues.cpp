#include "FeedCheckValues.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cstring>

namespace FeedCheckValues {
// Names as they have to stand in an attribute the editor writes unescaped.
QString written(const QString &name) {
    return QString(name).replace(u'&', QStringLiteral("&amp;"));
}

// The field holds the text as written into the file, references included.
QString unescaped(const QString &text) {
    QString plain = text;
    plain.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return plain;
}

namespace {
// The extensions of files the directories play.
const std::initializer_list<MediaType> MediaTypes{
    {"mp3", {"audio/mpeg", "audio/mp3"}},
    {"m4a", {"audio/x-m4a", "audio/mp4", "audio/m4a", "audio/aac"}},
    {"aac", {"audio/aac", "audio/x-aac"}},
    {"mp4", {"video/mp4", "audio/mp4"}},
    {"m4v", {"video/x-m4v", "video/mp4"}},
    {"mov", {"video/quicktime"}},
    {"ogg", {"audio/ogg", "video/ogg"}},
    {"oga", {"audio/ogg"}},
    {"opus", {"audio/opus", "audio/ogg"}},
    {"wav", {"audio/wav", "audio/x-wav", "audio/wave"}},
    {"flac", {"audio/flac", "audio/x-flac"}},
    {"webm", {"audio/webm", "video/webm"}},
    {"pdf", {"application/pdf"}},
    {"epub", {"application/epub+zip"}},
};

} // namespace

bool isKnownType(const QString &type) {
    for (const MediaType &media : MediaTypes) {
        for (const char *known : media.types) {
            if (type.compare(QLatin1StringView(known), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

const MediaType *mediaOf(const QString &extension) {
    for (const MediaType &media : MediaTypes) {
        if (extension.compare(QLatin1StringView(media.extension), Qt::CaseInsensitive) == 0)
            return &media;
    }
    return nullptr;
}

bool hasInnerBlank(const QString &text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

bool hasOuterBlank(const QString &text) {
    return !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
}

namespace {
bool isAsciiLetterOrDigit(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}
bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
// What an address may hold after its host unencoded (RFC 3986's pchar,
// '/' and '?'), '%' aside.
bool isAddressChar(char16_t c) {
    if (isAsciiLetterOrDigit(c))
        return true;
    switch (c) {
    case u'-':
    case u'.':
    case u'_':
    case u'~':
    case u'!':
    case u'$':
    case u'&':
    case u'\'':
    case u'(':
    case u')':
    case u'*':
    case u'+':
    case u',':
    case u';':
    case u'=':
    case u':':
    case u'@':
    case u'/':
    case u'?':
        return true;
    default:
        return false;
    }
}
} // namespace

// Most addresses of a feed have the plainest form, which is judged here
// without QUrl (a tenth of a long feed's check): http or https, a host
// name, maybe a port, and then only characters that need no encoding. The
// parts of an address in that form: nullopt for any other.
std::optional<PlainAddress> plainAddress(QStringView address) {
    PlainAddress parts;
    qsizetype i = 0;
    if (address.startsWith(u"http://"))
        i = 7;
    else if (address.startsWith(u"https://"))
        i = 8;
    else
        return std::nullopt;
    // Host labels of letters, digits and inner hyphens, not all digits
    // (a number may be read as an IPv4 address).
    const qsizetype hostBegin = i;
    bool label = false;
    bool letter = false;
    qsizetype labelBegin = i;
    for (; i < address.size(); ++i) {
        const char16_t c = address[i].unicode();
        if (c == u'.') {
            if (!label || address[i - 1] == u'-' || i - labelBegin > 63)
                return std::nullopt;
            label = false;
            labelBegin = i + 1;
            continue;
        }
        if (c == u'-' && label)
            continue;
        if (!isAsciiLetterOrDigit(c))
            break;
        letter = letter || c > u'9';
        label = true;
    }
    if (!label || address[i - 1] == u'-' || i - labelBegin > 63 || !letter || i - hostBegin > 253)
        return std::nullopt;
    parts.host = address.sliced(hostBegin, i - hostBegin);
    if (i < address.size() && address[i] == u':') {
        const qsizetype portBegin = ++i;
        while (i < address.size() && address[i] >= u'0' && address[i] <= u'9')
            ++i;
        if (i == portBegin || i - portBegin > 5 ||
            address.sliced(portBegin, i - portBegin).toInt() > 65535)
            return std::nullopt;
    }
    if (i < address.size() && address[i] != u'/' && address[i] != u'?' && address[i] != u'#')
        return std::nullopt;
    const qsizetype pathBegin = i;
    qsizetype pathEnd = -1;
    bool fragment = false;
    for (; i < address.size(); ++i) {
        const char16_t c = address[i].unicode();
        if (c == u'%') {
            if (i + 2 >= address.size() || !isHexDigit(address[i + 1].unicode()) ||
                !isHexDigit(address[i + 2].unicode()))
                return std::nullopt;
            parts.encoded = true;
            i += 2;
            continue;
        }
        if ((c == u'?' || c == u'#') && pathEnd < 0)
            pathEnd = i;
        if (c == u'#') {
            if (fragment)
                return std::nullopt;
            fragment = true;
            continue;
        }
        if (!isAddressChar(c))
            return std::nullopt;
    }
    parts.path = address.sliced(pathBegin, (pathEnd < 0 ? i : pathEnd) - pathBegin);
    return parts;
}

// An absolute http or https address with a host and nothing blank inside.
bool isHttpAddress(const QString &text) {
    const QString address = text.trimmed();
    if (address.isEmpty() || hasInnerBlank(address))
        return false;
    if (plainAddress(address))
        return true;
    // Every other scheme is refused: spared QUrl for the GUIDs of a feed.
    if (!address.startsWith(u"http", Qt::CaseInsensitive))
        return false;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

// The last path segment's extension, without query or fragment.
QString extensionOf(const QString &address) {
    const QString trimmed = address.trimmed();
    const std::optional<PlainAddress> plain = plainAddress(trimmed);
    QString decoded;
    QStringView path;
    if (plain && !plain->encoded) {
        path = plain->path;
    } else {
        const QUrl url(trimmed);
        decoded = url.isValid() ? url.path() : address;
        path = decoded;
    }
    const QStringView name = path.sliced(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.sliced(dot + 1).toString().toLower();
}

bool isPositiveWholeNumber(const QString &text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return false;
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c != u'0'; });
}

bool isTrueFalse(const QString &text) {
    return text.compare(u"true", Qt::CaseInsensitive) == 0 ||
           text.compare(u"false", Qt::CaseInsensitive) == 0;
}

bool isYesNoClean(const QString &text) {
    return text.compare(u"yes", Qt::CaseInsensitive) == 0 ||
           text.compare(u"no", Qt::CaseInsensitive) == 0 ||
           text.compare(u"clean", Qt::CaseInsensitive) == 0;
}

bool isEmailAddress(const QString &text) {
    static const QRegularExpression address(
        QStringLiteral("^[A-Za-z0-9!#$%&'*+/=?^_`{|}~.-]+@[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)+$"));
    const QString plain = unescaped(text);
    return address.match(plain).hasMatch() && !plain.contains(QStringLiteral("..")) &&
           !plain.startsWith(u'.') && !plain.section(u'@', 0, 0).endsWith(u'.');
}

// Seconds, MM:SS or H:MM:SS.
bool isDuration(const QString &text) {
    static const QRegularExpression duration(
        QStringLiteral("^([0-9]+|[0-9]+:[0-5][0-9]|[0-9]+:[0-5][0-9]:[0-5][0-9])$"));
    return duration.match(text).hasMatch();
}

bool isUuid(const QString &text) {
    static const QRegularExpression uuid(QStringLiteral(
        "^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$"));
    return uuid.match(text).hasMatch();
}

// An RFC 2822 date and time with English day and month names; null when the
// text is not one (a wrong weekday included).
namespace {
struct DateParts {
    int day = 0;
    int month = 0; // 1 to 12
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0; // 1 (Monday) to 7; 0 when not given
    QStringView zone;
};

constexpr QStringView Months[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                  u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr QStringView Days[] = {u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat", u"Sun"};
constexpr QStringView Zones[] = {u"UT",  u"GMT", u"Z",   u"EST", u"EDT", u"CST",
                                 u"CDT", u"MST", u"MDT", u"PST", u"PDT"};

// 1 + the index of `name` in `names`, or 0.
template<size_t N> int numberIn(QStringView name, const QStringView (&names)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (name == names[i])
            return int(i) + 1;
    }
    return 0;
}

// `count` ASCII digits at `at` as a number, or -1.
int digits(QStringView text, qsizetype at, qsizetype count) {
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// "Mon, 01 Jan 2000 06:30:00 +0100", the form nearly every feed writes,
// read without the general pattern (most of a long feed's check): single
// spaces, the weekday and seconds optional. Anything else is left to it.
std::optional<DateParts> plainDateParts(QStringView t) {
    DateParts parts;
    qsizetype i = 0;
    if (t.size() > 5 && t[3] == u',' && t[4] == u' ') {
        if (!(parts.weekday = numberIn(t.first(3), Days)))
            return std::nullopt;
        i = 5;
    }
    const qsizetype dayDigits = t.size() > i + 1 && t[i + 1] == u' ' ? 1 : 2;
    parts.day = digits(t, i, dayDigits);
    i += dayDigits;
    if (parts.day < 0 || t.size() < i + 19 || t[i] != u' ' || t[i + 4] != u' ' ||
        t[i + 9] != u' ' || t[i + 12] != u':')
        return std::nullopt;
    parts.month = numberIn(t.sliced(i + 1, 3), Months);
    parts.year = digits(t, i + 5, 4);
    parts.hour = digits(t, i + 10, 2);
    parts.minute = digits(t, i + 13, 2);
    i += 15;
    if (t[i] == u':') {
        parts.second = digits(t, i + 1, 2);
        i += 3;
    }
    if (!parts.month || parts.year < 0 || parts.hour < 0 || parts.minute < 0 || parts.second < 0 ||
        i >= t.size() || t[i] != u' ')
        return std::nullopt;
    parts.zone = t.sliced(i + 1);
    const bool offset = parts.zone.size() == 5 &&
                        (parts.zone[0] == u'+' || parts.zone[0] == u'-') &&
                        digits(parts.zone, 1, 4) >= 0;
    if (!offset && !numberIn(parts.zone, Zones))
        return std::nullopt;
    return parts;
}

std::optional<DateParts> datePartsByPattern(const QString &text) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(Mon|Tue|Wed|Thu|Fri|Sat|Sun),\\s*)?([0-9]{1,2})\\s+"
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\\s+([0-9]{4})\\s+"
                       "([0-9]{2}):([0-9]{2})(?::([0-9]{2}))?\\s+"
                       "([+-][0-9]{4}|UT|GMT|Z|EST|EDT|CST|CDT|MST|MDT|PST|PDT)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    DateParts parts;
    parts.weekday = numberIn(match.capturedView(1), Days);
    parts.day = match.capturedView(2).toInt();
    parts.month = numberIn(match.capturedView(3), Months);
    parts.year = match.capturedView(4).toInt();
    parts.hour = match.capturedView(5).toInt();
    parts.minute = match.capturedView(6).toInt();
    parts.second = match.capturedView(7).isEmpty() ? 0 : match.capturedView(7).toInt();
    // The zone points into `text`, which the caller keeps.
    const qsizetype zoneAt = match.capturedStart(8);
    parts.zone = QStringView(text).sliced(zoneAt, match.capturedLength(8));
    return parts;
}

QDateTime dateFrom(const DateParts &parts) {
    const QDate date(parts.year, parts.month, parts.day);
    if (!date.isValid() || parts.hour > 23 || parts.minute > 59 || parts.second > 60)
        return {};
    if (parts.weekday && parts.weekday != date.dayOfWeek())
        return {};
    const QStringView zone = parts.zone;
    int offsetMinutes = 0;
    if (zone.startsWith(u'+') || zone.startsWith(u'-')) {
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.mid(3, 2).toInt();
        if (minutes > 59)
            return {};
        offsetMinutes = (zone.startsWith(u'-') ? -1 : 1) * (hours * 60 + minutes);
    } else {
        static const QHash<QString, int> named{{u"EST"_qs, -5}, {u"EDT"_qs, -4}, {u"CST"_qs, -6},
                                               {u"CDT"_qs, -5}, {u"MST"_qs, -7}, {u"MDT"_qs, -6},
                                               {u"PST"_qs, -8}, {u"PDT"_qs, -7}};
        offsetMinutes = named.value(zone.toString(), 0) * 60;
    }
    const QDateTime local(date, QTime(parts.hour, parts.minute, std::min(parts.second, 59)),
                          Qt::OffsetFromUTC, offsetMinutes * 60);
    return local.toUTC();
}
} // namespace

QDateTime parseRfc2822(const QString &text) {
    const QString trimmed = text.trimmed();
    std::optional<DateParts> parts = plainDateParts(trimmed);
    if (!parts)
        parts = datePartsByPattern(trimmed);
    return parts ? dateFrom(*parts) : QDateTime();
}
bool isFullUri(const QString &text) {
    static const QRegularExpression full(
        QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(//)?[0-9A-Za-z;/?:@&=+$.\\-_!~*'()%,#]+$"));
    static const QRegularExpression hosted(QStringLiteral("^\\w+://[^/]"));
    const QString value = text.trimmed();
    if (!full.match(value).hasMatch())
        return false;
    const QString scheme = value.section(u':', 0, 0).toLower();
    return (scheme != u"http" && scheme != u"ftp" && scheme != u"https") ||
           hosted.match(value).hasMatch();
}

bool isUriReference(const QString &text) {
    // A scheme and slashes are made of these characters as well: an address
    // of them alone is one, whatever their order.
    const QString value = text.trimmed();
    return !value.isEmpty() && std::all_of(value.begin(), value.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return isAsciiLetterOrDigit(u) ||
               (u != 0 && u < 0x80 && std::strchr(";/?:@&=+$.-_!~*'()%,#", char(u)));
    });
}

bool isIsoLanguage(const QString &text) {
    const QString language = text.trimmed().section(u'-', 0, 0).toLower();
    // Codes ISO withdrew that feeds written before still carry.
    static const QStringList withdrawn{u"iw"_qs, u"in"_qs, u"ji"_qs, u"jw"_qs, u"mo"_qs, u"sh"_qs};
    static const QRegularExpression letters(QStringLiteral("^[a-z]{2,3}$"));
    if (!letters.match(language).hasMatch())
        return false;
    if (withdrawn.contains(language))
        return true;
    // Three letters: ISO 639-2 holds more languages than the locale data.
    if (language.size() == 3)
        return true;
    return QLocale::codeToLanguage(language, QLocale::ISO639Part1) != QLocale::AnyLanguage;
}

bool isContact(const QString &text) {
    static const QRegularExpression address(
        QStringLiteral("^[A-Za-z0-9_+.'-]+@([A-Za-z0-9-]+\\.)+[A-Za-z]{2,}$"));
    static const QRegularExpression withName(QStringLiteral("^(\\S+)\\s*(\\(.*\\))?$"));
    static const QRegularExpression angled(QStringLiteral("^[^<>]*<([^<>]+)>$"));
    const QString value = unescaped(text).trimmed();
    QRegularExpressionMatch match = angled.match(value);
    if (!match.hasMatch())
        match = withName.match(value);
    return match.hasMatch() && address.match(match.captured(1)).hasMatch();
}

bool isMimeType(const QString &text) {
    // ASCII without references, as nearly every type is, is judged here.
    if (!text.contains(u'&') && !text.endsWith(u'\n')) {
        bool ascii = true;
        qsizetype slash = -1;
        bool separator = false;
        for (qsizetype i = 0; i < text.size() && ascii; ++i) {
            const char16_t c = text[i].unicode();
            ascii = c < 0x80;
            if (c == u'/' && slash < 0)
                slash = i;
            else if (c == u' ' || (c >= u'\t' && c <= u'\r') ||
                     (c != 0 && std::strchr("()<>,;:\\\"/[]?=", char(c))))
                separator = true;
        }
        if (ascii)
            return !separator && slash > 0 && slash < text.size() - 1;
    }
    static const QRegularExpression mime(
        QStringLiteral("^[^\\s()<>,;:\\\\\"/\\[\\]?=]+/[^\\s()<>,;:\\\\\"/\\[\\]?=]+$"));
    return mime.match(unescaped(text)).hasMatch();
}

bool isPositiveLength(const QString &text) {
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9]+$"));
    const QString value = text.trimmed();
    return number.match(value).hasMatch() &&
           std::any_of(value.begin(), value.end(), [](QChar c) { return c >= u'1' && c <= u'9'; });
}

bool hasRfc822Form(const QString &text) {
    if (plainDateParts(text.trimmed()))
        return true;
    static const QRegularExpression form(
        QStringLiteral("^((Mon|Tue|Wed|Thu|Fri|Sat|Sun), *)?[0-9]{1,2} +"
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) +[0-9]{2}([0-9]{2})? +"
                       "[0-9]{2}:[0-9]{2}(:[0-9]{2})? +"
                       "([+-]?[0-9]{4}|UT|GMT|EST|EDT|CST|CDT|MST|MDT|PST|PDT|[A-Za-z0-9_])$"));
    return form.match(text.trimmed()).hasMatch();
}

QString addressProblem(const QString &address) {
    const QString value = address.trimmed();
    if (hasInnerBlank(value))
        return QStringLiteral("The address \"%1\" has a blank; write it as %20.").arg(value);
    return QStringLiteral("\"%1\" is not a full http or https address.").arg(value);
}
} // namespace FeedCheckValues
