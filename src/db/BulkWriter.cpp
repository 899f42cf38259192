#include "BulkWriter.h"

namespace db {

namespace {
// Inserts in a bulk scope are committed in batches of this many rows or this many
// milliseconds, whichever comes first: few enough commits that the disk's syncs do not
// dominate an import, and a crash loses at most about a second of work.
constexpr int kBatchRows = 50000;
constexpr qint64 kBatchMillis = 1000;
// Characters held for one statement at most: long values keep the statement small as well.
constexpr qint64 kCharsPerStatement = 1024 * 1024;

// A session lost while its rows were being stored or committed: whether the server kept them
// cannot be known, so the count stops before them and the report says how many they are.
void noteUncertainRows(const DatabaseDialect& dialect, ErrorList& errors, qint64 rows) {
    if (rows <= 0 || errors.empty() || !dialect.endsSession(errors)) return;
    // The last of them is the one reports show.
    errors.back().Description +=
        QStringLiteral("\r\n接続が切れたため、最後の %1 件が保存されたかどうかは確認できません。")
            .arg(rows);
}
} // namespace

void BulkWriter::note(const DatabaseDialect& dialect, const ErrorList& errors) {
    if (dialect.endsSession(errors)) m_lostSession = true;
}

void BulkWriter::begin(BatchFailure onFailure) {
    if (m_bulkDepth++ > 0) return;
    m_onFailure = onFailure;
    m_passedOver = 0;
    m_firstPassedOver.clear();
}

bool BulkWriter::leave() {
    if (m_bulkDepth > 0) --m_bulkDepth;
    return m_bulkDepth == 0;
}

void BulkWriter::sessionGone() {
    m_pendingRows.clear();
    m_pendingChars = 0;
    m_pendingStatement = nullptr;
    m_batchOpen = false;
    m_batchRows = 0;
}

bool BulkWriter::storePendingRows(const DatabaseDialect& dialect, ErrorList& errorsOut) {
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
    if (dialect.endsSession(errors)) {
        note(dialect, errors);
        noteUncertainRows(dialect, errors, qint64(rows.size()));
        m_failedInsert = first;
        errorsOut = errors;
        return false;
    }
    // One row or more was refused: store them one by one, each committed at once, so that
    // exactly the refused rows are lost.
    for (size_t i = 0; i < rows.size(); ++i) {
        qint64 affected = 0;
        ErrorList rowErrors;
        if (stmt->execute(rows[i], affected, rowErrors)) continue;
        if (m_onFailure == BatchFailure::Skip && !dialect.endsSession(rowErrors)) {
            ++m_passedOver;
            if (m_firstPassedOver.size() < kPassedOverNamed)
                m_firstPassedOver.push_back(
                    {first + qint64(i), rowErrors.empty() ? Error{} : rowErrors.front()});
            continue;
        }
        note(dialect, rowErrors);
        noteUncertainRows(dialect, rowErrors, 1);
        m_failedInsert = first + qint64(i);
        errorsOut = rowErrors;
        return false;
    }
    return true;
}

bool BulkWriter::commit(Backend& backend, const DatabaseDialect& dialect, ErrorList& errorsOut) {
    m_failedInsert = -1;
    if (!storePendingRows(dialect, errorsOut)) return false;
    if (!m_batchOpen) return true;
    m_batchOpen = false;
    m_batchRows = 0;
    ErrorList errors;
    if (!backend.commit(errors)) {
        // Nothing of the batch is stored: none of its rows may be counted.
        ErrorList ignored;
        backend.rollback(ignored);
        note(dialect, errors);
        noteUncertainRows(dialect, errors, m_insertCount - m_batchFirst);
        m_failedInsert = m_batchFirst;
        errorsOut = errors;
        return false;
    }
    return true;
}

bool BulkWriter::insert(Backend& backend, const DatabaseDialect& dialect, PreparedStatement& stmt,
                        std::vector<Value>& params, bool mayHold, ErrorList& errors) {
    errors.clear();
    const qint64 number = m_insertCount++;
    if (mayHold && inScope() && !dialect.keepsTransactionOnError && stmt.canExecuteRows())
        return holdRow(backend, dialect, stmt, params, number, errors);
    if (inScope() && dialect.keepsTransactionOnError)
        return insertInBatch(backend, dialect, stmt, params, number, errors);
    // Outside a bulk scope a new row is stored at once, visible to everyone.
    if (!commit(backend, dialect, errors)) return false;
    qint64 affected = 0;
    if (stmt.execute(params, affected, errors)) return true;
    note(dialect, errors);
    noteUncertainRows(dialect, errors, 1);
    m_failedInsert = number;
    return false;
}

bool BulkWriter::holdRow(Backend& backend, const DatabaseDialect& dialect, PreparedStatement& stmt,
                         std::vector<Value>& params, qint64 number, ErrorList& errors) {
    if (m_pendingStatement != &stmt && !commit(backend, dialect, errors)) return false;
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
        return commit(backend, dialect, errors);
    return true;
}

bool BulkWriter::insertInBatch(Backend& backend, const DatabaseDialect& dialect,
                               PreparedStatement& stmt, std::vector<Value>& params, qint64 number,
                               ErrorList& errors) {
    if (!m_batchOpen) {
        if (!backend.beginTransaction(errors)) {
            m_failedInsert = number;
            return false;
        }
        m_batchOpen = true;
        m_batchRows = 0;
        m_batchFirst = number;
        m_batchTimer.start();
    }
    qint64 affected = 0;
    if (!stmt.execute(params, affected, errors)) {
        // The rows before this one stay: commit them before reporting. This row's failure is
        // the one reported; a commit that fails too ended the session, which it also says.
        ErrorList failure = errors;
        note(dialect, failure);
        const bool committed = commit(backend, dialect, errors);
        if (!committed) note(dialect, errors);
        errors = failure;
        // Where the commit failed too, the batch before this row is gone with it.
        if (committed) m_failedInsert = number;
        return false;
    }
    if (++m_batchRows >= kBatchRows || m_batchTimer.elapsed() >= kBatchMillis)
        return commit(backend, dialect, errors);
    return true;
}

} // namespace db
