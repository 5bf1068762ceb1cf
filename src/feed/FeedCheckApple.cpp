#include "FeedCheckApple.h"

#include "FeedCheckInput.h"
#include "FeedCheckValues.h"
#include "TagTemplates.h"
#include "WellKnownNamespaces.h"
#include "model/PodcastDocument.h"

using Place = FeedFinding::Place;

namespace FeedCheckApple {
namespace {
// "itunes:explicit" as a namespace and a local name.
std::pair<QString, QString> nameOf(const QString &tag) {
    const QString prefix = tag.section(u':', 0, 0);
    if (!tag.contains(u':'))
        return {QString(), tag};
    for (const auto &[known, name] : WellKnownNamespaces::all()) {
        if (known == prefix)
            return {name, tag.section(u':', 1)};
    }
    return {QString(), QString()};
}

// A tag that may stand only once, its name taken apart once for all.
struct SingleTag {
    QString tag;
    QString namespaceName;
    QString local;
    QByteArray localUtf8;
};

QList<SingleTag> onceOnlyTags(TagTemplates::Scope scope) {
    QList<SingleTag> made;
    for (const QString &tag : TagTemplates::singleTags(scope)) {
        const auto [namespaceName, local] = nameOf(tag);
        if (!local.isEmpty())
            made.append({tag, namespaceName, local, local.toUtf8()});
    }
    return made;
}

void reportRepeated(const FeedCheckInput &input, qsizetype number, const QList<SingleTag> &tags) {
    for (const SingleTag &single : tags) {
        // Read only where the name stands twice: a feed's thousands of
        // blocks are not each parsed, nor searched, for a dozen tags.
        if (number == 0 ? input.document.channelExtra().isEmpty()
                        : !input.keepsTwice(number, single.localUtf8))
            continue;
        const qsizetype count = input.elements(number, single.namespaceName, single.local).size();
        if (count > 1)
            input.report(Place::ofTag(single.tag, number),
                         QStringLiteral("%1 stands %2 times; it may stand only once, and "
                                        "directories read only one of them.")
                             .arg(single.tag)
                             .arg(count));
    }
}
} // namespace

void repeatedTags(const FeedCheckInput &input) {
    reportRepeated(input, 0, onceOnlyTags(TagTemplates::Scope::Podcast));
    const QList<SingleTag> episodeTags = onceOnlyTags(TagTemplates::Scope::Episode);
    for (qsizetype number = 1; number <= input.document.episodeCount(); ++number)
        reportRepeated(input, number, episodeTags);
}

void itunesTitles(const FeedCheckInput &input) {
    for (qsizetype number = 1; number <= input.document.episodeCount(); ++number) {
        const QList<XmlNode> titles =
            input.elements(number, WellKnownNamespaces::Itunes, u"title"_qs);
        if (titles.isEmpty())
            continue;
        const QString title =
            FeedCheckValues::unescaped(input.document.episode(number)[EpisodeColumn::Title])
                .trimmed();
        const QString shown = FeedCheckValues::unescaped(titles.first().text()).trimmed();
        if (shown != title)
            input.report(Place::ofTag(u"itunes:title"_qs, number),
                         QStringLiteral("itunes:title \"%1\" is not the Title \"%2\"; Apple shows "
                                        "itunes:title.")
                             .arg(shown, title));
    }
}
} // namespace FeedCheckApple
