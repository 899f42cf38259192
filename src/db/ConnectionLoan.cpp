#include "ConnectionLoan.h"

#include "Connection.h"
#include "StatementWork.h"

#include <utility>

namespace db {

ConnectionLoan::ConnectionLoan(Connection* connection, std::unique_ptr<StatementWork> work)
    : m_connection(connection), m_work(std::move(work)) {}

ConnectionLoan::ConnectionLoan(ConnectionLoan&& other) noexcept
    : m_connection(std::exchange(other.m_connection, nullptr)), m_work(std::move(other.m_work)),
      m_outcome(std::move(other.m_outcome)) {}

ConnectionLoan& ConnectionLoan::operator=(ConnectionLoan&& other) noexcept {
    if (this == &other) return *this;
    end();
    m_connection = std::exchange(other.m_connection, nullptr);
    m_work = std::move(other.m_work);
    m_outcome = std::move(other.m_outcome);
    return *this;
}

ConnectionLoan::~ConnectionLoan() {
    end();
}

std::unique_ptr<RowCursor> ConnectionLoan::end() {
    Connection* connection = std::exchange(m_connection, nullptr);
    if (!connection) return nullptr;
    return connection->giveBack(std::move(m_work), std::exchange(m_outcome, {}));
}

} // namespace db
