#pragma once

#include "ErrorReporter.h"
#include "StepFailure.h"

#include <QString>
#include <exception>
#include <new>
#include <utility>

// The guard a handler arms before its first step. Each numbered step runs
// through step(); a failure inside it (or inside anything it calls that has
// no guard of its own) is reported once with this handler's location text and
// that step's number, and the handler goes on with its next step.
class StepGuard {
public:
    StepGuard(ErrorReporter &reporter, QString location)
        : m_reporter(reporter)
        , m_location(std::move(location)) {}
    StepGuard(const StepGuard &) = delete;
    StepGuard &operator=(const StepGuard &) = delete;

    // Runs one step; true when it finished, false when it failed and was reported.
    template<typename F> bool step(int number, F &&body) {
        m_step = number;
        try {
            std::forward<F>(body)();
            return true;
        } catch (const std::bad_alloc &) {
            if (m_propagateOutOfMemory)
                throw;
            report(QStringLiteral("Out of memory"));
        } catch (const StepFailure &failure) {
            report(failure.description());
        } catch (const std::exception &failure) {
            report(QString::fromLocal8Bit(failure.what()));
        } catch (...) {
            report(QStringLiteral("Unknown failure"));
        }
        return false;
    }

    // Enters a step that cannot fail (a test, a branch) so reports from
    // later helpers still name the right step.
    void enter(int number) { m_step = number; }

    // Out of memory is then no step's failure but the whole command's: a
    // load that cannot finish must change nothing.
    void setPropagateOutOfMemory(bool propagate) { m_propagateOutOfMemory = propagate; }

    int currentStep() const { return m_step; }
    const QString &location() const { return m_location; }
    ErrorReporter &reporter() const { return m_reporter; }

private:
    void report(const QString &description) {
        m_reporter.reportFailure(m_location, m_step, description);
    }

    ErrorReporter &m_reporter;
    QString m_location;
    int m_step = 0;
    bool m_propagateOutOfMemory = false;
};
