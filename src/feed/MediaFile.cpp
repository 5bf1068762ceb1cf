#include "MediaFile.h"

#include "MediaSource.h"

#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

namespace MediaFile {
bool isMedia(const QString &path) {
    return MediaSource(QFile::encodeName(path)).isMedia();
}

bool isFeed(const QString &path) {
    return QMimeDatabase().mimeTypeForFile(path).inherits(QStringLiteral("application/xml"));
}

bool isEpisodeType(const QMimeType &mime) {
    if (!mime.isValid() || mime.inherits(QStringLiteral("text/plain")))
        return false;
    const QString name = mime.name();
    return name.startsWith(u"audio/") || name.startsWith(u"video/");
}

QString enclosureType(const QMimeType &mime) {
    const QString name = mime.name();
    // The shared MIME database names Ogg flavours after their codec; feed
    // readers and `file --mime-type` know only the container.
    if (name.endsWith(u"+ogg"))
        return name.startsWith(u"video/") ? QStringLiteral("video/ogg")
                                          : QStringLiteral("audio/ogg");
    if (name == u"audio/mp4")
        return QStringLiteral("audio/x-m4a");
    return name;
}

QString durationText(qint64 milliseconds) {
    const qint64 seconds = (qMax<qint64>(milliseconds, 0) + 500) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString xmlCharactersOnly(const QString &text, qsizetype *dropped) {
    QString kept;
    kept.reserve(text.size());
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            kept += c;
            kept += text[++i];
            continue;
        }
        const char16_t u = c.unicode();
        const bool allowed =
            u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xFFFD && !c.isSurrogate());
        if (allowed)
            kept += c;
        else
            ++count;
    }
    if (dropped)
        *dropped = count;
    return kept;
}

QString urlBaseProblem(const QString &base) {
    for (const QChar c : base) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("blanks, tabs and line breaks are not allowed in it");
    }
    if (base.contains(u'?') || base.contains(u'#'))
        return QStringLiteral("a query (?) or fragment (#) would swallow the file name "
                              "that goes at its end");
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https"))
        return QStringLiteral("only http:// and https:// addresses can be used");
    if (url.host().isEmpty())
        return QStringLiteral("it names no host, as https://example.org/audio/ does");
    if (!url.userInfo().isEmpty())
        return QStringLiteral("a user name or password does not belong in it");
    return {};
}

namespace {
QString encodedName(const QByteArray &fileName) {
    return QString::fromLatin1(fileName.toPercentEncoding());
}
} // namespace

QString urlBeside(const QString &previousUrl, const QByteArray &fileName) {
    if (previousUrl.isEmpty())
        return {};
    QString folder = previousUrl;
    const qsizetype end = folder.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        folder.truncate(end);
    const qsizetype scheme = folder.indexOf(u"://");
    const qsizetype pathStart = scheme < 0 ? 0 : folder.indexOf(u'/', scheme + 3);
    if (scheme >= 0 && pathStart < 0)
        folder += u'/'; // "https://example.org" has no path yet
    else
        folder.truncate(folder.lastIndexOf(u'/') + 1);
    return folder + encodedName(fileName);
}

QString urlBeside(const QString &previousUrl, const QString &fileName) {
    return urlBeside(previousUrl, fileName.toUtf8());
}

QString urlUnder(const QString &base, const QByteArray &fileName) {
    QString url = base;
    if (!url.endsWith(u'/'))
        url += u'/';
    return url + encodedName(fileName);
}

QString urlUnder(const QString &base, const QString &fileName) {
    return urlUnder(base, fileName.toUtf8());
}
} // namespace MediaFile
