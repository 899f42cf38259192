#include "StatementRun.h"

#include <QElapsedTimer>
#include <QEventLoop>

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

StatementRun::StatementRun(db::Connection* connection) : m_connection(connection) {
    m_repeatCancel.setInterval(kRepeatCancelMs);
    connect(&m_repeatCancel, &QTimer::timeout, this, [this] {
        if (m_running) m_connection->cancel();
    });
}

StatementRun::~StatementRun() = default;

bool StatementRun::open(db::Recordset& rs, const QString& source) {
    if (m_running || !rs.beginOpen(source, m_connection)) return false;
    m_connection->resetCancel();
    m_running = true;
    m_cancelRequested = false;
    m_finished = false;
    m_ok = false;
    m_errors.clear();
    m_queue.clear();
    m_queuedBlocks = 0;
    m_wakePending = false;
    m_stopWaiting = false;

    QEventLoop loop;
    m_loop = &loop;
    m_target = &rs;
    std::thread worker([this, &rs] { work(rs); });
    loop.exec();
    m_loop = nullptr;
    m_target = nullptr;
    worker.join();

    m_repeatCancel.stop();
    m_running = false;
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

void StatementRun::work(db::Recordset& rs) {
    db::ResultData header;
    db::ErrorList errors;
    bool ok = rs.executeOpen(header, errors);
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
        ok = rs.fetchRows(block, want, done, errors);
        if (ok && m_connection->cancelled()) {
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
    post({Handover::End, {}, ok, std::move(errors)});
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
    if (wake)
        QMetaObject::invokeMethod(
            this, [this] { drain(*m_target); }, Qt::QueuedConnection);
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
            rs.showColumns(std::move(item.data));
            if (columnsShown) columnsShown();
            break;
        case Handover::Rows:
            rs.appendRows(item.data);
            if (rowsAppended) rowsAppended();
            break;
        case Handover::End:
            m_finished = true;
            m_ok = item.ok;
            m_errors = std::move(item.errors);
            if (m_loop) m_loop->quit();
            break;
        }
    }
}
