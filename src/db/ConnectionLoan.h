#pragma once

#include "Error.h"

#include <memory>

namespace db {

class Connection;
class RowCursor;
class StatementWork;

// The connection lent to one piece of work that another thread runs: while the loan lasts, only
// its work (and Connection::cancel) reaches the session. The loan ends when it goes, or sooner
// by end(), on the thread that took it and after the worker is joined: the backend goes back to
// the connection.
class ConnectionLoan {
public:
    ConnectionLoan() = default;
    ConnectionLoan(ConnectionLoan&& other) noexcept;
    ConnectionLoan& operator=(ConnectionLoan&& other) noexcept;
    ConnectionLoan(const ConnectionLoan&) = delete;
    ConnectionLoan& operator=(const ConnectionLoan&) = delete;
    ~ConnectionLoan();

    explicit operator bool() const { return m_work != nullptr; }
    StatementWork& work() { return *m_work; }
    // What the work ended with: a lost session among them is noted when the loan ends.
    void setOutcome(ErrorList errors) { m_outcome = std::move(errors); }
    // Ends the loan now. What is left of a statement read on (a read ahead) comes back; null
    // once its rows are read, and for any other work.
    std::unique_ptr<RowCursor> end();

private:
    friend class Connection;
    ConnectionLoan(Connection* connection, std::unique_ptr<StatementWork> work);

    Connection* m_connection = nullptr;
    std::unique_ptr<StatementWork> m_work;
    ErrorList m_outcome;
};

} // namespace db
