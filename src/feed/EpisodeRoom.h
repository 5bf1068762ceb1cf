#pragma once

#include "model/Episode.h"

#include <QList>

// Room for a long feed's episodes as the loader reads them. The list for
// all the items is made where they are counted (in a long file, expected
// from its head), beside the parse, and its pages are faulted in there: a
// fault costs the parse's thread microseconds for each 4 KB. The episodes
// read before the count move into it.
class EpisodeRoom {
public:
    // On the thread that counts the items, before it publishes the count.
    void make(qsizetype count);
    // On the parse's thread, once the count is published: `episodes` moves
    // into the room made for it, when that is larger.
    void take(QList<Episode> &episodes);
    // Appends an empty record to `episodes`.
    Episode &append(QList<Episode> &episodes);

private:
    QList<Episode> m_made;
};
