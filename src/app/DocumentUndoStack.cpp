#include "DocumentUndoStack.h"

#include "model/PodcastDocument.h"

DocumentUndoStack::DocumentUndoStack(PodcastDocument &document, QObject *parent)
    : QUndoStack(parent)
    , m_document(&document) {
    document.setChangeKeeper(
        {[this] { return !isClean(); }, [this](bool changed) { setChanged(changed); }});
    connect(this, &QUndoStack::cleanChanged, this, [this](bool clean) {
        if (m_document)
            m_document->announceDocumentChanged(!clean);
    });
}

DocumentUndoStack::~DocumentUndoStack() {
    // QUndoStack's destructor clears the stack and signals it, when this part
    // of the object is already gone.
    disconnect(this, nullptr, this, nullptr);
    if (m_document)
        m_document->setChangeKeeper({});
}

void DocumentUndoStack::markSaved() {
    setClean();
}

void DocumentUndoStack::setChanged(bool changed) {
    if (!changed)
        setClean();
    else if (isClean())
        resetClean();
}
