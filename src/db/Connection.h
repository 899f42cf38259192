#pragma once

#include "Backend.h"
#include "BulkWriter.h"
#include "ConnectionLoan.h"
#include "Error.h"
#include "LoginParams.h"
#include "ProviderFactory.h"
#include "StatementWork.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace db {

class Recordset;

// The one database connection of the process, shaped like an ADO Connection.
// Failures return false and leave their diagnostics in Errors().
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString ConnectionString() const { return m_connectionString; }
    // The text shown and stored; its parts are parsed from it unless setLogin gave them.
    void setConnectionString(const QString& text);
    // Gives the parts separately so that typed values reach the driver intact.
    void setLogin(const LoginParams& login, const QString& connectionString);

    // ADO's CursorLocationEnum. Every record set holds its rows on the client whatever is
    // set; the value is kept for callers that read it back.
    enum CursorLocationEnum { adUseServer = 2, adUseClient = 3 };
    int CursorLocation() const { return m_cursorLocation; }
    void setCursorLocation(int location) { m_cursorLocation = location; }

    // Data sources the user keeps on their ODBC drivers; read at the next Open.
    void setBackendOptions(BackendOptions options) { m_backendOptions = std::move(options); }
    // Which way the open login went where there was a choice, and why, for the user to read;
    // empty where there was none.
    QString route() const { return m_route; }

    int CommandTimeout() const { return m_commandTimeout; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds < 0 ? 0 : seconds; }

    bool Open();
    void Close();
    // Open, whether here or lent to a worker.
    bool isOpen() const { return m_backend != nullptr || m_lent.load(); }

    const ErrorList& Errors() const { return m_errors; }
    QString DefaultDatabase();
    // The layer's own version, the same for every connection.
    static QString Version();
    // What the open session's database reads and can do, as its backend told at open; kept
    // while the backend is lent, empty once closed.
    const DatabaseDialect& dialect() const { return m_dialect; }
    // The database product behind the connection ("SQLite", "PostgreSQL", ...), to be shown.
    QString dbmsName() const { return m_dialect.dbmsName; }
    // The character the database quotes identifiers with ("\"" for most).
    QString identifierQuote() const { return m_dialect.identifierQuote; }
    // The driver only reads (an Access file through MDBTools): writes are refused unasked.
    bool readOnly() const { return m_dialect.readOnly; }
    // The error tells that the session with the database is gone.
    bool endsSession(const Error& e) const { return m_dialect.endsSession(e); }

    // Stops the statement that another thread runs on this connection: thread-safe. Until
    // resetCancel, every statement fails with errors::cancelled; the caller calls it before
    // it hands the connection to its worker.
    void cancel();
    void resetCancel();
    bool cancelled() const;

    // Runs a statement and throws its rows away: for callers that need no record set.
    bool Execute(const QString& sql);

    // Lends the connection to a statement that another thread runs. Here, on the caller's
    // thread, held rows are stored and a lost session is opened again; from then on nothing
    // but the loan's work and cancel() may use the connection until the loan ends (checked in
    // debug builds). Empty on failure, with errors.
    [[nodiscard]] ConnectionLoan lend(const QString& sql, ErrorList& errors);
    // Lends the connection to a worker that reads on from a statement this thread started (a
    // forward-only read ahead of its rows). The loan ends whenever this thread needs the
    // connection: every other use first calls reclaim, which joins the worker and ends the
    // loan. Empty, with cursor left as it was, when the connection is closed.
    [[nodiscard]] ConnectionLoan lendCursor(std::unique_ptr<RowCursor>& cursor,
                                            std::function<void()> reclaim);
    // Lends the connection to a worker that reads the catalog while nothing else needs the
    // connection: as with lendCursor, every other use first calls reclaim. Empty, with errors,
    // when the connection cannot be used now; a lost session is not logged in again for it.
    [[nodiscard]] ConnectionLoan lendCatalog(std::function<void()> reclaim, ErrorList& errors);

    // Commits inserts that are held in an open batch; every other operation does this first,
    // and callers do it before they ask the user anything. False when a row was refused or
    // could not be stored: Errors() and failedInsert() tell which.
    [[nodiscard]] bool CommitPendingWrites();
    static constexpr size_t kRowsPerStatement = BulkWriter::kRowsPerStatement;
    // Rows are held, not yet stored.
    bool holdsRows() const { return m_writer.holdsRows(); }

    using BatchFailure = BulkWriter::BatchFailure;
    // Inserts are committed one by one unless a bulk scope is open (see BulkWriter). Scopes
    // nest; the outermost one's end commits and its onFailure holds.
    void beginBulkWrites(BatchFailure onFailure = BatchFailure::Stop);
    [[nodiscard]] bool endBulkWrites();
    // Rows refused and passed over (BatchFailure::Skip) when held rows were stored together,
    // since the outermost bulk scope began: the caller counted them as added.
    qint64 passedOverInserts() const { return m_writer.passedOver(); }
    // The first of them, each with its number and the database's reason.
    using PassedOver = BulkWriter::PassedOver;
    static constexpr size_t kPassedOverNamed = BulkWriter::kPassedOverNamed;
    const std::vector<PassedOver>& firstPassedOver() const { return m_writer.firstPassedOver(); }
    // Numbers the inserts: the number the next insertRow gives its row.
    qint64 insertCount() const { return m_writer.insertCount(); }
    // After insertRow or CommitPendingWrites failed: the number of the row the database
    // refused or could not take (an earlier, held row, or the row just given); -1 for none.
    qint64 failedInsert() const { return m_writer.failedInsert(); }
    // The number of the first row held or not yet committed (insertCount when there is none).
    qint64 firstPendingInsert() const { return m_writer.firstPending(); }

    // For the layer's own objects. The backend is reached only through these, so that no
    // statement runs past inserts held in an open batch.
    void setErrors(ErrorList errors) {
        noteLostSession(errors);
        m_errors = std::move(errors);
    }
    void setError(const Error& e) { setErrors({e}); }
    void clearErrors() { m_errors.clear(); }
    // Starts a text of statements after committing held inserts (see Backend::execute).
    bool executeText(const QString& sql, ResultData& out, std::unique_ptr<RowCursor>& cursor,
                     ErrorList& errors);
    std::unique_ptr<PreparedStatement> prepare(const QString& sql,
                                               const std::vector<const ColumnInfo*>& paramColumns,
                                               ErrorList& errors);
    bool tables(std::vector<TableEntry>& out, ErrorList& errors);
    bool primaryKey(const QString& table, QStringList& columns, ErrorList& errors);
    // Runs a prepared change in a transaction of its own, committed only when check accepts
    // the number of rows it changed (else rolled back, with check's error). A lost session is
    // not logged in again here: stmt belongs to it.
    std::unique_ptr<PreparedStatement> prepareInsert(const QString& tableSql,
                                                     const QStringList& columnSql,
                                                     const std::vector<const ColumnInfo*>& params,
                                                     ErrorList& errors);
    bool runChecked(PreparedStatement& stmt, const std::vector<Value>& params,
                    const std::function<bool(qint64, ErrorList&)>& check, ErrorList& errors);
    // Runs one insert: committed at once, or in the batch of an open bulk scope. mayHold lets
    // the row wait to be stored with others (see beginBulkWrites): only for callers that keep
    // no copy of it, which could not be taken back when it is refused. A held row takes the
    // values of params, which are left empty.
    bool insertRow(PreparedStatement& stmt, std::vector<Value>& params, bool mayHold);
    // Record sets opened on this connection let go of their statements when it closes.
    void attach(Recordset* rs);
    void detach(Recordset* rs);

