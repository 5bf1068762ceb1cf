#pragma once

#include "DocumentCommand.h"
#include "model/PodcastDocument.h"

// The prefixes More Tags declared for the tags it added: they go and come
// back with those tags, in the same step.
class SetNamespacesCommand : public DocumentCommand {
public:
    SetNamespacesCommand(PodcastDocument &document, PodcastDocument::Namespaces after);

protected:
    void apply() override;
    void revert() override;

private:
    PodcastDocument::Namespaces m_before;
    PodcastDocument::Namespaces m_after;
};
