#pragma once

#include "feed/ErrorReporter.h"

#include <QList>

// Keeps the Application error reports for the output instead of showing them.
class CollectedReports : public ErrorReporter {
public:
    struct Report {
        QString location;
        int step;
        QString description;
    };

    void reportFailure(const QString &location, int step, const QString &description) override {
        m_reports.append({location, step, description});
    }

    const QList<Report> &reports() const { return m_reports; }

private:
    QList<Report> m_reports;
};
