#pragma once

#include "Error.h"
#include "ResultData.h"

#include <QString>
#include <memory>
#include <thread>

namespace db {

class Backend;
class Connection;
class RowCursor;

// The worker's side of one statement: it runs the text and reads its rows block by block into
// blocks of its own, or reads on from a statement the caller started (Connection::lendCursor).
// It is lent the connection (Connection::lend, inside a ConnectionLoan) and touches nothing
// else: no record set, no other state of the connection. A LoanWorker's thread alone uses it
// while the loan lasts.
class StatementWork {
public:
    ~StatementWork();
    StatementWork(const StatementWork&) = delete;
    StatementWork& operator=(const StatementWork&) = delete;

    // Runs the text; header receives the columns of its rows (none for a text without rows).
    bool execute(ResultData& header, ErrorList& errors);
    // Appends up to about maxRows rows to block, which execute's header describes; done once
    // the statements of the text have all run.
    bool fetch(ResultData& block, size_t maxRows, bool& done, ErrorList& errors);
    // A cancel has reached the connection.
    bool cancelled() const;
    // The names of a listed table's columns (a loan of Connection::lendCatalog).
    bool columns(const TableEntry& table, QStringList& names, ErrorList& errors);

private:
    friend class Connection;
    StatementWork(std::unique_ptr<Backend> backend, QString sql, int timeoutSeconds);
    StatementWork(std::unique_ptr<Backend> backend, std::unique_ptr<RowCursor> cursor);
    explicit StatementWork(std::unique_ptr<Backend> backend);
    // What is left of the statement, once its thread is joined.
    std::unique_ptr<RowCursor> takeCursor();
    // The backend goes back to the connection once the thread is joined.
    std::unique_ptr<Backend> giveBackend();
    void checkThread();

    // The work owns the backend while it is lent: no one else can reach it. The cursor's
    // statement belongs to it and goes first.
    std::unique_ptr<Backend> m_backend;
    QString m_sql;
    int m_timeoutSeconds;
    std::unique_ptr<RowCursor> m_cursor;
    std::thread::id m_thread;
};

} // namespace db
