#pragma once

#include <QPointer>
#include <QUndoStack>

class PodcastDocument;

// The one history of a document, and the one place that knows whether the
// document is changed: it is unless the history stands at its clean state,
// the last saved one. A command done, undone or redone changes it; a flow
// that marks the document changed without a step of its own leaves the
// clean state behind until the next save.
class DocumentUndoStack : public QUndoStack {
    Q_OBJECT

public:
    explicit DocumentUndoStack(PodcastDocument &document, QObject *parent = nullptr);
    ~DocumentUndoStack() override;

    // Call once a save has written the document: this state is the file's.
    void markSaved();

private:
    void setChanged(bool changed);

    QPointer<PodcastDocument> m_document;
};
