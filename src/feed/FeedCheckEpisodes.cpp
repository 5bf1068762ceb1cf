#include "FeedCheckEpisodes.h"

#include "FeedCheckInput.h"
#include "FeedCheckValues.h"
#include "KeptContentReader.h"
#include "model/PodcastDocument.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

using Place = FeedFinding::Place;
using namespace FeedCheckValues;

namespace FeedCheckEpisodes {
namespace {
template<typename Function> void forEachEpisode(const FeedCheckInput &input, Function function) {
    for (qsizetype number = 1; number <= input.document.episodeCount(); ++number)
        function(number);
}

bool isSerial(const FeedCheckInput &input) {
    const QList<XmlNode> type = input.elements(0, KeptContentReader::Itunes, u"type"_qs);
    return !type.isEmpty() && type.first().text() == u"serial";
}

QString bareType(const QString &type) {
    const qsizetype semicolon = type.indexOf(u';');
    return (semicolon < 0 ? type : type.first(semicolon)).trimmed();
}

bool guidIsPermaLink(const FeedCheckInput &input, qsizetype number) {
    // The first guid without text of its own carries the written guid's attributes.
    for (const XmlNode &node : input.elements(number, QString(), u"guid"_qs)) {
        if (!node.hasOwnText())
            return KeptContentReader::attribute(node, u"isPermaLink"_qs).trimmed() != u"false";
    }
    return true;
}

void episodeNumbers(const FeedCheckInput &input, const QString &local) {
    forEachEpisode(input, [&](qsizetype number) {
        for (const XmlNode &node : input.elements(number, KeptContentReader::Itunes, local)) {
            if (!isPositiveWholeNumber(node.text()))
                input.report(Place::ofTag(u"itunes:"_qs + local, number),
                             QStringLiteral("itunes:%1 is \"%2\"; it takes a whole number from 1.")
                                 .arg(local, node.text()));
        }
    });
}
} // namespace

void episodeTitleMissing(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        if (input.document.episode(number)[EpisodeColumn::Title].trimmed().isEmpty())
            input.report(Place::ofColumn(number, EpisodeColumn::Title),
                         u"The episode has no title."_qs);
    });
}

void enclosureMissing(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        if (input.document.episode(number)[EpisodeColumn::Url].trimmed().isEmpty())
            input.report(Place::ofColumn(number, EpisodeColumn::Url),
                         u"The episode has no media file address."_qs);
    });
}

void enclosureUrl(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString url = input.document.episode(number)[EpisodeColumn::Url].trimmed();
        if (url.isEmpty() || isHttpAddress(url))
            return;
        input.report(Place::ofColumn(number, EpisodeColumn::Url), addressProblem(url));
    });
}

void enclosureLength(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString length = input.document.episode(number)[EpisodeColumn::Length].trimmed();
        static const QRegularExpression zeros(QStringLiteral("^[+]?0+$"));
        if (length.isEmpty())
            input.report(Place::ofColumn(number, EpisodeColumn::Length),
                         u"The media file's length in bytes is missing."_qs);
        else if (!isPositiveLength(length) && !zeros.match(length).hasMatch())
            input.report(
                Place::ofColumn(number, EpisodeColumn::Length),
                QStringLiteral("The length \"%1\" is not a whole number of bytes.").arg(length));
    });
}

void enclosureLengthZero(const FeedCheckInput &input) {
    static const QRegularExpression zeros(QStringLiteral("^[+]?0+$"));
    forEachEpisode(input, [&](qsizetype number) {
        if (zeros.match(input.document.episode(number)[EpisodeColumn::Length].trimmed()).hasMatch())
            input.report(Place::ofColumn(number, EpisodeColumn::Length),
                         u"The length is 0; give the file's size in bytes."_qs);
    });
}

void enclosureType(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString type = input.document.episode(number)[EpisodeColumn::Type].trimmed();
        if (type.isEmpty())
            input.report(Place::ofColumn(number, EpisodeColumn::Type),
                         u"The media file's type is missing, such as audio/mpeg."_qs);
        else if (!isMimeType(type))
            input.report(
                Place::ofColumn(number, EpisodeColumn::Type),
                QStringLiteral("\"%1\" is not a media type such as audio/mpeg.").arg(type));
    });
}

void enclosureTypeUnknown(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString type = bareType(input.document.episode(number)[EpisodeColumn::Type]);
        if (!type.contains(u'/') || isKnownType(type))
            return;
        QString message;
        if (type.startsWith(u"video/", Qt::CaseInsensitive))
            message = QStringLiteral("%1 is a video type the directories do not play; use "
                                     "video/mp4, video/x-m4v or video/quicktime.");
        else if (type.startsWith(u"audio/", Qt::CaseInsensitive))
            message = QStringLiteral("%1 is an audio type the directories do not play; use "
                                     "audio/mpeg, audio/x-m4a or audio/aac.");
        else
            message = QStringLiteral("%1 is not an audio or video type the directories play.");
        input.report(Place::ofColumn(number, EpisodeColumn::Type), message.arg(type));
    });
}

void enclosureTypeMismatch(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString type = bareType(input.document.episode(number)[EpisodeColumn::Type]);
        const QString extension = extensionOf(input.document.episode(number)[EpisodeColumn::Url]);
        const MediaType *media = mediaOf(extension);
        if (!media || !isKnownType(type))
            return;
        const bool agrees =
            std::any_of(media->types.begin(), media->types.end(), [&](const char *t) {
                return type.compare(QLatin1StringView(t), Qt::CaseInsensitive) == 0;
            });
        if (!agrees)
            input.report(Place::ofColumn(number, EpisodeColumn::Type),
                         QStringLiteral("The type %1 does not fit a .%2 file; use %3.")
                             .arg(type, extension, QString::fromLatin1(*media->types.begin())));
    });
}

