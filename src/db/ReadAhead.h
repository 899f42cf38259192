#pragma once

#include "Error.h"
#include "ResultData.h"
#include "StatementWork.h"

#include <future>
#include <memory>
#include <vector>

namespace db {

// The next block of a forward-only result, read on a worker thread while the caller works on
// the block before it. One block ahead and no more, so memory stays flat.
class ReadAhead {
public:
    struct Block {
        ResultData rows;
        bool ok = true;
        bool done = false; // no rows after these
        ErrorList errors;
        // Comes back with the rows; the worker no longer touches it.
        std::unique_ptr<StatementWork> work;
    };

    ReadAhead() = default;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    // Waits for a block still being read.
    ~ReadAhead();

    // Reads up to about maxRows rows into rows (columns, no rows) on a thread of its own,
    // which owns work and rows until take. A thread that cannot be started gives a failed
    // block.
    void start(std::unique_ptr<StatementWork> work, ResultData rows, size_t maxRows);
    bool running() const { return m_block.valid(); }
    // True once the block is read, waiting at most this long for it.
    bool waitFor(int milliseconds) const;
    // The block, once it is read.
    Block take();

private:
    std::future<Block> m_block;
};

} // namespace db
