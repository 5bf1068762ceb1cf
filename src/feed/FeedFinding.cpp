#include "FeedFinding.h"

#include "model/ChannelField.h"
#include "model/EpisodeColumn.h"

QString FeedFinding::Place::text() const {
    QString owner =
        episode > 0 ? QStringLiteral("Episode %1").arg(episode) : QStringLiteral("Podcast");
    if (isField()) {
        QString caption = ChannelField::caption(field);
        caption.chop(1); // the colon
        return owner + QStringLiteral(", ") + caption;
    }
    if (isColumn())
        return owner + QStringLiteral(", ") + EpisodeColumn::header(column);
    return tag.isEmpty() ? owner : owner + QStringLiteral(", ") + tag;
}

QString FeedFinding::severityText(Severity severity) {
    return severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
}

QString FeedFinding::moreText() const {
    return more > 0 ? QStringLiteral("and %1 more like this").arg(more) : QString();
}
