#pragma once

#include "xml/WorkProgress.h"

#include <atomic>
#include <optional>
#include <thread>

// Progress of a long load or save on stderr, when stderr is a terminal:
// one line rewritten in place, cleared at the end. Into a pipe or a file it
// writes nothing, so scripts read only what they asked for.
class TerminalProgress {
public:
    explicit TerminalProgress(const char *label);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress &) = delete;
    TerminalProgress &operator=(const TerminalProgress &) = delete;

private:
    void show();

    const char *m_label;
    WorkProgress m_progress;
    std::optional<WorkProgress::Scope> m_scope;
    std::atomic<bool> m_stop{false};
    std::thread m_printer;
};
