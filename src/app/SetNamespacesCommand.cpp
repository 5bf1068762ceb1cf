#include "SetNamespacesCommand.h"

SetNamespacesCommand::SetNamespacesCommand(PodcastDocument &document,
                                           PodcastDocument::Namespaces after)
    : DocumentCommand(document, QStringLiteral("More Tags"))
    , m_before(document.namespaces())
    , m_after(std::move(after)) {
    setObsolete(m_before == m_after);
}

void SetNamespacesCommand::apply() {
    document().setNamespaces(m_after);
}

void SetNamespacesCommand::revert() {
    document().setNamespaces(m_before);
}
