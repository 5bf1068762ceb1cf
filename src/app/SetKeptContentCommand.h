#pragma once

#include "DocumentCommand.h"

#include <QByteArray>

// "More Tags" confirmed: the kept content of the channel or of one episode.
class SetKeptContentCommand : public DocumentCommand {
public:
    // The channel's kept content.
    SetKeptContentCommand(PodcastDocument &document, const QByteArray &after);
    // The kept content of episode number.
    SetKeptContentCommand(PodcastDocument &document, qsizetype number, const QByteArray &after);

protected:
    void apply() override;
    void revert() override;

private:
    void put(const QByteArray &extra);

    qsizetype m_number; // 0 for the channel
    QByteArray m_before;
    QByteArray m_after;
};
