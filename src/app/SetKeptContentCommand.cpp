#include "SetKeptContentCommand.h"

#include "model/PodcastDocument.h"

SetKeptContentCommand::SetKeptContentCommand(PodcastDocument &document, const QByteArray &after)
    : DocumentCommand(document, QStringLiteral("More Tags"))
    , m_number(0)
    , m_before(document.channelExtra())
    , m_after(after) {
    setObsolete(m_before == m_after);
}

SetKeptContentCommand::SetKeptContentCommand(PodcastDocument &document, qsizetype number,
                                             const QByteArray &after)
    : DocumentCommand(document, QStringLiteral("More Tags"))
    , m_number(number)
    , m_before(document.episode(number).extra())
    , m_after(after) {
    setObsolete(m_before == m_after);
}

void SetKeptContentCommand::put(const QByteArray &extra) {
    if (m_number == 0) {
        document().setChannelExtra(extra); // sets DocumentChanged as a field does
        return;
    }
    if (document().episode(m_number).extra() == extra)
        return;
    document().setEpisodeExtra(m_number, extra);
}

void SetKeptContentCommand::apply() {
    put(m_after);
}

void SetKeptContentCommand::revert() {
    put(m_before);
}
