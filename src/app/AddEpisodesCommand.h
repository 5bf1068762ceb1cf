#pragma once

#include "DocumentCommand.h"
#include "model/Episode.h"

#include <QList>

// Appends episodes, from the episode dialog or from media files; one undo
// takes them all out again.
class AddEpisodesCommand : public DocumentCommand {
public:
    // Appended, or put in from episode `number` on when one is given.
    AddEpisodesCommand(PodcastDocument &document, QList<Episode> episodes, qsizetype number = 0);

    // Episode number of the first new episode, for selecting the new rows.
    qsizetype firstNumber() const { return m_number; }

protected:
    void apply() override;
    void revert() override;

private:
    QList<Episode> m_episodes;
    qsizetype m_number;
};
