#include "ReadAhead.h"

#include <chrono>
#include <new>
#include <system_error>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Recordset");

ReadAhead::Block readBlock(StatementWork& work, ResultData rows, size_t maxRows) {
    ReadAhead::Block block;
    try {
        rows.clearRowsKeepingMemory();
        bool done = false;
        while (block.ok && !done && rows.rows == 0)
            block.ok = work.fetch(rows, maxRows, done, block.errors);
        block.done = done;
    } catch (const std::bad_alloc&) {
        // The rows read so far go with the unwinding; the read ends as a failure.
        block.ok = false;
        block.errors = {errors::outOfMemory(kSource)};
    }
    // A failed block still names the columns.
    if (!block.ok) rows.clearRows();
    block.rows = std::move(rows);
    return block;
}
} // namespace

ReadAhead::~ReadAhead() {
    if (!running()) return;
    std::optional<Block> unread;
    stop();
    (void)end(unread);
}

std::unique_ptr<StatementWork> ReadAhead::run(std::unique_ptr<StatementWork> work, ResultData rows,
                                              size_t maxRows, Handover& h) {
    for (;;) {
        Block block = readBlock(*work, std::move(rows), maxRows);
        const bool last = !block.ok || block.done;
        std::unique_lock lock(h.lock);
        h.block = std::move(block);
        h.changed.notify_all();
        if (last) return work;
        h.changed.wait(lock, [&] { return h.stop || (!h.block && h.spare); });
        if (h.stop) return work;
        rows = std::move(*h.spare);
        h.spare.reset();
    }
}

void ReadAhead::start(std::unique_ptr<StatementWork> work, ResultData rows, size_t maxRows) {
    {
        const std::lock_guard lock(m_handover.lock);
        m_handover.block.reset();
        m_handover.spare.reset();
        m_handover.stop = false;
    }
    const auto failed = [this](const Error& e) {
        Block block;
        block.ok = false;
        block.errors = {e};
        m_handover.block = std::move(block);
        // The statement went with the thread that never ran: nothing comes back.
        std::promise<std::unique_ptr<StatementWork>> none;
        none.set_value(nullptr);
        m_end = none.get_future();
    };
    try {
        m_end = std::async(std::launch::async, &ReadAhead::run, std::move(work), std::move(rows),
                           maxRows, std::ref(m_handover));
    } catch (const std::system_error&) {
        failed(makeError(ErrorNumber::Fail,
                         QStringLiteral("No thread could be started to read the rows."), kSource));
    } catch (const std::bad_alloc&) {
        failed(errors::outOfMemory(kSource));
    }
}

ReadAhead::Block ReadAhead::take(ResultData spare) {
    std::unique_lock lock(m_handover.lock);
    m_handover.changed.wait(lock, [&] { return m_handover.block.has_value(); });
    Block block = std::move(*m_handover.block);
    m_handover.block.reset();
    m_handover.spare = std::move(spare);
    m_handover.changed.notify_all();
    return block;
}

void ReadAhead::stop() {
    const std::lock_guard lock(m_handover.lock);
    m_handover.stop = true;
    m_handover.changed.notify_all();
}

bool ReadAhead::waitFor(int milliseconds) const {
    return !running() ||
           m_end.wait_for(std::chrono::milliseconds(milliseconds)) == std::future_status::ready;
}

std::unique_ptr<StatementWork> ReadAhead::end(std::optional<Block>& unread) {
    std::unique_ptr<StatementWork> work = m_end.get();
    const std::lock_guard lock(m_handover.lock);
    unread = std::move(m_handover.block);
    m_handover.block.reset();
    m_handover.spare.reset();
    return work;
}

} // namespace db
