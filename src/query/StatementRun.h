#pragma once

#include "Connection.h"
#include "Recordset.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QEventLoop;

// Opens a record set with its statement running on a worker thread, while this thread goes
// on with the window's events: the rows are handed over block by block as they are read,
// and cancel() stops the statement. The connection is lent to the worker's StatementWork
// until open returns, so nothing here may use it meanwhile.
class StatementRun : public QObject {
    Q_OBJECT
public:
    explicit StatementRun(db::Connection* connection);
    ~StatementRun() override;

    // Called on this thread once the columns are known and after each block of rows.
    std::function<void()> columnsShown;
    std::function<void()> rowsAppended;

    // False after a failure or a cancel; rs.Errors() then tell which, and rs holds nothing.
    bool open(db::Recordset& rs, const QString& source);
    // Asks the running statement to stop; safe to call at any time from this thread.
    void cancel();
    bool isRunning() const { return m_running; }

private:
    struct Handover {
        enum Kind { Columns, Rows, End } kind;
        db::ResultData data = {};
        bool ok = true;
        db::ErrorList errors = {};
        // With End: the work comes back from the worker, which no longer touches it.
        std::unique_ptr<db::StatementWork> work = {};
    };
    // Runs on the worker, which owns work until it hands it back with End.
    void run(std::unique_ptr<db::StatementWork> work);
    void post(Handover item);
    void drain(db::Recordset& rs);
    // Stops the statement and takes what the worker still hands over, without a loop.
    void abandon(db::Recordset& rs);

    db::Connection* m_connection;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_finished = false;
    bool m_ok = false;
    db::ErrorList m_errors;
    std::unique_ptr<db::StatementWork> m_returned;
    // The rows did not fit in memory here: the statement is stopped and fails.
    bool m_outOfMemory = false;
    bool m_abandoned = false;
    QEventLoop* m_loop = nullptr;
    QTimer m_repeatCancel;
    int m_wakeFd;
    QSocketNotifier m_wake;

    std::mutex m_lock;
    std::condition_variable m_room;
    std::deque<Handover> m_queue;
    size_t m_queuedBlocks = 0;
    bool m_wakePending = false;
    bool m_stopWaiting = false;
    db::Recordset* m_target = nullptr;
};
