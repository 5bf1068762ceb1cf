#pragma once

#include "DocumentCommand.h"

#include <QString>

// Typing in one of the twelve boxes. Consecutive typing in the same box
// merges into one step, as text editors do; typing back to where it started
// leaves no step at all.
class SetFieldCommand : public DocumentCommand {
public:
    static constexpr int Id = 1;

    SetFieldCommand(PodcastDocument &document, int field, const QString &text);

    int id() const override { return Id; }
    bool mergeWith(const QUndoCommand *other) override;
    int field() const { return m_field; }

protected:
    void apply() override;
    void revert() override;

private:
    int m_field;
    QString m_before;
    QString m_after;
};
