#pragma once

#include "PgDataSource.h"
#include "db/Backend.h"
#include "db/TextCells.h"

#include <mutex>

typedef struct pg_conn PGconn;
typedef struct pg_cancel PGcancel;
typedef struct pg_result PGresult;

namespace db {

class PgCursor;

// A PostgreSQL server reached through its own client library, libpq: every value comes as
// the server's text of it, and rows stream from the server one at a time.
class PgBackend : public Backend {
public:
    explicit PgBackend(PgConnectParams params) : m_params(std::move(params)) {}
    ~PgBackend() override;

    bool open(const LoginParams& login, ErrorList& errors) override;
    void close() override;
    bool execute(const QString& sql, int timeoutSeconds, ResultData& out,
                 std::unique_ptr<RowCursor>& cursor, ErrorList& errors) override;
    std::unique_ptr<PreparedStatement> prepare(const QString& sql,
                                               const std::vector<const ColumnInfo*>& paramColumns,
                                               ErrorList& errors) override;
    std::unique_ptr<PreparedStatement> prepareInsert(const QString& tableSql,
                                                     const QStringList& columnSql,
                                                     const std::vector<const ColumnInfo*>& params,
                                                     ErrorList& errors) override;
    bool tables(std::vector<TableEntry>& out, ErrorList& errors) override;
    bool primaryKey(const QString& table, QStringList& columns, ErrorList& errors) override;
    bool columns(const TableEntry& table, QStringList& names, ErrorList& errors) override;
    bool beginTransaction(ErrorList& errors) override;
    bool commit(ErrorList& errors) override;
    bool rollback(ErrorList& errors) override;
    bool connectionDead() override;
    QString defaultDatabase() override;
    const DatabaseDialect& dialect() const override { return m_dialect; }

    // For the backend's statements and cursors.
    PGconn* connection() const { return m_conn; }
    MoneyForm moneyForm() const { return m_money; }
    // A read still streaming on the session is read to its end into memory first, so that
    // another command can run on it.
    void settle();
    void streamStarted(PgCursor* cursor) { m_streaming = cursor; }
    void streamEnded(PgCursor* cursor);
    // The errors of a failed result, or of the session when there is none.
    ErrorList errorsOf(const PGresult* result) const;
    // Runs one statement without rows; false with its errors.
    bool command(const QString& sql, ErrorList& errors);
    // A failure after a cancel is the cancel.
    bool failed(ErrorList& errors) const;

protected:
    void interruptRunning() override;

private:
    bool applyTimeout(int timeoutSeconds, ErrorList& errors);
    // A second session for reads while a stream holds this one, opened when first needed and
    // closed with the stream; null where the stream forbids it or the session cannot open.
    PgBackend* sideSession();
    void describeSession();
    // The rows of a query with text parameters.
    bool rows(const QString& sql, const std::vector<QByteArray>& params, ResultData& out,
              ErrorList& errors);

    PgConnectParams m_params;
    PGconn* m_conn = nullptr;
    std::mutex m_cancelLock;
    PGcancel* m_cancel = nullptr;
    DatabaseDialect m_dialect;
    MoneyForm m_money;
    int m_timeout = 0;
    PgCursor* m_streaming = nullptr;
    // The stream only reads, outside a transaction: a second session sees the same rows.
    bool m_streamIsolated = false;
    std::unique_ptr<PgBackend> m_side;
    int m_statements = 0; // names of prepared statements
};

} // namespace db
