#include "DocumentCommand.h"

#include "model/PodcastDocument.h"

DocumentCommand::DocumentCommand(PodcastDocument &document, const QString &text)
    : m_document(document) {
    setText(text);
}

namespace {
// Marks the edits of one step as the history's, even when one throws.
class HistoryStep {
public:
    explicit HistoryStep(PodcastDocument &document)
        : m_document(document) {
        m_document.beginHistoryStep();
    }
    ~HistoryStep() { m_document.endHistoryStep(); }
    HistoryStep(const HistoryStep &) = delete;
    HistoryStep &operator=(const HistoryStep &) = delete;

private:
    PodcastDocument &m_document;
};
} // namespace

void DocumentCommand::redo() {
    const HistoryStep step(m_document);
    apply();
}

void DocumentCommand::undo() {
    const HistoryStep step(m_document);
    revert();
}
