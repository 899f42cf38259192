#include "StatementWork.h"

#include "Backend.h"
#include "ThreadCheck.h"

namespace db {

StatementWork::StatementWork(std::unique_ptr<Backend> backend, QString sql, int timeoutSeconds)
    : m_backend(std::move(backend)), m_sql(std::move(sql)), m_timeoutSeconds(timeoutSeconds) {}

StatementWork::StatementWork(std::unique_ptr<Backend> backend, std::unique_ptr<RowCursor> cursor)
    : m_backend(std::move(backend)), m_timeoutSeconds(0), m_cursor(std::move(cursor)) {}

StatementWork::StatementWork(std::unique_ptr<Backend> backend)
    : m_backend(std::move(backend)), m_timeoutSeconds(0) {}

StatementWork::~StatementWork() = default;

std::unique_ptr<RowCursor> StatementWork::takeCursor() {
    return std::move(m_cursor);
}

std::unique_ptr<Backend> StatementWork::giveBackend() {
    // Its statement must not outlive it.
    m_cursor.reset();
    return std::move(m_backend);
}

void StatementWork::checkThread() {
    // One thread reads a statement for as long as it is lent.
    if (m_thread == std::thread::id()) m_thread = std::this_thread::get_id();
    TOLVAN_THREAD_CHECK(m_thread == std::this_thread::get_id(),
                        "a statement is read on another thread than the one that runs it");
}

bool StatementWork::execute(ResultData& header, ErrorList& errors) {
    checkThread();
    return m_backend->execute(m_sql, m_timeoutSeconds, header, m_cursor, errors);
}

bool StatementWork::fetch(ResultData& block, size_t maxRows, bool& done, ErrorList& errors) {
    checkThread();
    done = !m_cursor;
    if (done) return true;
    if (!m_cursor->fetch(block, maxRows, done, errors)) return false;
    if (done) m_cursor.reset();
    return true;
}

bool StatementWork::columns(const TableEntry& table, QStringList& names, ErrorList& errors) {
    checkThread();
    return m_backend->columns(table, names, errors);
}

bool StatementWork::cancelled() const {
    return m_backend->interrupted();
}

} // namespace db
