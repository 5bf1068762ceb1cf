#pragma once

#include "feed/FeedFinding.h"
#include "feed/FeedFix.h"

#include <QString>

class DocumentUndoStack;
class FeedCheckDialog;
class PodcastDocument;

// The fixes Check Feed offers: shown on the dialog's buttons, made as one
// step of the document's history, after which the dialog shows the check
// again.
class FindingFixes {
public:
    // `feedPath` is the document's file, beside which media files are looked
    // for; empty for a feed not yet saved.
    FindingFixes(PodcastDocument &document, DocumentUndoStack &undoStack, const QString &feedPath);

    void attach(FeedCheckDialog &dialog);
    // Makes the fix of this finding, or of every finding of its rule; false
    // when there was nothing to fix.
    bool apply(const FeedFinding &finding, bool all);
    // A refused save whose values escaping mends: mends them all, as one step.
    bool applyRefusalFix();

private:
    PodcastDocument &m_document;
    DocumentUndoStack &m_undoStack;
    FeedFix::Context m_context;
};
