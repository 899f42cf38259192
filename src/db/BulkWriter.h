#pragma once

#include "Backend.h"
#include "DatabaseDialect.h"
#include "Error.h"
#include "Value.h"

#include <QElapsedTimer>
#include <utility>
#include <vector>

namespace db {

// Stores the inserts of a connection. Outside a bulk scope each row is committed at once;
// inside one, where the backend keeps a transaction across a failed statement, rows are
// committed in batches; where it does not but can store many rows in one statement, they are
// held and stored together, so that a refusal may surface at a later insert or commit. Rows
// are numbered, so that a refusal names the row it was.
class BulkWriter {
public:
    // What an open batch does with a row that the database refuses: stop there (the rows
    // after it in the batch are dropped) or pass over it and store the others.
    enum class BatchFailure { Stop, Skip };
    // Held rows are stored together once this many are held, or sooner for their size or
    // their age. On PostgreSQL the server's time is the same from 500 to 5000 rows a
    // statement, but the larger the statement, the longer client and server wait for each
    // other on a busy machine.
    static constexpr size_t kRowsPerStatement = 1000;
    struct PassedOver {
        qint64 insert;
        Error error;
    };
    static constexpr size_t kPassedOverNamed = 5;

    // Scopes nest; the outermost one's onFailure holds until its rows are stored. leave is true
    // when the outermost scope is left: the caller commits, then calls left.
    void begin(BatchFailure onFailure);
    [[nodiscard]] bool leave();
    void left() { m_onFailure = BatchFailure::Stop; }
    bool inScope() const { return m_bulkDepth > 0; }

    bool holdsRows() const { return !m_pendingRows.empty(); }
    // Rows held, or a batch not committed.
    bool pending() const { return holdsRows() || m_batchOpen; }
    qint64 passedOver() const { return m_passedOver; }
    const std::vector<PassedOver>& firstPassedOver() const { return m_firstPassedOver; }
    qint64 insertCount() const { return m_insertCount; }
    qint64 failedInsert() const { return m_failedInsert; }
    void clearFailure() { m_failedInsert = -1; }
    qint64 firstPending() const {
        if (!m_pendingRows.empty()) return m_pendingFirst;
        return m_batchOpen ? m_batchFirst : m_insertCount;
    }

    // On the open session, with what it told of itself. Errors are set only on failure
    // (insert clears them first).
    bool insert(Backend& backend, const DatabaseDialect& dialect, PreparedStatement& stmt,
                std::vector<Value>& params, bool mayHold, ErrorList& errors);
    bool commit(Backend& backend, const DatabaseDialect& dialect, ErrorList& errors);
    // The session is gone: what it holds cannot reach the database (the failure that ended
    // the session reported them).
    void sessionGone();
    // A failure met since last asked ended the session.
    bool takeLostSession() { return std::exchange(m_lostSession, false); }

private:
    bool holdRow(Backend& backend, const DatabaseDialect& dialect, PreparedStatement& stmt,
                 std::vector<Value>& params, qint64 number, ErrorList& errors);
    bool insertInBatch(Backend& backend, const DatabaseDialect& dialect, PreparedStatement& stmt,
                       std::vector<Value>& params, qint64 number, ErrorList& errors);
    bool storePendingRows(const DatabaseDialect& dialect, ErrorList& errors);
    void note(const DatabaseDialect& dialect, const ErrorList& errors);

    int m_bulkDepth = 0;
    bool m_batchOpen = false;
    qint64 m_batchFirst = 0; // the insert that opened the batch
    int m_batchRows = 0;
    QElapsedTimer m_batchTimer;
    BatchFailure m_onFailure = BatchFailure::Stop;

    // Rows held for one statement that stores many at a time.
    PreparedStatement* m_pendingStatement = nullptr;
    std::vector<std::vector<Value>> m_pendingRows;
    qint64 m_pendingChars = 0;
    qint64 m_pendingFirst = 0;
    qint64 m_insertCount = 0;
    qint64 m_failedInsert = -1;
    qint64 m_passedOver = 0;
    std::vector<PassedOver> m_firstPassedOver;
    bool m_lostSession = false;
};

} // namespace db
