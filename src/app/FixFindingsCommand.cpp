#include "FixFindingsCommand.h"

#include "model/PodcastDocument.h"

FixFindingsCommand::FixFindingsCommand(PodcastDocument &document, const QString &text,
                                       PodcastContent before, PodcastContent after)
    : DocumentCommand(document, text)
    , m_before(std::move(before))
    , m_after(std::move(after)) {}

void FixFindingsCommand::apply() {
    document().replaceContent(m_after);
}

void FixFindingsCommand::revert() {
    document().replaceContent(m_before);
}
