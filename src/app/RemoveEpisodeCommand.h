#pragma once

#include "DocumentCommand.h"
#include "model/Episode.h"

// Removes one episode; undo puts it back at its number, kept content and all.
class RemoveEpisodeCommand : public DocumentCommand {
public:
    enum class Trigger {
        Button,    // "Delete Episode" and the double-click: mark the document changed
        DeleteKey, // the list's Delete key leaves DocumentChanged as it was
    };

    RemoveEpisodeCommand(PodcastDocument &document, qsizetype number, Trigger trigger);

protected:
    void apply() override;
    void revert() override;

private:
    qsizetype m_number;
    Episode m_episode;
};
