#pragma once

#include "DocumentCommand.h"
#include "model/Episode.h"

// The episode dialog's Save in edit mode: the row's thirteen columns are
// replaced in place; its kept content goes with the record.
class EditEpisodeCommand : public DocumentCommand {
public:
    EditEpisodeCommand(PodcastDocument &document, qsizetype number, const Episode &after);

protected:
    void apply() override;
    void revert() override;

private:
    qsizetype m_number;
    Episode m_before;
    Episode m_after;
};
