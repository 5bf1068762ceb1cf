#pragma once

#include "DocumentCommand.h"
#include "model/PodcastContent.h"

#include <functional>

// A load or "New" as one step: the whole content before and after.
class ReplaceDocumentCommand : public DocumentCommand {
public:
    enum class Applied {
        No,  // the first redo puts after into the document ("New")
        Yes, // the document already holds after (a load read straight into it)
    };

    ReplaceDocumentCommand(PodcastDocument &document, const QString &text, PodcastContent before,
                           PodcastContent after, Applied applied);

    // Called with true once after is in the document, with false once
    // before is back: what belongs with the content (its file) follows it.
    void setFollow(std::function<void(bool applied)> follow) { m_follow = std::move(follow); }

protected:
    void apply() override;
    void revert() override;

private:
    PodcastContent m_before;
    PodcastContent m_after;
    bool m_skipNextApply;
    std::function<void(bool)> m_follow;
};
