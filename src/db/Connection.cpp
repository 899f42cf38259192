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

void Connection::cancel() {
    if (Backend* b = m_backend.get()) b->interrupt();
}

void Connection::resetCancel() {
    if (m_backend) m_backend->clearInterrupt();
}

bool Connection::cancelled() const {
    return m_backend && m_backend->interrupted();
}

bool Connection::Execute(const QString& sql) {
    if (!m_backend) {
        setError(errors::objectClosed(kSource));
        return false;
    }
    if (!CommitPendingWrites()) return false;
    ResultData ignored;
    m_errors.clear();
    return m_backend->query(sql, m_commandTimeout, ignored, m_errors);
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
    if (!CommitPendingWrites()) {
        errors = m_errors;
        return false;
    }
    return m_backend->execute(sql, m_commandTimeout, out, cursor, errors);
}

std::unique_ptr<PreparedStatement>
Connection::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                    ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return nullptr;
    }
    return m_backend->prepare(sql, paramColumns, errors);
}

bool Connection::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    if (!CommitPendingWrites()) {
        errors = m_errors;
        return false;
    }
    return m_backend->tables(out, errors);
}

bool Connection::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    if (!m_backend) {
        errors = {closedError()};
        return false;
    }
    return m_backend->primaryKey(table, columns, errors);
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
        return stmt.execute(params, affected, m_errors);
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
        CommitPendingWrites();
        m_errors = failure;
        return false;
    }
    if (++m_batchRows >= kBatchRows || m_batchTimer.elapsed() >= kBatchMillis)
        return CommitPendingWrites();
    return true;
}

} // namespace db
