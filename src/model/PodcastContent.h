#pragma once

#include "ChannelField.h"
#include "Episode.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <memory>
#include <utility>

// Everything a PodcastDocument holds, taken or put back in one piece: what
// undoing a load or "New" restores. Copies are cheap; the lists are shared
// until one side changes.
class FeedSource;

struct PodcastContent {
    using Namespaces = QList<std::pair<QString, QString>>;

    std::array<QString, ChannelField::Count> fields;
    QList<Episode> episodes;
    QByteArray channelExtra;
    QByteArray hiddenItems;
    QByteArray prolog;
    Namespaces namespaces;
    std::shared_ptr<const FeedSource> source;

    bool operator==(const PodcastContent &other) const = default;
};
