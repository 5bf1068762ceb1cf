#pragma once

#include "DocumentCommand.h"

#include <QtGlobal>

// Move Up, Move Down and a drag within the list: a block of episodes moves
// so that its first becomes episode to. The list's order is the feed's.
class MoveEpisodesCommand : public DocumentCommand {
public:
    MoveEpisodesCommand(PodcastDocument &document, qsizetype first, qsizetype count, qsizetype to);

protected:
    void apply() override;
    void revert() override;

private:
    qsizetype m_first;
    qsizetype m_count;
    qsizetype m_to;
};
