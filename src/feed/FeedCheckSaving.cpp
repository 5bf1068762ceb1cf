#include "FeedCheckSaving.h"

#include "FeedCheckInput.h"
#include "FeedFault.h"
#include "model/PodcastDocument.h"

using Place = FeedFinding::Place;

namespace FeedCheckSaving {
namespace {
QString refusal(const QString &reason) {
    return QStringLiteral("Save refuses this: %1.").arg(reason);
}
} // namespace

void refusedValues(const FeedCheckInput &input) {
    for (int index = 0; index < ChannelField::Count; ++index) {
        const QString reason =
            FeedFault::problem(input.document.field(index), FeedFault::isAttributeField(index));
        if (!reason.isEmpty())
            input.report(Place::ofField(index), refusal(reason));
    }
    qsizetype number = 0;
    for (const Episode &episode : input.document.episodes()) {
        ++number;
        for (int column = 0; column < EpisodeColumn::Count; ++column) {
            const QString reason =
                FeedFault::problem(episode.view(column), FeedFault::isAttributeColumn(column));
            if (!reason.isEmpty())
                input.report(Place::ofColumn(number, column), refusal(reason));
        }
    }
}
} // namespace FeedCheckSaving
