#include "BackgroundRead.h"

#include "LargePages.h"

#include <QFile>

namespace {
// Large enough that the parser seldom waits on a hand-over, small enough
// that it starts soon after the first one.
constexpr qsizetype Piece = qsizetype(512) << 10;
} // namespace

BackgroundRead::BackgroundRead(std::unique_ptr<QFile> file)
    : m_file(std::move(file)) {
    const qint64 size = m_file->size();
    if (size > 0) {
        // Sized exactly: resize() would round a large file up to the next
        // power of two.
        m_text = QByteArray(qsizetype(size), Qt::Uninitialized);
        LargePages::advise(m_text);
        m_data = m_text.data();
    }
    m_thread = std::thread([this] { run(); });
}

BackgroundRead::~BackgroundRead() {
    stop();
    m_thread.join();
}

void BackgroundRead::run() {
    qsizetype filled = 0;
    const qsizetype size = m_text.size();
    Outcome outcome = Outcome::Whole;
    QString error;
    char *const data = m_data;
    while (filled < size) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                outcome = Outcome::Failed;
                break;
            }
        }
        const qsizetype piece = std::min(Piece, size - filled);
        // Faulted in by one call rather than page by page as the copy
        // writes them.
        LargePages::touch(data + filled, piece);
        const qint64 n = m_file->read(data + filled, piece);
        if (n < 0) {
            outcome = Outcome::Failed;
            error = m_file->errorString();
            break;
        }
        if (n == 0) {
            outcome = Outcome::Changed; // shorter than it was
            break;
        }
        filled += qsizetype(n);
        m_filledNow.store(filled, std::memory_order_release);
        std::lock_guard lock(m_mutex);
        m_filled = filled;
        m_arrived.notify_all();
    }
    if (outcome == Outcome::Whole) {
        char more = 0;
        const qint64 n = m_file->read(&more, 1);
        if (n < 0) {
            outcome = Outcome::Failed;
            error = m_file->errorString();
        } else if (n > 0) {
            outcome = Outcome::Changed; // longer than it was
        }
    }
    m_file->close();
    std::lock_guard lock(m_mutex);
    m_outcome = outcome;
    m_error = error;
    m_arrived.notify_all();
}

qsizetype BackgroundRead::waitFor(qsizetype end) const {
    std::unique_lock lock(m_mutex);
    m_arrived.wait(lock, [&] { return m_filled >= end || m_outcome != Outcome::Reading; });
    return std::min(m_filled, end);
}

BackgroundRead::Outcome BackgroundRead::wait() const {
    std::unique_lock lock(m_mutex);
    m_arrived.wait(lock, [&] { return m_outcome != Outcome::Reading; });
    return m_outcome;
}

QString BackgroundRead::errorString() const {
    std::lock_guard lock(m_mutex);
    switch (m_outcome) {
    case Outcome::Changed:
        return QStringLiteral("The file changed while it was read");
    case Outcome::Failed:
        return m_error.isEmpty() ? QStringLiteral("The file cannot be read") : m_error;
    default:
        return {};
    }
}

void BackgroundRead::stop() {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
}
