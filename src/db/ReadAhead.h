#pragma once

#include "ConnectionLoan.h"
#include "Error.h"
#include "Handoff.h"
#include "ResultData.h"

#include <optional>

namespace db {

// Reads the blocks of a forward-only result on a worker thread while the caller works on the
// block before: one block ahead and no more, each read into the memory of a block the caller
// has finished with, so memory stays flat at two blocks.
class ReadAhead {
public:
    struct Block {
        ResultData rows;
        bool ok = true;
        bool done = false; // no rows after these
        ErrorList errors;
    };

    ReadAhead() = default;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    // Stops a worker still running and waits for it.
    ~ReadAhead();

    // Starts a worker that has the loan until end, and reads blocks of about maxRows rows, the
    // first into rows (its columns set). False, with the loan left with the caller, when no
    // thread can be started.
    bool start(ConnectionLoan& loan, ResultData rows, size_t maxRows);
    // From start until end.
    bool running() const { return m_worker.running(); }
    // Waits for the next block; the worker reads the one after into the memory of spare. After
    // a block that failed or was the last the worker has ended.
    Block take(ResultData spare);
    // Asks the worker to end once the block it reads is read.
    void stop();
    // True once the worker has ended, waiting at most this long for it.
    bool waitFor(int milliseconds) { return m_worker.waitFor(milliseconds); }
    // Waits for the worker to end: the loan comes back, and the block it read that was not
    // taken, if any.
    ConnectionLoan end(std::optional<Block>& unread);

private:
    Handoff<Block> m_blocks{1};
    // Blocks the caller has finished with, their memory to be read into again.
    Handoff<ResultData> m_spares{1};
    LoanWorker m_worker;
};

} // namespace db
