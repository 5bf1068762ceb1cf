#pragma once

#include <QUndoStack>

class PodcastDocument;

// The one history of a document. The stack's clean state is the last saved
// state: whenever the history reaches it again, DocumentChanged is cleared,
// so closing after undoing back to it does not ask to save. Every other step
// through the history marks the document changed (DocumentCommand), while the
// first run of a command follows the document's own rules.
class DocumentUndoStack : public QUndoStack {
    Q_OBJECT

public:
    explicit DocumentUndoStack(PodcastDocument &document, QObject *parent = nullptr);
    ~DocumentUndoStack() override;

    // Call once a save has written the document: this state is the file's.
    void markSaved();

private:
    void clearFlagWhenClean();

    PodcastDocument &m_document;
};
