#pragma once

#include <QUndoCommand>

class PodcastDocument;

// A change to the document that can be undone. Whether the document is
// then changed is the history's to say (DocumentUndoStack).
class DocumentCommand : public QUndoCommand {
public:
    void redo() final;
    void undo() final;

protected:
    DocumentCommand(PodcastDocument &document, const QString &text);

    PodcastDocument &document() const { return m_document; }
    virtual void apply() = 0;
    virtual void revert() = 0;

private:
    PodcastDocument &m_document;
};
