#include "RemoveEpisodeCommand.h"

#include "model/PodcastDocument.h"

RemoveEpisodeCommand::RemoveEpisodeCommand(PodcastDocument &document, qsizetype number)
    : DocumentCommand(document, QStringLiteral("Delete Episode"))
    , m_number(number)
    , m_episode(document.episode(number)) {}

void RemoveEpisodeCommand::apply() {
    document().removeEpisode(m_number);
}

void RemoveEpisodeCommand::revert() {
    document().insertEpisodes(m_number, {m_episode});
}
