#include "FindingFixes.h"

#include "DocumentUndoStack.h"
#include "ReplaceDocumentCommand.h"
#include "dialogs/FeedCheckDialog.h"
#include "feed/FeedCheck.h"
#include "model/PodcastDocument.h"

#include <QFileInfo>

FindingFixes::FindingFixes(PodcastDocument &document, DocumentUndoStack &undoStack,
                           const QString &feedPath)
    : m_document(document)
    , m_undoStack(undoStack) {
    if (!feedPath.isEmpty())
        m_context.feedFolder = QFileInfo(feedPath).absolutePath();
}

void FindingFixes::attach(FeedCheckDialog &dialog) {
    dialog.setFixes(
        [this](const FeedFinding &finding) {
            return FeedFix::canFix(m_document, finding, m_context);
        },
        [](const FeedFinding &finding) { return FeedFix::description(finding.rule); });
    QObject::connect(&dialog, &FeedCheckDialog::fixRequested, &dialog,
                     [this, &dialog](const FeedFinding &finding, bool all) {
                         if (apply(finding, all))
                             dialog.setFindings(FeedCheck::check(m_document));
                     });
}

bool FindingFixes::apply(const FeedFinding &finding, bool all) {
    const std::optional<PodcastContent> fixed =
        all ? FeedFix::fixAll(m_document, finding.rule, m_context)
            : FeedFix::fix(m_document, finding, m_context);
    if (!fixed)
        return false;
    m_undoStack.push(new ReplaceDocumentCommand(
        m_document,
        all ? QStringLiteral("Fix All Like This")
            : QStringLiteral("Fix %1").arg(finding.place.text()),
        m_document.content(), *fixed, ReplaceDocumentCommand::Applied::No));
    return true;
}

bool FindingFixes::applyRefusalFix() {
    const std::optional<PodcastContent> fixed = FeedFix::fixRefusal(m_document);
    if (!fixed)
        return false;
    m_undoStack.push(new ReplaceDocumentCommand(
        m_document, QStringLiteral("Escape Markup Characters"), m_document.content(), *fixed,
        ReplaceDocumentCommand::Applied::No));
    return true;
}
