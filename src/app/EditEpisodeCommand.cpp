#include "EditEpisodeCommand.h"

#include "model/PodcastDocument.h"

EditEpisodeCommand::EditEpisodeCommand(PodcastDocument &document, qsizetype number,
                                       const Episode &after)
    : DocumentCommand(document, QStringLiteral("Edit Episode"))
    , m_number(number)
    , m_before(document.episode(number))
    , m_after(after) {}

void EditEpisodeCommand::apply() {
    document().setEpisode(m_number, m_after);
}

void EditEpisodeCommand::revert() {
    document().setEpisode(m_number, m_before);
}
