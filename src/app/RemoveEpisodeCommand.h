#pragma once

#include "DocumentCommand.h"
#include "model/Episode.h"

// Removes one episode; undo puts it back at its number, kept content and all.
class RemoveEpisodeCommand : public DocumentCommand {
public:
    RemoveEpisodeCommand(PodcastDocument &document, qsizetype number);

protected:
    void apply() override;
    void revert() override;

private:
    qsizetype m_number;
    Episode m_episode;
};
