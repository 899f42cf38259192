#include "StatementRun.h"

#include <QElapsedTimer>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace {
// The first block is small so that the first screen of rows shows at once; later blocks
// gather what arrives in one slice, few enough handovers to cost nothing next to the reading.
constexpr size_t kFirstRows = 256;
constexpr size_t kFetchRows = 4096;
constexpr qint64 kSliceMs = 50;
// A block waiting for this thread is held twice for a moment: keep it bounded.
constexpr size_t kMaxBlockRows = 32768;
constexpr size_t kMaxQueuedBlocks = 2;
// psqlODBC ignores a cancel that arrives between two of its calls: ask again until the
// statement has stopped.
constexpr int kRepeatCancelMs = 200;
const QString kSource = QStringLiteral("Tolvan.Recordset");
} // namespace

StatementRun::StatementRun()
    : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_wake(m_wakeFd, QSocketNotifier::Read) {
    m_repeatCancel.setInterval(kRepeatCancelMs);
    connect(&m_repeatCancel, &QTimer::timeout, this, [this] {
        if (m_running) m_connection->cancel();
    });
    connect(&m_wake, &QSocketNotifier::activated, this, [this] {
        if (!m_running || !drain()) return;
        const bool ok = finish();
        // Last: what follows may start the next run.
        if (std::function<void(bool)> done = std::exchange(m_done, nullptr)) done(ok);
    });
}

StatementRun::~StatementRun() {
    stop();
    m_wake.setEnabled(false);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void StatementRun::start(db::Connection* connection, std::shared_ptr<db::Recordset> rs,
                         const QString& source, Watch watch, std::function<void(bool)> done) {
    // One run at a time: the window is locked while one goes on.
    if (m_running) return done(false);
    if (!rs->beginOpen(source, connection)) return done(false);
    if (m_wakeFd < 0) {
        // Without its wake-up the window would never hear of the rows.
        const db::ErrorList none{{db::ErrorNumber::Fail,
                                  QStringLiteral("The statement's worker cannot be started."),
                                  kSource}};
        return done(rs->endOpen(&none));
    }
    connection->resetCancel();
    db::ErrorList lendErrors;
    std::unique_ptr<db::StatementWork> work = connection->lend(source, lendErrors);
    if (!work) return done(rs->endOpen(&lendErrors));
    m_connection = connection;
    m_target = std::move(rs);
    m_watch = std::move(watch);
    m_done = std::move(done);
    m_running = true;
    m_cancelRequested = false;
    m_ok = false;
    m_outOfMemory = false;
    m_abandoned = false;
    m_errors.clear();
    m_queue.clear();
    m_queuedBlocks = 0;
    m_wakePending = false;
    m_stopWaiting = false;
    m_worker = std::thread([this, w = std::move(work)]() mutable { run(std::move(w)); });
}

void StatementRun::stop() {
    if (!m_running) return;
    // No loop will take the rows: the statement stops, and its end is awaited here.
    m_abandoned = true;
    m_done = nullptr;
    cancel();
    for (;;) {
        pollfd wake{m_wakeFd, POLLIN, 0};
        if (::poll(&wake, 1, kRepeatCancelMs) > 0) {
            if (drain()) break;
        } else {
            m_connection->cancel();
        }
    }
    finish();
}

bool StatementRun::finish() {
    m_worker.join();
    m_repeatCancel.stop();
    m_running = false;
    if (m_outOfMemory) {
        m_ok = false;
        m_errors = {db::errors::outOfMemory(kSource)};
    } else if (m_abandoned) {
        m_ok = false;
        m_errors = {db::errors::cancelled(kSource)};
    }
    m_connection->giveBack(std::move(m_returned), m_errors);
    m_connection->resetCancel();
    m_watch = {};
    const std::shared_ptr<db::Recordset> rs = std::move(m_target);
    return rs->endOpen(m_ok ? nullptr : &m_errors);
}

void StatementRun::cancel() {
    if (!m_running || m_cancelRequested) return;
    m_cancelRequested = true;
    m_connection->cancel();
    {
        const std::lock_guard lock(m_lock);
        m_stopWaiting = true;
    }
    m_room.notify_all();
    m_repeatCancel.start();
}

void StatementRun::run(std::unique_ptr<db::StatementWork> work) {
    db::ErrorList errors;
    bool ok = false;
    try {
        db::ResultData header;
        ok = work->execute(header, errors);
        db::ResultData block;
        if (ok) {
            block.columns = header.columns;
            block.clearRows();
            post({Handover::Columns, std::move(header)});
        }
        bool done = false;
        size_t want = kFirstRows;
        QElapsedTimer slice;
        slice.start();
        while (ok && !done) {
            ok = work->fetch(block, want, done, errors);
            if (ok && work->cancelled()) {
                ok = false;
                errors = {db::errors::cancelled(kSource)};
            }
            if (!ok) break;
            if (block.rows == 0) continue;
            if (done || want == kFirstRows || slice.elapsed() >= kSliceMs ||
                block.rows >= kMaxBlockRows) {
                db::ResultData full = std::move(block);
                block.columns = full.columns;
                block.clearRows();
                post({Handover::Rows, std::move(full)});
                want = kFetchRows;
                std::unique_lock lock(m_lock);
                m_room.wait(lock,
                            [this] { return m_queuedBlocks < kMaxQueuedBlocks || m_stopWaiting; });
                slice.restart();
            }
        }
    } catch (const std::bad_alloc&) {
        // The block being read went with the unwinding; the statement ends as a failure.
        ok = false;
        errors = {db::errors::outOfMemory(kSource)};
    }
    post({Handover::End, {}, ok, std::move(errors), std::move(work)});
}

void StatementRun::post(Handover item) {
    bool wake = false;
    {
        const std::lock_guard lock(m_lock);
        if (item.kind == Handover::Rows) ++m_queuedBlocks;
        m_queue.push_back(std::move(item));
        wake = !m_wakePending;
        m_wakePending = true;
    }
    // The window's thread wakes through a file descriptor: no object of the toolkit passes
    // between the threads, only the queue under its lock.
    if (wake) eventfd_write(m_wakeFd, 1);
}

bool StatementRun::drain() {
    eventfd_t ignored = 0;
    eventfd_read(m_wakeFd, &ignored);
    std::deque<Handover> items;
    {
        const std::lock_guard lock(m_lock);
        items.swap(m_queue);
        m_queuedBlocks = 0;
        m_wakePending = false;
    }
    m_room.notify_all();
    db::Recordset& rs = *m_target;
    for (Handover& item : items) {
        switch (item.kind) {
        case Handover::Columns:
            if (m_abandoned) break;
            rs.showColumns(std::move(item.data));
            if (m_watch.columnsShown) m_watch.columnsShown();
            break;
        case Handover::Rows:
            if (m_outOfMemory || m_abandoned) break;
            if (!rs.appendRows(item.data)) {
                // No room for them here: the rows so far go at the end, the statement stops.
                m_outOfMemory = true;
                cancel();
                break;
            }
            if (m_watch.rowsAppended) m_watch.rowsAppended();
            break;
        case Handover::End:
            // The worker's last message: nothing follows it.
            m_ok = item.ok;
            m_errors = std::move(item.errors);
            m_returned = std::move(item.work);
            return true;
        }
    }
    return false;
}
