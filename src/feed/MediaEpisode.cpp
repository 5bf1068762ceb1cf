#include "MediaEpisode.h"

#include "KeptContent.h"

#include "BuildDate.h"
#include "MediaFile.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <fileref.h>
#include <tag.h>

namespace {
QString escapedText(QString text) {
    return text.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
}

QString escapedAttribute(QString text) {
    return text.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'"', QStringLiteral("&quot;"));
}

struct Tags {
    QString title;
    qint64 milliseconds = -1;
};

Tags readTags(const QString &path) {
    Tags tags;
    const TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull())
        return tags;
    if (const TagLib::Tag *tag = file.tag())
        tags.title = QString::fromUtf8(tag->title().toCString(true));
    // A stream TagLib finds no frames in reports zero: that is no duration,
    // not a recording of no length.
    if (const TagLib::AudioProperties *properties = file.audioProperties();
        properties && properties->lengthInMilliseconds() > 0)
        tags.milliseconds = properties->lengthInMilliseconds();
    return tags;
}
} // namespace

MediaEpisode MediaEpisode::fromFile(const QString &path, const Episode *previous,
                                    const QDateTime &now, const QString &urlBase) {
    MediaEpisode result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.error = QStringLiteral("No such file");
        return result;
    }
    if (info.isDir()) {
        result.error = QStringLiteral("Is a folder");
        return result;
    }
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        result.error = probe.errorString();
        return result;
    }
    probe.close();

    const Tags tags = readTags(path);
    Episode &episode = result.episode;
    episode[EpisodeColumn::Title] =
        escapedText(tags.title.trimmed().isEmpty() ? info.completeBaseName() : tags.title);
    episode[EpisodeColumn::Length] = QString::number(info.size());
    episode[EpisodeColumn::Type] = escapedAttribute(MediaFile::type(path));
    if (tags.milliseconds > 0) {
        episode[EpisodeColumn::Duration] = MediaFile::durationText(tags.milliseconds);
        result.durationRead = true;
    }
    episode[EpisodeColumn::PubDate] = BuildDate::text(now);
    episode[EpisodeColumn::Guid] = KeptContent::newGuid();
    episode.extra = KeptContent::withGuidNotPermaLink({});

    if (!urlBase.isEmpty())
        episode[EpisodeColumn::Url] =
            escapedAttribute(MediaFile::urlUnder(urlBase, info.fileName()));
    else if (previous)
        episode[EpisodeColumn::Url] =
            MediaFile::urlBeside((*previous)[EpisodeColumn::Url], info.fileName());
    if (previous) {
        for (const int column : {EpisodeColumn::Author, EpisodeColumn::Keywords,
                                 EpisodeColumn::Explicit, EpisodeColumn::Category})
            episode[column] = (*previous)[column];
    }
    return result;
}
