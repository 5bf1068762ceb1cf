#pragma once

#include "EpisodeColumn.h"

#include <QString>
#include <array>

// One Episode record: thirteen plain texts, held exactly as entered or read.
struct Episode {
    std::array<QString, EpisodeColumn::Count> columns;

    const QString &operator[](int column) const { return columns[column]; }
    QString &operator[](int column) { return columns[column]; }
    bool operator==(const Episode &other) const = default;
};
