#include "Connection.h"

#include "ProviderFactory.h"
#include "Recordset.h"
#include "ThreadCheck.h"

#include <algorithm>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Connection");
} // namespace

Connection::~Connection() {
    Close();
    for (Recordset* rs : std::vector<Recordset*>(m_recordsets))
        rs->connectionGone();
}

void Connection::attach(Recordset* rs) {
    if (std::find(m_recordsets.begin(), m_recordsets.end(), rs) == m_recordsets.end())
        m_recordsets.push_back(rs);
}

void Connection::detach(Recordset* rs) {
    std::erase(m_recordsets, rs);
}

void Connection::setConnectionString(const QString& text) {
    m_connectionString = text;
    m_login.reset();
}

void Connection::setLogin(const LoginParams& login, const QString& connectionString) {
    m_connectionString = connectionString;
    m_login = login;
}

bool Connection::claim(ErrorList& errors) {
    // A read ahead gives the connection back whenever it is needed here; a statement run does
    // not until it ends.
    if (m_reclaim) std::exchange(m_reclaim, nullptr)();
    if (!m_lent.load()) return true;
    errors = {errors::stillExecuting(kSource)};
    return false;
}

bool Connection::Open() {
    if (!claim(m_errors)) return false;
    Close();
    m_errors.clear();
    const LoginParams login = m_login ? *m_login : parseConnectionString(m_connectionString);
    std::unique_ptr<Backend> backend = createBackend(login, m_backendOptions, m_route, m_errors);
    if (!backend) return false;
    if (!backend->open(login, m_errors)) return false;
    adopt(std::move(backend));
    m_sessionLost = false;
    return true;
}

void Connection::adopt(std::unique_ptr<Backend> backend) {
    // What the session told is kept here, so that it can be read while the backend is lent.
    m_dialect = backend->dialect();
    m_interruptTarget = backend.get();
    m_backend = std::move(backend);
}

void Connection::comeBack(std::unique_ptr<Backend> backend) {
    m_backend = std::move(backend);
    m_lent = false;
    if (m_backend) return;
    // A work that kept no backend took the session with it.
    m_interruptTarget = nullptr;
    m_dialect = {};
}

void Connection::noteLostSession(const ErrorList& errors) {
    if (m_backend && m_dialect.endsSession(errors)) m_sessionLost = true;
}

bool Connection::reconnectIfLost(ErrorList& errors) {
    if (!m_backend || !(m_sessionLost || m_backend->connectionDead())) return true;
    // Until a new session is open, every call tries again rather than use the closed one.
    m_sessionLost = true;
    m_writer.sessionGone();
    // Statements of the old session must go before its handles.
    for (Recordset* rs : m_recordsets)
        rs->releaseStatements();
    m_backend->close();
    const LoginParams login = m_login ? *m_login : parseConnectionString(m_connectionString);
    std::unique_ptr<Backend> backend = createBackend(login, m_backendOptions, m_route, errors);
    // Still unreachable: the old (closed) backend stays, to be tried again next time.
    if (!backend || !backend->open(login, errors)) return false;
    adopt(std::move(backend));
    m_sessionLost = false;
    return true;
}

void Connection::Close() {
    ErrorList busy;
    const bool free = claim(busy);
    // Closing under a running statement would pull its handles away: a caller's fault.
    TOLVAN_THREAD_CHECK(free, "the connection is closed while a statement runs");
    if (!free || !m_backend) return;
    // Rows are held only inside a bulk scope, which stores and reports them before it ends;
    // the connection is not closed inside one.
    Q_ASSERT(!m_writer.pending());
    if (m_writer.pending() && !CommitPendingWrites())
        qWarning("Tolvan: held rows could not be stored when the connection closed");
    // Statements must go before the handles they belong to.
    for (Recordset* rs : m_recordsets)
        rs->releaseStatements();
    m_backend->close();
    m_interruptTarget = nullptr;
    m_backend.reset();
    m_dialect = {};
}

QString Connection::DefaultDatabase() {
    // The status bar asks at any time: while a statement runs, the name it had before.
    if (m_lent.load()) return m_database;
    m_database = m_backend ? m_backend->defaultDatabase() : QString();
    return m_database;
}

QString Connection::Version() {
    return QStringLiteral("Tolvan Data Access 1.0");
}

void Connection::cancel() {
    if (Backend* b = m_interruptTarget.load()) b->interrupt();
}

void Connection::resetCancel() {
    if (Backend* b = m_interruptTarget.load()) b->clearInterrupt();
}

bool Connection::cancelled() const {
    const Backend* b = m_interruptTarget.load();
    return b && b->interrupted();
}

namespace {
Error closedError() {
    return errors::objectClosed(kSource);
}
} // namespace

bool Connection::ready(ErrorList& errors, LostSession lost) {
    if (!claim(errors)) return false;
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    if (lost == LostSession::LogInAgain && !reconnectIfLost(errors)) return false;
    if (!CommitPendingWrites()) {
        errors = m_errors;
        return false;
    }
    return true;
}

