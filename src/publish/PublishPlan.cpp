#include "PublishPlan.h"

#include "feed/FeedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

QString PublishPlan::Media::episodeText() const {
    return title.isEmpty() ? QStringLiteral("Episode %1").arg(episode)
                           : QStringLiteral("Episode %1, \"%2\"").arg(episode).arg(title);
}

QString PublishPlan::normalisedPublicUrl(const QString &url, QString *error) {
    const QString trimmed = url.trimmed();
    const QUrl parsed(trimmed, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (trimmed.isEmpty() || !parsed.isValid() || (scheme != u"http" && scheme != u"https") ||
        parsed.host().isEmpty() || parsed.hasQuery() || parsed.hasFragment()) {
        *error = QStringLiteral("--public-url '%1' is not an http:// or https:// address of a "
                                "folder")
                     .arg(trimmed);
        return {};
    }
    return trimmed.endsWith(u'/') ? trimmed : trimmed + u'/';
}

QString PublishPlan::relativePath(const QString &publicUrl, const QString &enclosureUrl,
                                  QString *error) {
    const QString url = enclosureUrl.trimmed();
    if (!url.startsWith(publicUrl))
        return {};
    QString rest = url.mid(publicUrl.size());
    const qsizetype cut = rest.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (cut >= 0)
        rest.truncate(cut);
    const auto refuse = [&](const QString &why) {
        *error = QStringLiteral("the address %1 %2").arg(url, why);
        return QString();
    };
    if (rest.contains(QStringLiteral("%2f"), Qt::CaseInsensitive) ||
        rest.contains(QStringLiteral("%5c"), Qt::CaseInsensitive) || rest.contains(u'\\'))
        return refuse(QStringLiteral("has an encoded slash in its path"));
    const QString decoded = QUrl::fromPercentEncoding(rest.toUtf8());
    if (decoded.isEmpty() || decoded.endsWith(u'/'))
        return refuse(QStringLiteral("names a folder, not a file"));
    if (decoded.contains(QChar(0)))
        return refuse(QStringLiteral("has a NUL character in its path"));
    for (const QString &segment : decoded.split(u'/')) {
        if (segment.isEmpty() || segment == u"." || segment == u"..")
            return refuse(QStringLiteral("has an empty, '.' or '..' folder in its path"));
    }
    return decoded;
}

bool PublishPlan::read(const QString &feedPath, const QString &publicUrl,
                       const QString &mediaFolder, QString *error) {
    m_publicUrl = normalisedPublicUrl(publicUrl, error);
    if (m_publicUrl.isEmpty())
        return false;
    QFile file(feedPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(feedPath), file.errorString());
        return false;
    }
    m_feedBytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(feedPath), file.errorString());
        return false;
    }
    m_feedName = QFileInfo(feedPath).fileName();
    // The server must never get a feed the editor would refuse to save.
    if (const QString reason = FeedFile::wellFormednessError(m_feedBytes); !reason.isEmpty()) {
        *error = QStringLiteral("%1 is not well-formed XML: %2")
                     .arg(QDir::toNativeSeparators(feedPath), reason);
        return false;
    }
    const QDir folder(mediaFolder.isEmpty() ? QFileInfo(feedPath).absolutePath() : mediaFolder);

    m_media.clear();
    QHash<QString, qsizetype> seen;
    QXmlStreamReader xml(m_feedBytes);
    int itemNumber = 0;
    int itemDepth = -1;
    int depth = 0;
    QString title;
    QList<QXmlStreamAttributes> enclosures;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            const bool plain = xml.namespaceUri().isEmpty();
            if (itemDepth < 0 && plain && xml.name() == u"item") {
                itemDepth = depth;
                ++itemNumber;
                title.clear();
                enclosures.clear();
            } else if (itemDepth >= 0 && depth == itemDepth + 1 && plain) {
                if (xml.name() == u"enclosure") {
                    enclosures.append(xml.attributes());
                } else if (xml.name() == u"title") {
                    title = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                    --depth;
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == itemDepth) {
                itemDepth = -1;
                for (const QXmlStreamAttributes &attributes : std::as_const(enclosures)) {
                    Media media;
                    media.episode = itemNumber;
                    media.title = title;
                    QString why;
                    media.relative = relativePath(
                        m_publicUrl, attributes.value(QLatin1StringView("url")).toString(), &why);
                    if (!why.isEmpty()) {
                        *error = QStringLiteral("%1: %2.").arg(media.episodeText(), why);
                        return false;
                    }
                    if (media.relative.isEmpty())
                        continue;
                    const QString lengthText =
                        attributes.value(QLatin1StringView("length")).toString().trimmed();
                    bool ok = false;
                    media.length = lengthText.toLongLong(&ok);
                    if (!ok || media.length < 0) {
                        *error = QStringLiteral("%1: the enclosure length '%2' of %3 is not a "
                                                "number of bytes.")
                                     .arg(media.episodeText(), lengthText, media.relative);
                        return false;
                    }
                    media.type = attributes.value(QLatin1StringView("type")).toString().trimmed();
                    media.localPath = folder.filePath(media.relative);
                    if (const auto found = seen.constFind(media.relative); found != seen.cend()) {
                        const Media &earlier = m_media[*found];
                        if (earlier.length != media.length) {
                            *error =
                                QStringLiteral("%1 and %2 name the same file %3 with "
                                               "different lengths (%4 and %5 bytes).")
                                    .arg(earlier.episodeText(), media.episodeText(), media.relative)
                                    .arg(earlier.length)
                                    .arg(media.length);
                            return false;
                        }
                        continue;
                    }
                    seen.insert(media.relative, m_media.size());
                    m_media.append(media);
                }
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        *error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(feedPath), xml.errorString());
        return false;
    }
    return true;
}
