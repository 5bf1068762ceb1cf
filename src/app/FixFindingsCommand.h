#pragma once

#include "DocumentCommand.h"
#include "model/PodcastContent.h"

// A fix of the feed check's findings as one step: the content before and
// after. A fix is an edit, so the document counts as changed.
class FixFindingsCommand : public DocumentCommand {
public:
    FixFindingsCommand(PodcastDocument &document, const QString &text, PodcastContent before,
                       PodcastContent after);

protected:
    void apply() override;
    void revert() override;

private:
    PodcastContent m_before;
    PodcastContent m_after;
};
