#pragma once

#include "ChannelField.h"
#include "Episode.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <utility>

// Everything a PodcastDocument holds, taken or put back in one piece: what
// undoing a load or "New" restores. Copies are cheap; the lists are shared
// until one side changes.
struct PodcastContent {
    using Namespaces = QList<std::pair<QString, QString>>;

    std::array<QString, ChannelField::Count> fields;
    QList<Episode> episodes;
    QByteArray channelExtra;
    QByteArray hiddenItems;
    QByteArray prolog;
    Namespaces namespaces;

    bool operator==(const PodcastContent &other) const = default;
};
