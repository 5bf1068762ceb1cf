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

void reportRepeated(const FeedCheckInput &input, qsizetype number, const QStringList &tags) {
    const QByteArray &block =
        number == 0 ? input.document.channelExtra() : input.document.episode(number).extra;
    for (const QString &tag : tags) {
        // Read only where the name is written twice: a feed's thousands of
        // blocks are not each searched for a dozen tags.
        const QByteArray opening = '<' + tag.toUtf8();
        const qsizetype first = block.indexOf(opening);
        if (first < 0 || block.indexOf(opening, first + opening.size()) < 0)
            continue;
        const auto [namespaceName, local] = nameOf(tag);
        if (local.isEmpty())
            continue;
        const qsizetype count = input.elements(number, namespaceName, local).size();
        if (count > 1)
            input.report(Place::ofTag(tag, number),
                         QStringLiteral("%1 stands %2 times; it may stand only once, and "
                                        "directories read only one of them.")
                             .arg(tag)
                             .arg(count));
    }
}
} // namespace

void repeatedTags(const FeedCheckInput &input) {
    reportRepeated(input, 0, TagTemplates::singleTags(TagTemplates::Scope::Podcast));
    const QStringList episodeTags = TagTemplates::singleTags(TagTemplates::Scope::Episode);
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
