#pragma once

#include "feed/ErrorReporter.h"

#include <QList>

// Records every error report instead of showing it.
class RecordingErrorReporter : public ErrorReporter {
public:
    struct Report {
        QString location;
        int step;
        QString description;
    };

    void reportFailure(const QString &location, int step, const QString &description) override {
        reports.append({location, step, description});
    }

    QList<Report> reports;
};
