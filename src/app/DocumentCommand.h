#pragma once

#include <QUndoCommand>

class PodcastDocument;

// A change to the document that can be undone. The first redo() is the
// change itself and keeps the document's rules for DocumentChanged (some
// changes set it, the Delete key does not); undoing or redoing it later
// marks the document changed, and DocumentUndoStack clears the mark again
// when the history is back at the saved state.
class DocumentCommand : public QUndoCommand {
public:
    void redo() final;
    void undo() final;

protected:
    enum class FirstRun {
        FollowsDocument, // only the document's own rules touch the flag
        SetsChanged,     // the command sets DocumentChanged, as its button does
    };

    DocumentCommand(PodcastDocument &document, const QString &text, FirstRun firstRun);

    PodcastDocument &document() const { return m_document; }
    virtual void apply() = 0;
    virtual void revert() = 0;

private:
    PodcastDocument &m_document;
    FirstRun m_firstRun;
    bool m_done = false;
};