bool Connection::Execute(const QString& sql) {
    ErrorList errors;
    ResultData ignored;
    const bool ok = ready(errors) && m_backend->query(sql, m_commandTimeout, ignored, errors);
    setErrors(errors);
    return ok;
}

ConnectionLoan Connection::lend(const QString& sql, ErrorList& errors) {
    if (!ready(errors)) return {};
    m_lent = true;
    return {this, std::unique_ptr<StatementWork>(
                      new StatementWork(std::move(m_backend), sql, m_commandTimeout))};
}

ConnectionLoan Connection::lendCursor(std::unique_ptr<RowCursor>& cursor,
                                      std::function<void()> reclaim) {
    ErrorList busy;
    if (!claim(busy) || !m_backend || !cursor) return {};
    m_lent = true;
    m_reclaim = std::move(reclaim);
    return {this, std::unique_ptr<StatementWork>(
                      new StatementWork(std::move(m_backend), std::move(cursor)))};
}

ConnectionLoan Connection::lendCatalog(std::function<void()> reclaim, ErrorList& errors) {
    if (!ready(errors, LostSession::Fail)) return {};
    if (m_sessionLost) {
        errors = {closedError()};
        return {};
    }
    m_lent = true;
    m_reclaim = std::move(reclaim);
    return {this, std::unique_ptr<StatementWork>(new StatementWork(std::move(m_backend)))};
}

std::unique_ptr<RowCursor> Connection::giveBack(std::unique_ptr<StatementWork> work,
                                                const ErrorList& errors) {
    std::unique_ptr<RowCursor> cursor = work ? work->takeCursor() : nullptr;
    std::unique_ptr<Backend> backend = work ? work->giveBackend() : nullptr;
    work.reset();
    m_reclaim = nullptr;
    comeBack(std::move(backend));
    noteLostSession(errors);
    return cursor;
}

bool Connection::executeText(const QString& sql, ResultData& out,
                             std::unique_ptr<RowCursor>& cursor, ErrorList& errors) {
    if (!ready(errors)) return false;
    if (m_backend->execute(sql, m_commandTimeout, out, cursor, errors)) return true;
    noteLostSession(errors);
    return false;
}

std::unique_ptr<PreparedStatement>
Connection::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                    ErrorList& errors) {
    if (!ready(errors)) return nullptr;
    auto stmt = m_backend->prepare(sql, paramColumns, errors);
    if (!stmt) noteLostSession(errors);
    return stmt;
}

bool Connection::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    if (!ready(errors)) return false;
    if (m_backend->tables(out, errors)) return true;
    noteLostSession(errors);
    return false;
}

bool Connection::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    if (!ready(errors)) return false;
    if (m_backend->primaryKey(table, columns, errors)) return true;
    noteLostSession(errors);
    return false;
}

std::unique_ptr<PreparedStatement>
Connection::prepareInsert(const QString& tableSql, const QStringList& columnSql,
                          const std::vector<const ColumnInfo*>& params, ErrorList& errors) {
    if (!ready(errors)) return nullptr;
    auto stmt = m_backend->prepareInsert(tableSql, columnSql, params, errors);
    if (!stmt) noteLostSession(errors);
    return stmt;
}

bool Connection::runChecked(PreparedStatement& stmt, const std::vector<Value>& params,
                            const std::function<bool(qint64, ErrorList&)>& check,
                            ErrorList& errors) {
    // stmt belongs to this session: logging in again would leave it on the old one.
    if (!ready(errors, LostSession::Fail)) return false;
    if (!m_backend->beginTransaction(errors)) return false;
    qint64 affected = 0;
    ErrorList ignored;
    if (!stmt.execute(params, affected, errors) || !check(affected, errors)) {
        m_backend->rollback(ignored);
        noteLostSession(errors);
        return false;
    }
    if (!m_backend->commit(errors)) {
        m_backend->rollback(ignored);
        noteLostSession(errors);
        return false;
    }
    return true;
}

void Connection::beginBulkWrites(BatchFailure onFailure) {
    m_writer.begin(onFailure);
}

bool Connection::endBulkWrites() {
    if (!m_writer.leave()) return true;
    const bool ok = CommitPendingWrites();
    m_writer.left();
    return ok;
}

bool Connection::CommitPendingWrites() {
    m_writer.clearFailure();
    if (!claim(m_errors)) return false;
    if (!m_backend) return true;
    const bool ok = m_writer.commit(*m_backend, m_dialect, m_errors);
    if (m_writer.takeLostSession()) m_sessionLost = true;
    return ok;
}

bool Connection::insertRow(PreparedStatement& stmt, std::vector<Value>& params, bool mayHold) {
    if (!claim(m_errors)) return false;
    if (!m_backend) {
        m_errors = {closedError()};
        return false;
    }
    const bool ok = m_writer.insert(*m_backend, m_dialect, stmt, params, mayHold, m_errors);
    if (m_writer.takeLostSession()) m_sessionLost = true;
    return ok;
}

BulkWriteScope::~BulkWriteScope() {
    if (!m_c) return;
    Q_ASSERT(!m_c->holdsRows());
    if (!m_c->endBulkWrites())
        qWarning("Tolvan: held rows could not be stored: no one reported it");
}

} // namespace db
