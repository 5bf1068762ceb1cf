#pragma once

#include <QStringList>

class QMimeData;

// What a drop on the episode list brings, sorted by what the editor can do
// with it: audio and video become episodes, a feed is loaded, the rest is
// named back to the user.
struct DroppedFiles {
    QStringList media;
    QStringList feeds;
    // Files of another kind and addresses that are not local files, as the
    // user would recognise them.
    QStringList others;

    // Whether data carries addresses at all; rows dragged within the list
    // carry none.
    static bool offersFiles(const QMimeData &data);
    static DroppedFiles sort(const QMimeData &data);
};
