#include "AddEpisodesCommand.h"

#include "model/PodcastDocument.h"

AddEpisodesCommand::AddEpisodesCommand(PodcastDocument &document, QList<Episode> episodes,
                                       qsizetype number)
    : DocumentCommand(document,
                      episodes.size() == 1 ? QStringLiteral("Add Episode")
                                           : QStringLiteral("Add Episodes"))
    , m_episodes(std::move(episodes))
    , m_number(number > 0 ? number : document.episodeCount() + 1) {
    setObsolete(m_episodes.isEmpty());
}

void AddEpisodesCommand::apply() {
    document().insertEpisodes(m_number, m_episodes);
}

void AddEpisodesCommand::revert() {
    document().removeEpisodes(m_number, m_episodes.size());
}
