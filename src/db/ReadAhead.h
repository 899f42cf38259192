#pragma once

#include "Error.h"
#include "ResultData.h"
#include "StatementWork.h"

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
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

    // Starts a worker that owns work until it ends, and reads blocks of about maxRows rows,
    // the first into rows (its columns set). A thread that cannot be started gives a failed
    // block.
    void start(std::unique_ptr<StatementWork> work, ResultData rows, size_t maxRows);
    // From start until end.
    bool running() const { return m_end.valid(); }
    // Waits for the next block; the worker reads the one after into the memory of spare. After
    // a block that failed or was the last the worker has ended.
    Block take(ResultData spare);
    // Asks the worker to end once the block it reads is read.
    void stop();
    // True once the worker has ended, waiting at most this long for it.
    bool waitFor(int milliseconds) const;
    // Waits for the worker to end: the work comes back, and the block it read that was not
    // taken, if any.
    std::unique_ptr<StatementWork> end(std::optional<Block>& unread);

private:
    // What the worker and the caller hand each other, under lock.
    struct Handover {
        std::mutex lock;
        std::condition_variable changed;
        std::optional<Block> block;
        std::optional<ResultData> spare;
        bool stop = false;
    };
    static std::unique_ptr<StatementWork> run(std::unique_ptr<StatementWork> work, ResultData rows,
                                              size_t maxRows, Handover& h);

    Handover m_handover;
    std::future<std::unique_ptr<StatementWork>> m_end;
};

} // namespace db
