#include "MediaFile.h"

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

namespace MediaFile {
namespace {
bool isAudioOrVideo(const QMimeType &mime) {
    const QString name = mime.name();
    return name.startsWith(u"audio/") || name.startsWith(u"video/");
}
} // namespace

bool isMedia(const QString &path) {
    return isAudioOrVideo(QMimeDatabase().mimeTypeForFile(path));
}

bool isFeed(const QString &path) {
    return QMimeDatabase().mimeTypeForFile(path).inherits(QStringLiteral("application/xml"));
}

QString type(const QString &path) {
    const QMimeDatabase database;
    QMimeType mime = database.mimeTypeForFile(path, QMimeDatabase::MatchContent);
    if (mime.isDefault())
        mime = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
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

QString urlBeside(const QString &previousUrl, const QString &fileName) {
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
    return folder + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

QString urlUnder(const QString &base, const QString &fileName) {
    QString url = base;
    if (!url.endsWith(u'/'))
        url += u'/';
    return url + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}
} // namespace MediaFile
