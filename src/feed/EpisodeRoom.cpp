#include "EpisodeRoom.h"

#include "xml/LargePages.h"

void EpisodeRoom::make(qsizetype count) {
    m_made.reserve(count);
    // Reserved from empty, the list's records start at its storage.
    char *const begin = reinterpret_cast<char *>(m_made.data());
    const qsizetype size = m_made.capacity() * qsizetype(sizeof(Episode));
    LargePages::advise(begin, size);
    LargePages::touch(begin, size);
}

void EpisodeRoom::take(QList<Episode> &episodes) {
    if (m_made.capacity() > episodes.capacity()) {
        // Moved: a copy, as QList::reserve makes, takes a reference on the
        // shared text for each episode and drops the old one.
        for (Episode &episode : episodes)
            m_made.append(std::move(episode));
        episodes.swap(m_made);
    }
    m_made = {};
}

Episode &EpisodeRoom::append(QList<Episode> &episodes) {
    const qsizetype capacity = episodes.capacity();
    episodes.append(Episode());
    // Grown before the count is in: megabytes, most of them touched for
    // the first time after each growth.
    if (episodes.capacity() != capacity)
        LargePages::advise(episodes.data(), episodes.capacity() * qsizetype(sizeof(Episode)));
    return episodes.last();
}
