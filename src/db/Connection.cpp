#include "Connection.h"

#include "ProviderFactory.h"
#include "Recordset.h"
#include "ThreadCheck.h"

#include <algorithm>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Connection");
// Inserts in a bulk scope are committed in batches of this many rows or this many
// milliseconds, whichever comes first: few enough commits that the disk's syncs do not
// dominate an import, and a crash loses at most about a second of work.
constexpr int kBatchRows = 50000;
constexpr qint64 kBatchMillis = 1000;
// Characters held for one statement at most: long values keep the statement small as well.
constexpr qint64 kCharsPerStatement = 1024 * 1024;

// The session itself is gone: every later row would fail as well.
bool connectionFailed(const DatabaseDialect& dialect, const ErrorList& errors) {
    return std::any_of(errors.begin(), errors.end(),
                       [&](const Error& e) { return dialect.endsSession(e); });
}

// A session lost while its rows were being stored or committed: whether the server kept them
// cannot be known, so the count stops before them and the report says how many they are.
void noteUncertainRows(const DatabaseDialect& dialect, ErrorList& errors, qint64 rows) {
    if (rows <= 0 || errors.empty() || !connectionFailed(dialect, errors)) return;
    // The last of them is the one reports show.
    errors.back().Description +=
        QStringLiteral("\r\n接続が切れたため、最後の %1 件が保存されたかどうかは確認できません。")
            .arg(rows);
}
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
    std::unique_ptr<Backend> backend = createBackend(login, m_errors);
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
    if (m_backend && connectionFailed(m_dialect, errors)) m_sessionLost = true;
}

bool Connection::reconnectIfLost(ErrorList& errors) {
    if (!m_backend || !(m_sessionLost || m_backend->connectionDead())) return true;
    // Until a new session is open, every call tries again rather than use the closed one.
    m_sessionLost = true;
    // Held rows cannot reach a session that is gone; the failure that ended it reported them.
    m_pendingRows.clear();
    m_pendingChars = 0;
    m_pendingStatement = nullptr;
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
    Q_ASSERT(!holdsRows() && !m_batchOpen);
    if ((holdsRows() || m_batchOpen) && !CommitPendingWrites())
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
    if (m_bulkDepth++ > 0) return;
    m_onFailure = onFailure;
    m_passedOver = 0;
    m_firstPassedOver.clear();
}

bool Connection::endBulkWrites() {
    if (m_bulkDepth > 0) --m_bulkDepth;
    if (m_bulkDepth > 0) return true;
    const bool ok = CommitPendingWrites();
    m_onFailure = BatchFailure::Stop;
    return ok;
}

bool Connection::storePendingRows() {
    if (m_pendingRows.empty()) return true;
    std::vector<std::vector<Value>> rows = std::move(m_pendingRows);
    m_pendingRows.clear();
    m_pendingChars = 0;
    PreparedStatement* stmt = m_pendingStatement;
    m_pendingStatement = nullptr;
    const qint64 first = m_pendingFirst;
    // Outside a transaction the statement stores all of the rows or none of them.
    ErrorList errors;
    if (stmt->executeRows(rows, errors)) return true;
    if (connectionFailed(m_dialect, errors)) {
        noteLostSession(errors);
        noteUncertainRows(m_dialect, errors, qint64(rows.size()));
        m_failedInsert = first;
        m_errors = errors;
        return false;
    }
    // One row or more was refused: store them one by one, each committed at once, so that
    // exactly the refused rows are lost.
    for (size_t i = 0; i < rows.size(); ++i) {
        qint64 affected = 0;
        ErrorList rowErrors;
        if (stmt->execute(rows[i], affected, rowErrors)) continue;
        if (m_onFailure == BatchFailure::Skip && !connectionFailed(m_dialect, rowErrors)) {
            ++m_passedOver;
            if (m_firstPassedOver.size() < kPassedOverNamed)
                m_firstPassedOver.push_back(
                    {first + qint64(i), rowErrors.empty() ? Error{} : rowErrors.front()});
            continue;
        }
        noteLostSession(rowErrors);
        noteUncertainRows(m_dialect, rowErrors, 1);
        m_failedInsert = first + qint64(i);
        m_errors = rowErrors;
        return false;
    }
    return true;
}

