#include "StatementRun.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

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

StatementRun::StatementRun(db::Connection* connection)
    : m_connection(connection), m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_wake(m_wakeFd, QSocketNotifier::Read) {
    m_repeatCancel.setInterval(kRepeatCancelMs);
    connect(&m_repeatCancel, &QTimer::timeout, this, [this] {
        if (m_running) m_connection->cancel();
    });
    connect(&m_wake, &QSocketNotifier::activated, this, [this] {
        eventfd_t ignored = 0;
        eventfd_read(m_wakeFd, &ignored);
        if (m_target) drain(*m_target);
    });
}

StatementRun::~StatementRun() {
    m_wake.setEnabled(false);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool StatementRun::open(db::Recordset& rs, const QString& source) {
    if (m_running || !rs.beginOpen(source, m_connection)) return false;
    if (m_wakeFd < 0) {
        // Without its wake-up the window would never hear of the rows.
        const db::ErrorList none{{db::ErrorNumber::Fail,
                                  QStringLiteral("The statement's worker cannot be started."),
                                  kSource}};
        return rs.endOpen(&none);
    }
    m_connection->resetCancel();
    db::ErrorList lendErrors;
    std::unique_ptr<db::StatementWork> work = m_connection->lend(source, lendErrors);
    if (!work) return rs.endOpen(&lendErrors);
    m_running = true;
    m_cancelRequested = false;
    m_finished = false;
    m_ok = false;
    m_outOfMemory = false;
    m_abandoned = false;
    m_errors.clear();
    m_queue.clear();
    m_queuedBlocks = 0;
    m_wakePending = false;
    m_stopWaiting = false;

    QEventLoop loop;
    m_loop = &loop;
    m_target = &rs;
    std::thread worker([this, w = std::move(work)]() mutable { run(std::move(w)); });
    loop.exec();
    m_loop = nullptr;
    // Anything but the worker's end that ends the wait (the application quitting) leaves no
    // loop to take the rows: the statement stops, and its end is awaited here.
    if (!m_finished) abandon(rs);
    m_target = nullptr;
    worker.join();

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
    return rs.endOpen(m_ok ? nullptr : &m_errors);
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

void StatementRun::abandon(db::Recordset& rs) {
    m_abandoned = true;
    cancel();
    while (!m_finished) {
        pollfd wake{m_wakeFd, POLLIN, 0};
        if (::poll(&wake, 1, kRepeatCancelMs) > 0) {
            eventfd_t ignored = 0;
            eventfd_read(m_wakeFd, &ignored);
            drain(rs);
        } else {
            m_connection->cancel();
        }
    }
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

void StatementRun::drain(db::Recordset& rs) {
    std::deque<Handover> items;
    {
        const std::lock_guard lock(m_lock);
        items.swap(m_queue);
        m_queuedBlocks = 0;
        m_wakePending = false;
    }
    m_room.notify_all();
    for (Handover& item : items) {
        switch (item.kind) {
        case Handover::Columns:
            if (m_abandoned) break;
            rs.showColumns(std::move(item.data));
            if (columnsShown) columnsShown();
            break;
        case Handover::Rows:
            if (m_outOfMemory || m_abandoned) break;
            if (!rs.appendRows(item.data)) {
                // No room for them here: the rows so far go at the end, the statement stops.
                m_outOfMemory = true;
                cancel();
                break;
            }
            if (rowsAppended) rowsAppended();
            break;
        case Handover::End:
            m_finished = true;
            m_ok = item.ok;
            m_errors = std::move(item.errors);
            m_returned = std::move(item.work);
            if (m_loop) m_loop->quit();
            break;
        }
    }
}
