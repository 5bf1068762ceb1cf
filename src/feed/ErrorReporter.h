#pragma once

#include <QString>

// Shows the Application error report: a guarded handler calls it for a step
// that failed in a way the handler did not test for, then carries on.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void reportFailure(const QString &location, int step, const QString &description) = 0;
};
