#pragma once

#include <QString>
#include <stdexcept>

// An unexpected failure inside a numbered step; its text is the description
// the Application error report shows.
class StepFailure : public std::runtime_error {
public:
    explicit StepFailure(const QString &description)
        : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};