private:
    friend class ConnectionLoan;
    // Ends a loan once its worker is joined: what is left of a statement read on comes back
    // (null once its rows are read); errors are those the work ended with (a lost session is
    // noted).
    std::unique_ptr<RowCursor> giveBack(std::unique_ptr<StatementWork> work,
                                        const ErrorList& errors);
    // How a session being lost is met where an operation starts.
    enum class LostSession {
        LogInAgain,
        // The caller holds a statement of this session, which a new one would leave behind:
        // it fails, and the next operation logs in again.
        Fail,
    };
    // The one way into an operation, in this order: the connection is open and not lent to a
    // running statement, a lost session is logged in again, held rows are stored. Every
    // operation passes here but insertRow, which adds to the held rows, CommitPendingWrites,
    // which stores them, and what only reads what the open session told (dbmsName and such).
    bool ready(ErrorList& errors, LostSession lost = LostSession::LogInAgain);
    // Every use but cancel() passes here: false, with the error that says so, while the
    // connection is lent to a running statement, in every build. A read ahead gives it back
    // first.
    bool claim(ErrorList& errors);
    // A failure that ended the session with the server marks it lost.
    void noteLostSession(const ErrorList& errors);
    // After a lost session the next statement first logs in again, so that the program is
    // usable once the server is back; the statement that met the loss is never repeated.
    bool reconnectIfLost(ErrorList& errors);
    // A new session's backend, its facts noted.
    void adopt(std::unique_ptr<Backend> backend);
    // The end of a loan: the backend the work gives back (none when it went with the work).
    void comeBack(std::unique_ptr<Backend> backend);

    QString m_connectionString;
    std::optional<LoginParams> m_login;
    BackendOptions m_backendOptions;
    QString m_route;
    int m_cursorLocation = adUseClient;
    int m_commandTimeout = 30;
    // Owned here, or by the work it is lent to until it comes back.
    std::unique_ptr<Backend> m_backend;
    // Reaches the backend wherever it is, from any thread, only to stop what it runs.
    std::atomic<Backend*> m_interruptTarget{nullptr};
    // What the open session told of itself.
    DatabaseDialect m_dialect;
    ErrorList m_errors;
    std::vector<Recordset*> m_recordsets;
    bool m_sessionLost = false;
    std::atomic<bool> m_lent{false};
    // Ends the loan of lendCursor; empty for any other.
    std::function<void()> m_reclaim;
    QString m_database; // the last DefaultDatabase

    // The inserts of imports and batch runs, on whichever session is open.
    BulkWriter m_writer;
};

// Opens a bulk-write scope until end(): an import or a batch run.
class BulkWriteScope {
public:
    explicit BulkWriteScope(Connection* c,
                            Connection::BatchFailure onFailure = Connection::BatchFailure::Stop)
        : m_c(c) {
        if (m_c) m_c->beginBulkWrites(onFailure);
    }
    // Stores the rows still held and ends the scope; false when one was refused or could not
    // be stored (the connection's Errors() and failedInsert() tell which).
    [[nodiscard]] bool end() {
        Connection* c = std::exchange(m_c, nullptr);
        return !c || c->endBulkWrites();
    }
    // Every way out of a scope stores the held rows and reports a failure before it gets
    // here: what the scope still holds at this point could not be reported.
    ~BulkWriteScope();
    BulkWriteScope(const BulkWriteScope&) = delete;
    BulkWriteScope& operator=(const BulkWriteScope&) = delete;

private:
    Connection* m_c;
};

} // namespace db