void guidDuplicate(const FeedCheckInput &input) {
    QHash<QString, qsizetype> seen;
    forEachEpisode(input, [&](qsizetype number) {
        const QString guid = input.document.episode(number)[EpisodeColumn::Guid].trimmed();
        if (guid.isEmpty())
            return;
        const auto found = seen.constFind(guid);
        if (found != seen.constEnd())
            input.report(Place::ofColumn(number, EpisodeColumn::Guid),
                         QStringLiteral("The GUID is the same as episode %1's.").arg(*found));
        else
            seen.insert(guid, number);
    });
}

void guidPermaLink(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString guid = input.document.episode(number)[EpisodeColumn::Guid].trimmed();
        if (!guid.isEmpty() && !isHttpAddress(guid) && isUriReference(guid) &&
            guidIsPermaLink(input, number))
            input.report(Place::ofColumn(number, EpisodeColumn::Guid),
                         QStringLiteral("The GUID \"%1\" is not an address, so it needs "
                                        "isPermaLink=\"false\".")
                             .arg(guid));
    });
}

void urlDuplicate(const FeedCheckInput &input) {
    QHash<QString, qsizetype> seen;
    forEachEpisode(input, [&](qsizetype number) {
        const QString url = input.document.episode(number)[EpisodeColumn::Url].trimmed();
        if (url.isEmpty())
            return;
        const auto found = seen.constFind(url);
        if (found != seen.constEnd())
            input.report(
                Place::ofColumn(number, EpisodeColumn::Url),
                QStringLiteral("The media file address is the same as episode %1's.").arg(*found));
        else
            seen.insert(url, number);
    });
}

void pubDateFormat(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString date = input.document.episode(number)[EpisodeColumn::PubDate].trimmed();
        if (!date.isEmpty() && !hasRfc822Form(date))
            input.report(
                Place::ofColumn(number, EpisodeColumn::PubDate),
                QStringLiteral("\"%1\" is not a date such as Mon, 05 Feb 2024 06:00:00 +0000.")
                    .arg(date));
    });
}

void pubDateExact(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString date = input.document.episode(number)[EpisodeColumn::PubDate].trimmed();
        if (hasRfc822Form(date) && !input.publicationDate(number).isValid())
            input.report(
                Place::ofColumn(number, EpisodeColumn::PubDate),
                QStringLiteral("\"%1\" is not a day that exists, has the wrong weekday or a "
                               "two-digit year; write it as Mon, 05 Feb 2024 06:00:00 +0000.")
                    .arg(date));
    });
}

void pubDateFuture(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QDateTime date = input.publicationDate(number);
        if (date.isValid() && date > input.now)
            input.report(Place::ofColumn(number, EpisodeColumn::PubDate),
                         u"The publication date lies in the future."_qs);
    });
}

void durationFormat(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString duration = input.document.episode(number)[EpisodeColumn::Duration].trimmed();
        if (!duration.isEmpty() && !isDuration(duration))
            input.report(Place::ofColumn(number, EpisodeColumn::Duration),
                         QStringLiteral("The duration \"%1\" is not seconds, MM:SS or H:MM:SS.")
                             .arg(duration));
    });
}

void episodeExplicitValue(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString value = input.document.episode(number)[EpisodeColumn::Explicit].trimmed();
        if (!value.isEmpty() && !isTrueFalse(value) && !isYesNoClean(value))
            input.report(Place::ofColumn(number, EpisodeColumn::Explicit),
                         QStringLiteral("The explicit value is \"%1\"; Apple takes true or false.")
                             .arg(value));
    });
}

void episodeExplicitLegacy(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        const QString value = input.document.episode(number)[EpisodeColumn::Explicit].trimmed();
        if (isYesNoClean(value))
            input.report(Place::ofColumn(number, EpisodeColumn::Explicit),
                         QStringLiteral("\"%1\" is an old explicit value; write %2.")
                             .arg(value, value.compare(u"yes", Qt::CaseInsensitive) == 0
                                             ? u"true"_qs
                                             : u"false"_qs));
    });
}

void episodeNumber(const FeedCheckInput &input) {
    episodeNumbers(input, u"episode"_qs);
}

void episodeSeason(const FeedCheckInput &input) {
    episodeNumbers(input, u"season"_qs);
}

void episodeType(const FeedCheckInput &input) {
    forEachEpisode(input, [&](qsizetype number) {
        for (const XmlNode &node :
             input.elements(number, KeptContentReader::Itunes, u"episodeType"_qs)) {
            const QString type = node.text();
            if (type != u"full" && type != u"trailer" && type != u"bonus")
                input.report(
                    Place::ofTag(u"itunes:episodeType"_qs, number),
                    QStringLiteral("The episode type is \"%1\"; Apple takes full, trailer or "
                                   "bonus.")
                        .arg(type));
        }
    });
}

void serialNeedsNumber(const FeedCheckInput &input) {
    if (!isSerial(input))
        return;
    forEachEpisode(input, [&](qsizetype number) {
        if (input.elements(number, KeptContentReader::Itunes, u"episode"_qs).isEmpty())
            input.report(Place::ofTag(u"itunes:episode"_qs, number),
                         u"The show is serial, so every episode needs itunes:episode."_qs);
    });
}

} // namespace FeedCheckEpisodes
