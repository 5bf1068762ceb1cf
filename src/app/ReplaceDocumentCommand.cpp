#include "ReplaceDocumentCommand.h"

#include "model/PodcastDocument.h"

ReplaceDocumentCommand::ReplaceDocumentCommand(PodcastDocument &document, const QString &text,
                                               PodcastContent before, PodcastContent after,
                                               Applied applied)
    : DocumentCommand(document, text)
    , m_before(std::move(before))
    , m_after(std::move(after))
    , m_skipNextApply(applied == Applied::Yes) {
    // A load that read nothing new leaves nothing to undo.
    setObsolete(m_before == m_after);
}

void ReplaceDocumentCommand::apply() {
    if (m_skipNextApply)
        m_skipNextApply = false;
    else
        document().replaceContent(m_after);
    if (m_follow)
        m_follow(true);
}

void ReplaceDocumentCommand::revert() {
    document().replaceContent(m_before);
    if (m_follow)
        m_follow(false);
}
