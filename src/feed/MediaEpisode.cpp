#include "MediaEpisode.h"

#include "KeptContent.h"

#include "BuildDate.h"
#include "MediaFile.h"
#include "MediaSource.h"

#include <QFile>
#include <QFileInfo>

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

QByteArray nameOf(const QByteArray &path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The name without its last extension, as QFileInfo::completeBaseName.
QString titleFromName(const QByteArray &name) {
    const QString text = QFile::decodeName(name);
    const qsizetype dot = text.lastIndexOf(u'.');
    return dot > 0 ? text.left(dot) : text;
}
} // namespace

MediaEpisode MediaEpisode::fromFile(const QString &path, const Episode *previous,
                                    const QDateTime &now, const QString &urlBase) {
    return fromFile(QFile::encodeName(path), previous, now, urlBase);
}

MediaEpisode MediaEpisode::fromFile(const QByteArray &path, const Episode *previous,
                                    const QDateTime &now, const QString &urlBase) {
    const MediaSource source(path);
    return fromSource(source, previous, now, urlBase);
}

MediaEpisode MediaEpisode::fromSource(const MediaSource &source, const Episode *previous,
                                      const QDateTime &now, const QString &urlBase) {
    MediaEpisode result;
    if (!source.isMedia()) {
        result.error = source.error();
        result.notAudioOrVideo = source.contentRefused();
        return result;
    }
    const MediaSource::Tags tags = source.readTags();
    // The size written is the size of what was read: a file emptied,
    // deleted or still being written meanwhile is no enclosure to announce.
    if (const QString change = source.changeSinceOpened(); !change.isEmpty()) {
        result.error = change;
        return result;
    }
    result.readCutShort = tags.cutShort;

    const QByteArray fileName = nameOf(source.path());
    Episode &episode = result.episode;
    const QString title = tags.title.trimmed().isEmpty() ? titleFromName(fileName) : tags.title;
    episode[EpisodeColumn::Title] =
        escapedText(MediaFile::xmlCharactersOnly(title, &result.droppedCharacters));
    episode[EpisodeColumn::Length] = QString::number(source.size());
    episode[EpisodeColumn::Type] = escapedAttribute(MediaFile::enclosureType(source.mimeType()));
    if (tags.milliseconds > 0) {
        episode[EpisodeColumn::Duration] = MediaFile::durationText(tags.milliseconds);
        result.durationRead = true;
    }
    episode[EpisodeColumn::PubDate] = BuildDate::text(now);
    episode[EpisodeColumn::Guid] = KeptContent::newGuid();
    episode.setExtra(KeptContent::withGuidNotPermaLink({}));

    if (!urlBase.isEmpty())
        episode[EpisodeColumn::Url] = escapedAttribute(MediaFile::urlUnder(urlBase, fileName));
    else if (previous)
        episode[EpisodeColumn::Url] =
            MediaFile::urlBeside((*previous)[EpisodeColumn::Url], fileName);
    if (previous) {
        for (const int column : {EpisodeColumn::Author, EpisodeColumn::Keywords,
                                 EpisodeColumn::Explicit, EpisodeColumn::Category})
            episode[column] = (*previous)[column];
    }
    return result;
}

QString MediaEpisode::budgetText() {
    const MediaSource::Budget budget;
    return QStringLiteral("%1 MB or %2 seconds")
        .arg(budget.bytes >> 20)
        .arg(budget.milliseconds / 1000);
}
