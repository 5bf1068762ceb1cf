#include "DocumentUndoStack.h"

#include "model/PodcastDocument.h"

DocumentUndoStack::DocumentUndoStack(PodcastDocument &document, QObject *parent)
    : QUndoStack(parent)
    , m_document(document) {
    // indexChanged comes after the command's undo() or redo(), so this has
    // the last word over the flag the command set.
    connect(this, &QUndoStack::indexChanged, this, &DocumentUndoStack::clearFlagWhenClean);
    connect(this, &QUndoStack::cleanChanged, this, &DocumentUndoStack::clearFlagWhenClean);
}

DocumentUndoStack::~DocumentUndoStack() {
    // QUndoStack's destructor clears the stack and signals it, when this part
    // of the object is already gone; the document may be gone too.
    disconnect(this, nullptr, this, nullptr);
}

void DocumentUndoStack::markSaved() {
    setClean();
    m_document.setDocumentChanged(false);
}

void DocumentUndoStack::clearFlagWhenClean() {
    if (isClean())
        m_document.setDocumentChanged(false);
}
