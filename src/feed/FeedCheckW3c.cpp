#include "FeedCheckW3c.h"

#include "FeedCheckInput.h"
#include "FeedCheckValues.h"
#include "KeptContentReader.h"
#include "model/PodcastDocument.h"

using Place = FeedFinding::Place;

namespace FeedCheckW3c {
namespace {
QString contactMessage(const char *element, const QString &value) {
    return QStringLiteral("<%1> \"%2\" is not an e-mail address, optionally followed by a name in "
                          "parentheses, such as ann@example.org (Ann Lee).")
        .arg(QLatin1StringView(element), value);
}
} // namespace

void contacts(const FeedCheckInput &input) {
    for (const char *element : {"managingEditor", "webMaster"}) {
        const QString local = QLatin1StringView(element);
        for (const XmlNode &node : input.elements(0, QString(), local)) {
            if (!FeedCheckValues::isContact(node.text()))
                input.report(Place::ofTag(local), contactMessage(element, node.text()));
        }
    }
    for (qsizetype number = 1; number <= input.document.episodeCount(); ++number) {
        for (const XmlNode &node : input.elements(number, QString(), u"author"_qs)) {
            if (!FeedCheckValues::isContact(node.text()))
                input.report(Place::ofTag(u"author"_qs, number),
                             contactMessage("author", node.text()));
        }
    }
}

void itemLinks(const FeedCheckInput &input) {
    for (qsizetype number = 1; number <= input.document.episodeCount(); ++number) {
        for (const XmlNode &node : input.elements(number, QString(), u"link"_qs)) {
            if (!FeedCheckValues::isFullUri(node.text()))
                input.report(Place::ofTag(u"link"_qs, number),
                             FeedCheckValues::hasInnerBlank(node.text().trimmed())
                                 ? FeedCheckValues::addressProblem(node.text())
                                 : QStringLiteral("The link \"%1\" is not a full address such as "
                                                  "https://example.org/episode-1.")
                                       .arg(node.text()));
        }
    }
}

void permalinkGuids(const FeedCheckInput &input) {
    for (qsizetype number = 1; number <= input.document.episodeCount(); ++number) {
        const QString guid = input.document.episode(number)[EpisodeColumn::Guid].trimmed();
        if (guid.isEmpty() || FeedCheckValues::isUriReference(guid))
            continue;
        // The first guid without text of its own carries the written guid's attributes.
        bool permaLink = true;
        for (const XmlNode &node : input.elements(number, QString(), u"guid"_qs)) {
            if (!node.hasOwnText()) {
                permaLink =
                    KeptContentReader::attribute(node, u"isPermaLink"_qs).trimmed() != u"false";
                break;
            }
        }
        if (permaLink)
            input.report(Place::ofColumn(number, EpisodeColumn::Guid),
                         QStringLiteral("The GUID \"%1\" cannot be an address, so it needs "
                                        "isPermaLink=\"false\".")
                             .arg(guid));
    }
}
} // namespace FeedCheckW3c
