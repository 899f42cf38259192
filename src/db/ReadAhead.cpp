#include "ReadAhead.h"

#include "StatementWork.h"

#include <new>

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

bool ReadAhead::start(ConnectionLoan& loan, ResultData rows, size_t maxRows) {
    m_blocks.reset();
    m_spares.reset();
    ErrorList ignored;
    return m_worker.start(
        loan,
        [this, rows = std::move(rows), maxRows](StatementWork& work) mutable {
            for (;;) {
                Block block = readBlock(work, std::move(rows), maxRows);
                ErrorList failure = block.ok ? ErrorList{} : block.errors;
                const bool last = !block.ok || block.done;
                m_blocks.put(std::move(block));
                if (last) return failure;
                std::optional<ResultData> spare = m_spares.take();
                if (!spare) return ErrorList{};
                rows = std::move(*spare);
            }
        },
        ignored);
}

ReadAhead::Block ReadAhead::take(ResultData spare) {
    // Stopped only by this thread, which does not take after stopping.
    std::optional<Block> block = m_blocks.take();
    m_spares.put(std::move(spare));
    return std::move(*block);
}

void ReadAhead::stop() {
    m_blocks.stop();
    m_spares.stop();
}

ConnectionLoan ReadAhead::end(std::optional<Block>& unread) {
    ConnectionLoan loan = m_worker.join();
    std::deque<Block> left = m_blocks.takeAll();
    unread.reset();
    if (!left.empty()) unread = std::move(left.front());
    m_spares.takeAll();
    return loan;
}

} // namespace db
