#include "StatementRun.h"

#include "db/StatementWork.h"

#include <QElapsedTimer>
#include <new>
#include <utility>

namespace {
// The first block is small so that the first screen of rows shows at once; later blocks
// gather what arrives in one slice, few enough handovers to cost nothing next to the reading.
constexpr size_t kFirstRows = 256;
constexpr size_t kFetchRows = 4096;
constexpr qint64 kSliceMs = 50;
// A block waiting for this thread is held twice for a moment: keep it bounded.
constexpr size_t kMaxBlockRows = 32768;
// psqlODBC ignores a cancel that arrives between two of its calls: ask again until the
// statement has stopped.
constexpr int kRepeatCancelMs = 200;
const QString kSource = QStringLiteral("Tolvan.Recordset");
} // namespace

StatementRun::StatementRun() {
    m_repeatCancel.setInterval(kRepeatCancelMs);
    connect(&m_repeatCancel, &QTimer::timeout, this, [this] {
        if (m_running) m_connection->cancel();
    });
    m_canWake = m_handoff.wakeOwner([this] {
        if (!m_running || !drain()) return;
        const bool ok = finish();
        // Last: what follows may start the next run.
        if (std::function<void(bool)> done = std::exchange(m_done, nullptr)) done(ok);
    });
}

StatementRun::~StatementRun() {
    stop();
}

void StatementRun::start(db::Connection* connection, std::shared_ptr<db::Recordset> rs,
                         const QString& source, Watch watch, std::function<void(bool)> done) {
    // One run at a time: the window is locked while one goes on.
    if (m_running) return done(false);
    if (!rs->beginOpen(source, connection)) return done(false);
    if (!m_canWake) {
        // Without its wake-up the window would never hear of the rows.
        const db::ErrorList none{{db::ErrorNumber::Fail,
                                  QStringLiteral("The statement's worker cannot be started."),
                                  kSource}};
        return done(rs->endOpen(&none));
    }
    connection->resetCancel();
    db::ErrorList errors;
    db::ConnectionLoan loan = connection->lend(source, errors);
    if (!loan) return done(rs->endOpen(&errors));
    m_handoff.reset();
    if (!m_worker.start(
            loan, [this](db::StatementWork& work) { return run(work); }, errors)) {
        loan.end();
        return done(rs->endOpen(&errors));
    }
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
}

void StatementRun::stop() {
    if (!m_running) return;
    // No loop will take the rows: the statement stops, and its end is awaited here.
    m_abandoned = true;
    m_done = nullptr;
    cancel();
    for (;;) {
        if (m_handoff.waitFor(kRepeatCancelMs)) {
            if (drain()) break;
        } else {
            m_connection->cancel();
        }
    }
    finish();
}

bool StatementRun::finish() {
    db::ConnectionLoan loan = m_worker.join();
    m_repeatCancel.stop();
    m_running = false;
    if (m_outOfMemory) {
        m_ok = false;
        m_errors = {db::errors::outOfMemory(kSource)};
    } else if (m_abandoned) {
        m_ok = false;
        m_errors = {db::errors::cancelled(kSource)};
    }
    loan.setOutcome(m_errors);
    loan.end();
    m_connection->resetCancel();
    m_watch = {};
    const std::shared_ptr<db::Recordset> rs = std::move(m_target);
    return rs->endOpen(m_ok ? nullptr : &m_errors);
}

void StatementRun::cancel() {
    if (!m_running || m_cancelRequested) return;
    m_cancelRequested = true;
    m_connection->cancel();
    // The worker no longer waits for room, so that it meets its end at once.
    m_handoff.stop();
    m_repeatCancel.start();
}

db::ErrorList StatementRun::run(db::StatementWork& work) {
    db::ErrorList errors;
    bool ok = false;
    try {
        db::ResultData header;
        ok = work.execute(header, errors);
        db::ResultData block;
        if (ok) {
            block.columns = header.columns;
            block.clearRows();
            m_handoff.put({Handover::Columns, std::move(header)});
        }
        bool done = false;
        size_t want = kFirstRows;
        QElapsedTimer slice;
        slice.start();
        while (ok && !done) {
            ok = work.fetch(block, want, done, errors);
            if (ok && work.cancelled()) {
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
                // Waits while this thread has not taken the blocks before.
                m_handoff.put({Handover::Rows, std::move(full)});
                want = kFetchRows;
                slice.restart();
            }
        }
    } catch (const std::bad_alloc&) {
        // The block being read went with the unwinding; the statement ends as a failure.
        ok = false;
        errors = {db::errors::outOfMemory(kSource)};
    }
    m_handoff.put({Handover::End, {}, ok, errors});
    return errors;
}

bool StatementRun::drain() {
    std::deque<Handover> items = m_handoff.takeAll();
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
            return true;
        }
    }
    return false;
}
