#pragma once

#include <QString>
#include <atomic>
#include <functional>

// How far a long piece of work (a load, a save, a check) has come, and
// whether the user cancelled it. The window that waits reads it from its own
// thread; the work writes it from the thread it runs on, where it is the
// current one (Scope), so that readers and writers deep inside report bytes
// without every call in between passing it on.
class WorkProgress {
public:
    // What is counted.
    enum class Unit { Bytes, Items, Files };
    void setUnit(Unit unit) { m_unit.store(unit, std::memory_order_relaxed); }
    Unit unit() const { return m_unit.load(std::memory_order_relaxed); }

    void setTotal(qint64 total) { m_total.store(total, std::memory_order_relaxed); }
    void setDone(qint64 done) {
        m_done.store(done, std::memory_order_relaxed);
        if (m_onDone)
            m_onDone(*this);
    }
    qint64 total() const { return m_total.load(std::memory_order_relaxed); }
    qint64 done() const { return m_done.load(std::memory_order_relaxed); }

    // Set for tests before the work starts: called on the work's thread after
    // each step it reports, where a cancel cannot come too late.
    void setOnDone(std::function<void(WorkProgress &)> onDone) { m_onDone = std::move(onDone); }

    void cancel() { m_cancelled.store(true, std::memory_order_release); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

    // The work this thread is doing, or null.
    static WorkProgress *current() { return s_current; }
    static bool currentCancelled() { return s_current && s_current->isCancelled(); }
    static QString cancelledReason() { return QStringLiteral("Cancelled"); }

    // Makes `progress` the current work of this thread while it lives.
    class Scope {
    public:
        explicit Scope(WorkProgress &progress)
            : m_previous(s_current) {
            s_current = &progress;
        }
        ~Scope() { s_current = m_previous; }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        WorkProgress *m_previous;
    };

private:
    std::atomic<qint64> m_total{0};
    std::atomic<qint64> m_done{0};
    std::atomic<bool> m_cancelled{false};
    std::atomic<Unit> m_unit{Unit::Bytes};
    std::function<void(WorkProgress &)> m_onDone;
    static inline thread_local WorkProgress *s_current = nullptr;
};
