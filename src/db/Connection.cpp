#include "Connection.h"

#include "ProviderFactory.h"
#include "Recordset.h"

#include <algorithm>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Connection");
// Inserts in a bulk scope are committed in batches of this many rows or this many
// milliseconds, whichever comes first: few enough commits that the disk's syncs do not
// dominate an import, and a crash loses at most about a second of work.
constexpr int kBatchRows = 50000;
constexpr qint64 kBatchMillis = 1000;
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

bool Connection::Open() {
    Close();
    m_errors.clear();
    const LoginParams login = m_login ? *m_login : parseConnectionString(m_connectionString);
    std::unique_ptr<Backend> backend = createBackend(login, m_errors);
    if (!backend) return false;
    if (!backend->open(login, m_errors)) return false;
    m_backend = std::move(backend);
    m_sessionLost = false;
    return true;
}

void Connection::noteLostSession(const ErrorList& errors) {
    if (!m_backend) return;
    // 57P01 to 57P03: the server shut down or restarts, and ended the session with it.
    for (const Error& e : errors)
        if (e.Source.contains(QLatin1String("(08")) || e.Source.contains(QLatin1String("(57P0")))
            m_sessionLost = true;
}

bool Connection::reconnectIfLost(ErrorList& errors) {
    if (!m_backend || !(m_sessionLost || m_backend->connectionDead())) return true;
    // Until a new session is open, every call tries again rather than use the closed one.
    m_sessionLost = true;
    // Statements of the old session must go before its handles.
    for (Recordset* rs : m_recordsets)
        rs->releaseStatements();
    m_batchOpen = false;
    m_batchRows = 0;
    m_backend->close();
    const LoginParams login = m_login ? *m_login : parseConnectionString(m_connectionString);
    std::unique_ptr<Backend> backend = createBackend(login, errors);
    // Still unreachable: the old (closed) backend stays, to be tried again next time.
    if (!backend || !backend->open(login, errors)) return false;
    m_backend = std::move(backend);
    m_sessionLost = false;
    return true;
}

void Connection::Close() {
    if (!m_backend) return;
    CommitPendingWrites();
    // Statements must go before the handles they belong to.
    for (Recordset* rs : m_recordsets)
        rs->releaseStatements();
    m_backend->close();
    m_backend.reset();
}

QString Connection::DefaultDatabase() {
    return m_backend ? m_backend->defaultDatabase() : QString();
}

QString Connection::Version() const {
    return QStringLiteral("Tolvan Data Access 1.0");
}

QString Connection::dbmsName() const {
    return m_backend ? m_backend->dbmsName() : QString();
}

QString Connection::identifierQuote() const {
    return m_backend ? m_backend->identifierQuote() : QString();
}

IdentifierCase Connection::identifierCase() const {
    return m_backend ? m_backend->identifierCase() : IdentifierCase::Mixed;
}

bool Connection::Execute(const QString& sql) {
    if (!m_backend) {
        setError(errors::objectClosed(kSource));
        return false;
    }
    ErrorList errors;
    if (!reconnectIfLost(errors)) {
        m_errors = errors;
        return false;
    }
    if (!CommitPendingWrites()) return false;
    ResultData ignored;
    errors.clear();
    const bool ok = m_backend->query(sql, m_commandTimeout, ignored, errors);
    setErrors(errors);
    return ok;
}

namespace {
Error closedError() {
    return errors::objectClosed(kSource);
}
} // namespace

bool Connection::executeText(const QString& sql, ResultData& out,
                             std::unique_ptr<RowCursor>& cursor, ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    if (!reconnectIfLost(errors)) return false;
    if (!CommitPendingWrites()) {
        errors = m_errors;
        return false;
    }
    if (m_backend->execute(sql, m_commandTimeout, out, cursor, errors)) return true;
    noteLostSession(errors);
    return false;
}

std::unique_ptr<PreparedStatement>
Connection::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                    ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return nullptr;
    }
    if (!reconnectIfLost(errors)) return nullptr;
    auto stmt = m_backend->prepare(sql, paramColumns, errors);
    if (!stmt) noteLostSession(errors);
    return stmt;
}

bool Connection::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    if (!reconnectIfLost(errors)) return false;
    if (!CommitPendingWrites()) {
        errors = m_errors;
        return false;
    }
    if (m_backend->tables(out, errors)) return true;
    noteLostSession(errors);
    return false;
}

bool Connection::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    if (!reconnectIfLost(errors)) return false;
    if (m_backend->primaryKey(table, columns, errors)) return true;
    noteLostSession(errors);
    return false;
}

bool Connection::runChecked(PreparedStatement& stmt, const std::vector<Value>& params,
                            const std::function<bool(qint64, ErrorList&)>& check,
                            ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    if (!CommitPendingWrites()) {
        errors = m_errors;
        return false;
    }
    if (!m_backend->beginTransaction(errors)) return false;
    qint64 affected = 0;
    ErrorList ignored;
    if (!stmt.execute(params, affected, errors) || !check(affected, errors)) {
        m_backend->rollback(ignored);
        return false;
    }
    if (!m_backend->commit(errors)) {
        m_backend->rollback(ignored);
        return false;
    }
    return true;
}

void Connection::beginBulkWrites() {
    ++m_bulkDepth;
}

bool Connection::endBulkWrites() {
    if (m_bulkDepth > 0) --m_bulkDepth;
    return m_bulkDepth > 0 || CommitPendingWrites();
}

bool Connection::CommitPendingWrites() {
    if (!m_batchOpen || !m_backend) return true;
    m_batchOpen = false;
    m_batchRows = 0;
    ErrorList errors;
    if (!m_backend->commit(errors)) {
        m_errors = errors;
        return false;
    }
    return true;
}

bool Connection::insertRow(PreparedStatement& stmt, const std::vector<Value>& params) {
    if (!m_backend) {
        m_errors = {closedError()};
        return false;
    }
    qint64 affected = 0;
    m_errors.clear();
    // Outside a bulk scope a new row is stored at once, visible to everyone.
    if (m_bulkDepth == 0 || !m_backend->keepsTransactionOnError()) {
        if (!CommitPendingWrites()) return false;
        if (stmt.execute(params, affected, m_errors)) return true;
        noteLostSession(m_errors);
        return false;
    }

    if (!m_batchOpen) {
        if (!m_backend->beginTransaction(m_errors)) return false;
        m_batchOpen = true;
        m_batchRows = 0;
        m_batchTimer.start();
    }
    if (!stmt.execute(params, affected, m_errors)) {
        // The rows before this one stay: commit them before reporting.
        ErrorList failure = m_errors;
        noteLostSession(failure);
        CommitPendingWrites();
        m_errors = failure;
        return false;
    }
    if (++m_batchRows >= kBatchRows || m_batchTimer.elapsed() >= kBatchMillis)
        return CommitPendingWrites();
    return true;
}

} // namespace db
