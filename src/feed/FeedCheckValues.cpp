#include "FeedCheckValues.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <algorithm>

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

// An absolute http or https address with a host and nothing blank inside.
bool isHttpAddress(const QString &text) {
    const QString address = text.trimmed();
    if (address.isEmpty() || hasInnerBlank(address))
        return false;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

// The last path segment's extension, without query or fragment.
QString extensionOf(const QString &address) {
    const QUrl url(address.trimmed());
    const QString path = url.isValid() ? url.path() : address;
    const QString name = path.section(u'/', -1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
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
QDateTime parseRfc2822(const QString &text) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(Mon|Tue|Wed|Thu|Fri|Sat|Sun),\\s*)?([0-9]{1,2})\\s+"
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\\s+([0-9]{4})\\s+"
                       "([0-9]{2}):([0-9]{2})(?::([0-9]{2}))?\\s+"
                       "([+-][0-9]{4}|UT|GMT|Z|EST|EDT|CST|CDT|MST|MDT|PST|PDT)$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return {};
    static const QStringList months{u"Jan"_qs, u"Feb"_qs, u"Mar"_qs, u"Apr"_qs,
                                    u"May"_qs, u"Jun"_qs, u"Jul"_qs, u"Aug"_qs,
                                    u"Sep"_qs, u"Oct"_qs, u"Nov"_qs, u"Dec"_qs};
    static const QStringList days{u"Mon"_qs, u"Tue"_qs, u"Wed"_qs, u"Thu"_qs,
                                  u"Fri"_qs, u"Sat"_qs, u"Sun"_qs};
    const QDate date(match.captured(4).toInt(), int(months.indexOf(match.captured(3))) + 1,
                     match.captured(2).toInt());
    const int hour = match.captured(5).toInt();
    const int minute = match.captured(6).toInt();
    const int second = match.captured(7).isEmpty() ? 0 : match.captured(7).toInt();
    if (!date.isValid() || hour > 23 || minute > 59 || second > 60)
        return {};
    if (!match.captured(1).isEmpty() && days.indexOf(match.captured(1)) + 1 != date.dayOfWeek())
        return {};

    const QString zone = match.captured(8);
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
        offsetMinutes = named.value(zone, 0) * 60;
    }
    const QDateTime local(date, QTime(hour, minute, std::min(second, 59)), Qt::OffsetFromUTC,
                          offsetMinutes * 60);
    return local.toUTC();
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
    static const QRegularExpression reference(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*:)?/{0,2}[0-9A-Za-z;/?:@&=+$.\\-_!~*'()%,#]+$"));
    return reference.match(text.trimmed()).hasMatch();
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
