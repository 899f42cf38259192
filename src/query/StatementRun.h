#pragma once

#include "db/Connection.h"
#include "db/Handoff.h"
#include "db/Recordset.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

// Runs a statement on a worker thread into a record set, while this thread goes on with
// the window's events: the rows are handed over block by block as they are read, cancel()
// stops the statement, and the worker's last message ends the run from this thread's event
// loop. The connection is lent to the worker until then, so nothing here may use it
// meanwhile. One run at a time; the object serves run after run.
class StatementRun : public QObject {
    Q_OBJECT
public:
    StatementRun();
    // A run still going (the application quitting) is stopped and awaited; nobody is told.
    ~StatementRun() override;

    // Called on this thread, during one run, once the columns are known and after each block
    // of rows.
    struct Watch {
        std::function<void()> columnsShown;
        std::function<void()> rowsAppended;
    };

    // Starts source into rs; done(ok) follows from this thread's event loop when the run
    // ends, or at once when it cannot start. False after a failure or a cancel: rs->Errors()
    // tell which, and rs holds nothing.
    void start(db::Connection* connection, std::shared_ptr<db::Recordset> rs, const QString& source,
               Watch watch, std::function<void(bool)> done);
    // Asks the running statement to stop; safe to call at any time from this thread.
    void cancel();
    bool isRunning() const { return m_running; }
    // Stops a run still going and waits for its end without telling anybody: for an owner
    // that goes away before the event loop could end it.
    void stop();

private:
    struct Handover {
        enum Kind { Columns, Rows, End } kind;
        db::ResultData data = {};
        bool ok = true;
        db::ErrorList errors = {};
    };
    // Runs on the worker, which alone uses the loan's work until it ends.
    db::ErrorList run(db::StatementWork& work);
    // Takes what the worker handed over since its last wake-up; true once its end came.
    bool drain();
    // Joins the worker, gives the connection back and ends the record set's open.
    bool finish();

    db::Connection* m_connection = nullptr;
    std::shared_ptr<db::Recordset> m_target;
    Watch m_watch;
    std::function<void(bool)> m_done;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_ok = false;
    db::ErrorList m_errors;
    // The rows did not fit in memory here: the statement is stopped and fails.
    bool m_outOfMemory = false;
    bool m_abandoned = false;
    QTimer m_repeatCancel;
    // A block waiting for this thread is held twice for a moment: keep them few.
    db::Handoff<Handover> m_handoff{3};
    bool m_canWake = false;
    db::LoanWorker m_worker;
};
