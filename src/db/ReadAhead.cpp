#include "ReadAhead.h"

#include <chrono>
#include <new>
#include <system_error>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Recordset");

// Runs on the worker, which owns everything it is given.
ReadAhead::Block readBlock(std::unique_ptr<StatementWork> work, ResultData rows, size_t maxRows) {
    ReadAhead::Block block;
    try {
        bool done = false;
        while (block.ok && !done && rows.rows == 0)
            block.ok = work->fetch(rows, maxRows, done, block.errors);
        block.done = done;
        if (block.ok) block.rows = std::move(rows);
    } catch (const std::bad_alloc&) {
        // The rows read so far go with the unwinding; the read ends as a failure.
        block.ok = false;
        block.errors = {errors::outOfMemory(kSource)};
    }
    block.work = std::move(work);
    return block;
}
} // namespace

ReadAhead::~ReadAhead() {
    if (m_block.valid()) m_block.wait();
}

void ReadAhead::start(std::unique_ptr<StatementWork> work, ResultData rows, size_t maxRows) {
    // Without a thread the statement goes with the work, unread: its rows cannot be had.
    const auto failed = [this](const Error& e) {
        std::promise<Block> promise;
        Block block;
        block.ok = false;
        block.errors = {e};
        promise.set_value(std::move(block));
        m_block = promise.get_future();
    };
    try {
        m_block = std::async(std::launch::async,
                             [work = std::move(work), rows = std::move(rows), maxRows]() mutable {
                                 return readBlock(std::move(work), std::move(rows), maxRows);
                             });
    } catch (const std::system_error&) {
        failed(makeError(ErrorNumber::Fail,
                         QStringLiteral("No thread could be started to read the rows."), kSource));
    } catch (const std::bad_alloc&) {
        failed(errors::outOfMemory(kSource));
    }
}

bool ReadAhead::waitFor(int milliseconds) const {
    return !m_block.valid() ||
           m_block.wait_for(std::chrono::milliseconds(milliseconds)) == std::future_status::ready;
}

ReadAhead::Block ReadAhead::take() {
    return m_block.get();
}

} // namespace db
