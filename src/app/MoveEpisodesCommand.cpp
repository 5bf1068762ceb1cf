#include "MoveEpisodesCommand.h"

#include "model/PodcastDocument.h"

MoveEpisodesCommand::MoveEpisodesCommand(PodcastDocument &document, qsizetype first,
                                         qsizetype count, qsizetype to)
    : DocumentCommand(document,
                      count == 1 ? QStringLiteral("Move Episode") : QStringLiteral("Move Episodes"))
    , m_first(first)
    , m_count(count)
    , m_to(to) {
    setObsolete(first == to || count <= 0);
}

void MoveEpisodesCommand::apply() {
    document().moveEpisodes(m_first, m_count, m_to);
}

void MoveEpisodesCommand::revert() {
    document().moveEpisodes(m_to, m_count, m_first);
}