bool Connection::CommitPendingWrites() {
    m_failedInsert = -1;
    if (!claim(m_errors)) return false;
    if (!m_backend) return true;
    if (!storePendingRows()) return false;
    if (!m_batchOpen) return true;
    m_batchOpen = false;
    m_batchRows = 0;
    ErrorList errors;
    if (!m_backend->commit(errors)) {
        // Nothing of the batch is stored: none of its rows may be counted.
        ErrorList ignored;
        m_backend->rollback(ignored);
        noteLostSession(errors);
        noteUncertainRows(m_dialect, errors, m_insertCount - m_batchFirst);
        m_failedInsert = m_batchFirst;
        m_errors = errors;
        return false;
    }
    return true;
}

bool Connection::insertRow(PreparedStatement& stmt, std::vector<Value>& params, bool mayHold) {
    if (!claim(m_errors)) return false;
    if (!m_backend) {
        m_errors = {closedError()};
        return false;
    }
    qint64 affected = 0;
    m_errors.clear();
    const qint64 number = m_insertCount++;
    if (mayHold && m_bulkDepth > 0 && !m_dialect.keepsTransactionOnError && stmt.canExecuteRows()) {
        if (m_pendingStatement != &stmt && !CommitPendingWrites()) return false;
        m_failedInsert = -1;
        if (m_pendingRows.empty()) {
            m_pendingFirst = number;
            m_batchTimer.start();
        }
        m_pendingStatement = &stmt;
        for (const Value& v : params)
            m_pendingChars += qint64(v.storedSize()) + 3;
        m_pendingRows.emplace_back(std::make_move_iterator(params.begin()),
                                   std::make_move_iterator(params.end()));
        if (m_pendingRows.size() >= std::min(kRowsPerStatement, stmt.rowsLimit()) ||
            m_pendingChars >= kCharsPerStatement || m_batchTimer.elapsed() >= kBatchMillis)
            return CommitPendingWrites();
        return true;
    }
    // Outside a bulk scope a new row is stored at once, visible to everyone.
    if (m_bulkDepth == 0 || !m_dialect.keepsTransactionOnError) {
        if (!CommitPendingWrites()) return false;
        if (stmt.execute(params, affected, m_errors)) return true;
        noteLostSession(m_errors);
        noteUncertainRows(m_dialect, m_errors, 1);
        m_failedInsert = number;
        return false;
    }

    if (!m_batchOpen) {
        if (!m_backend->beginTransaction(m_errors)) {
            m_failedInsert = number;
            return false;
        }
        m_batchOpen = true;
        m_batchRows = 0;
        m_batchFirst = number;
        m_batchTimer.start();
    }
    if (!stmt.execute(params, affected, m_errors)) {
        // The rows before this one stay: commit them before reporting. This row's failure is
        // the one reported; a commit that fails too ended the session, which it also says.
        ErrorList failure = m_errors;
        noteLostSession(failure);
        const bool committed = CommitPendingWrites();
        if (!committed) noteLostSession(m_errors);
        m_errors = failure;
        // Where the commit failed too, the batch before this row is gone with it.
        if (committed) m_failedInsert = number;
        return false;
    }
    if (++m_batchRows >= kBatchRows || m_batchTimer.elapsed() >= kBatchMillis)
        return CommitPendingWrites();
    return true;
}

BulkWriteScope::~BulkWriteScope() {
    if (!m_c) return;
    Q_ASSERT(!m_c->holdsRows());
    if (!m_c->endBulkWrites())
        qWarning("Tolvan: held rows could not be stored: no one reported it");
}

} // namespace db
