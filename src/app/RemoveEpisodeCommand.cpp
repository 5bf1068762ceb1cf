#include "RemoveEpisodeCommand.h"

#include "model/PodcastDocument.h"

RemoveEpisodeCommand::RemoveEpisodeCommand(PodcastDocument &document, qsizetype number,
                                           Trigger trigger)
    : DocumentCommand(document, QStringLiteral("Delete Episode"),
                      trigger == Trigger::Button ? FirstRun::SetsChanged
                                                 : FirstRun::FollowsDocument)
    , m_number(number)
    , m_episode(document.episode(number)) {}

void RemoveEpisodeCommand::apply() {
    document().removeEpisode(m_number);
}

void RemoveEpisodeCommand::revert() {
    document().insertEpisodes(m_number, {m_episode});
}
