#pragma once

#include "ConnectionLoan.h"
#include "Error.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QSocketNotifier;

namespace db {

// Wakes the owner's event loop when a worker has handed something over: through a file
// descriptor, so that no object of the toolkit passes between the threads.
class OwnerWake {
public:
    OwnerWake();
    OwnerWake(const OwnerWake&) = delete;
    OwnerWake& operator=(const OwnerWake&) = delete;
    // False when the descriptor cannot be made: no wake-up will come.
    bool start(std::function<void()> onWake);
    ~OwnerWake();
    // Any thread.
    void signal();
    // The owner's thread, before it looks at what was handed over.
    void consume();

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// What one worker and its owner hand each other, in order, under one lock: the worker's side
// puts and the owner's side takes, or the other way round. A put waits while `capacity` items
// wait to be taken, so that a fast producer holds no more than that; stop() ends every wait.
template <class T> class Handoff {
public:
    explicit Handoff(size_t capacity = std::numeric_limits<size_t>::max()) : m_capacity(capacity) {}

    // Wakes the owner's event loop (see OwnerWake) once for the items put since it last took.
    bool wakeOwner(std::function<void()> onWake) { return m_wake.start(std::move(onWake)); }

    // Waits for room unless stopped; the item is always kept. False once stopped.
    bool put(T item) {
        bool wake = false;
        {
            std::unique_lock lock(m_lock);
            m_changed.wait(lock, [&] { return m_stopped || m_items.size() < m_capacity; });
            m_items.push_back(std::move(item));
            wake = !std::exchange(m_wakePending, true);
        }
        m_changed.notify_all();
        if (wake) m_wake.signal();
        return !stopped();
    }
    // Waits for the next item; none once stopped.
    std::optional<T> take() {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_stopped || !m_items.empty(); });
        if (m_stopped) return std::nullopt;
        std::optional<T> item(std::move(m_items.front()));
        m_items.pop_front();
        m_changed.notify_all();
        return item;
    }
    // What waits now, without waiting, stopped or not.
    std::deque<T> takeAll() {
        m_wake.consume();
        std::deque<T> items;
        {
            const std::lock_guard lock(m_lock);
            items.swap(m_items);
            m_wakePending = false;
        }
        m_changed.notify_all();
        return items;
    }
    // True once an item waits, waiting at most this long.
    bool waitFor(int milliseconds) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [&] { return !m_items.empty(); });
    }
    bool waiting() {
        const std::lock_guard lock(m_lock);
        return !m_items.empty();
    }
    // Puts no longer wait and takes give nothing, from now on until reset.
    void stop() {
        {
            const std::lock_guard lock(m_lock);
            m_stopped = true;
        }
        m_changed.notify_all();
    }
    bool stopped() {
        const std::lock_guard lock(m_lock);
        return m_stopped;
    }
    // Empty and not stopped, for the next worker; only while none runs.
    void reset() {
        const std::lock_guard lock(m_lock);
        m_items.clear();
        m_stopped = false;
        m_wakePending = false;
    }

private:
    const size_t m_capacity;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_stopped = false;
    bool m_wakePending = false;
    OwnerWake m_wake;
};

// Runs one job on a thread of its own with the connection lent to it: the job alone uses the
// loan from start until join, which brings the loan back to the owner's thread to end there.
class LoanWorker {
public:
    // Gets the loan's work; what it returns is the loan's outcome (see ConnectionLoan).
    using Job = std::function<ErrorList(StatementWork&)>;

    LoanWorker() = default;
    LoanWorker(const LoanWorker&) = delete;
    LoanWorker& operator=(const LoanWorker&) = delete;
    // The owner stops its job first; a job still running is awaited and its loan ended.
    ~LoanWorker();

    // Takes the loan and starts job. False, with errors and the loan left with the caller,
    // when no thread can be started.
    bool start(ConnectionLoan& loan, Job job, ErrorList& errors);
    // From start until join.
    bool running() const { return m_thread.joinable(); }
    // True once the job has ended, waiting at most this long for it.
    bool waitFor(int milliseconds);
    // Waits for the job to end: the loan comes back, its outcome set.
    ConnectionLoan join();

private:
    ConnectionLoan m_loan;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_done = false;
};

} // namespace db
