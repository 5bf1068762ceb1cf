#pragma once

#include "DocumentCommand.h"
#include "model/PodcastContent.h"

// A load or "New" as one step: the whole content before and after.
class ReplaceDocumentCommand : public DocumentCommand {
public:
    enum class Applied {
        No,  // the first redo puts after into the document ("New")
        Yes, // the document already holds after (a load read straight into it)
    };

    ReplaceDocumentCommand(PodcastDocument &document, const QString &text, PodcastContent before,
                           PodcastContent after, Applied applied);

protected:
    void apply() override;
    void revert() override;

private:
    PodcastContent m_before;
    PodcastContent m_after;
    bool m_skipNextApply;
};
