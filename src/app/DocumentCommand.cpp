#include "DocumentCommand.h"

#include "model/PodcastDocument.h"

DocumentCommand::DocumentCommand(PodcastDocument &document, const QString &text, FirstRun firstRun)
    : m_document(document)
    , m_firstRun(firstRun) {
    setText(text);
}

void DocumentCommand::redo() {
    apply();
    if (m_done || m_firstRun == FirstRun::SetsChanged)
        m_document.setDocumentChanged(true);
    m_done = true;
}

void DocumentCommand::undo() {
    revert();
    m_document.setDocumentChanged(true);
}
