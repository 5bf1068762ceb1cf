#pragma once

#include "EpisodeColumn.h"

#include <QByteArray>
#include <QString>
#include <array>

// One Episode record: thirteen plain texts, held exactly as entered or read,
// and the item's kept content: what a loaded item held that no column holds,
// as UTF-8 XML text (see PodcastDocument::channelExtra for its form).
struct Episode {
    std::array<QString, EpisodeColumn::Count> columns;
    QByteArray extra;
    // The item of the loaded file this record came from (see
    // PodcastDocument::source), or -1 for a record the file did not have.
    qint32 source = -1;

    const QString &operator[](int column) const { return columns[column]; }
    QString &operator[](int column) { return columns[column]; }
    // The same record whichever file, if any, it came from.
    bool operator==(const Episode &other) const {
        return columns == other.columns && extra == other.extra;
    }
};
// Its members move by their bytes: a list of many episodes grows without
// copying each one.
Q_DECLARE_TYPEINFO(Episode, Q_RELOCATABLE_TYPE);
