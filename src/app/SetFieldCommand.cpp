#include "SetFieldCommand.h"

#include "model/PodcastDocument.h"

SetFieldCommand::SetFieldCommand(PodcastDocument &document, int field, const QString &text)
    : DocumentCommand(document, QStringLiteral("Typing"))
    , m_field(field)
    , m_before(document.field(field))
    , m_after(text) {
    setObsolete(m_before == m_after);
}

bool SetFieldCommand::mergeWith(const QUndoCommand *other) {
    const auto *typing = dynamic_cast<const SetFieldCommand *>(other);
    if (!typing || typing->m_field != m_field)
        return false;
    m_after = typing->m_after;
    setObsolete(m_before == m_after);
    return true;
}

void SetFieldCommand::apply() {
    document().setField(m_field, m_after);
}

void SetFieldCommand::revert() {
    document().setField(m_field, m_before);
}
