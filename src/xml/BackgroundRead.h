#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QFile;

// A file read into memory on a thread of its own, so the parse can begin
// on the first bytes while the rest is still coming in. The text is sized
// once to the file and never moves, so its bytes can be read where they
// stand as soon as they are in.
class BackgroundRead {
public:
    enum class Outcome { Reading, Whole, Changed, Failed };

    // Starts reading `file`, open for reading, from its start.
    explicit BackgroundRead(std::unique_ptr<QFile> file);
    ~BackgroundRead();
    BackgroundRead(const BackgroundRead &) = delete;
    BackgroundRead &operator=(const BackgroundRead &) = delete;

    // As long as the file was when the read began; bytes arrive from the front.
    const QByteArray &text() const { return m_text; }
    // Waits until the first `end` bytes are in or the read has ended, and
    // answers how many of them are in.
    qsizetype waitFor(qsizetype end) const;
    // How many bytes are in now, without waiting.
    qsizetype filled() const { return m_filledNow.load(std::memory_order_acquire); }
    // Waits for the read to end. Changed: the file was longer or shorter
    // than its size when the read began, and text() is not its content.
    Outcome wait() const;
    QString errorString() const;
    // Ends the read early; the text is then never whole.
    void stop();

private:
    void run();

    std::unique_ptr<QFile> m_file;
    QByteArray m_text;
    // Written through only here; the text's holders only read it.
    char *m_data = nullptr;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    qsizetype m_filled = 0;
    std::atomic<qsizetype> m_filledNow{0};
    Outcome m_outcome = Outcome::Reading;
    bool m_stopping = false;
    QString m_error;
    std::thread m_thread;
};
