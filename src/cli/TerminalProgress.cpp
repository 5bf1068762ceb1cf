#include "TerminalProgress.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

TerminalProgress::TerminalProgress(const char *label)
    : m_label(label) {
    if (::isatty(STDERR_FILENO) != 1)
        return;
    m_scope.emplace(m_progress);
    m_printer = std::thread([this] { show(); });
}

TerminalProgress::~TerminalProgress() {
    if (!m_printer.joinable())
        return;
    m_stop = true;
    m_printer.join();
}

void TerminalProgress::show() {
    using namespace std::chrono_literals;
    bool shown = false;
    // Quick work shows nothing at all.
    for (int waited = 0; waited < 5 && !m_stop; ++waited)
        std::this_thread::sleep_for(100ms);
    while (!m_stop) {
        const qint64 total = m_progress.total();
        if (total > 0) {
            const qint64 done = std::min(m_progress.done(), total);
            std::fprintf(stderr, "\r%s %3d%%", m_label, int(done * 100 / total));
            std::fflush(stderr);
            shown = true;
        }
        std::this_thread::sleep_for(200ms);
    }
    if (shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}
