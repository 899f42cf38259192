#pragma once

#include "MariaDataSource.h"
#include "db/Backend.h"

#include <atomic>
#include <mutex>

typedef struct st_mysql MYSQL;
typedef struct st_mysql_stmt MYSQL_STMT;

namespace db {

class MariaCursor;

// A MariaDB (or MySQL) server reached through MariaDB Connector/C: every value comes as the
// server's text of it, and rows stream from the server as they are read.
class MariaBackend : public Backend {
public:
    explicit MariaBackend(MariaConnectParams params) : m_params(std::move(params)) {}
    ~MariaBackend() override;

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

    // What the session's local-file handler serves: rows only while armed, once.
    struct LocalRows {
        const QByteArray* rows = nullptr;
        qsizetype at = 0;
        bool armed = false;
    };

    // For the backend's statements and cursors.
    MYSQL* connection() const { return m_conn; }
    // A read still streaming on the session is read to its end into memory first, so that
    // another command can run on it.
    void settle();
    void streamStarted(MariaCursor* cursor) { m_streaming = cursor; }
    void streamEnded(MariaCursor* cursor);
    // The session's last failure, and a statement's.
    ErrorList sessionErrors();
    ErrorList statementErrors(MYSQL_STMT* stmt);
    // A failure after a cancel is the cancel.
    bool failed(ErrorList& errors) const;
    // Runs a text whose results are read past; false with the first failure.
    bool command(const QString& sql, ErrorList& errors);
    bool command(const QByteArray& sql, qint64& affected, ErrorList& errors);
    // Sends a text and reads up to its first result with rows: the cursor streams them (null
    // when the text has none); out receives their columns and the changed rows before them.
    bool start(const QByteArray& sql, ResultData& out, std::unique_ptr<MariaCursor>& cursor,
               ErrorList& errors);
    // The same for a text of one statement, whose rows come in the binary form where they
    // hold a FLOAT.
    bool startOne(const QByteArray& sql, ResultData& out, std::unique_ptr<MariaCursor>& cursor,
                  ErrorList& errors);
    // Runs a LOAD DATA LOCAL INFILE whose file is rows: the one moment the session serves a
    // local file, and then only these bytes, whatever name the server asks for.
    bool loadRows(const QByteArray& sql, const QByteArray& rows, qint64& affected,
                  ErrorList& errors);
    bool inTransaction() const;
    // The notes the last statement left (SHOW WARNINGS), as errors.
    ErrorList warnings();
    // The text of a value as a quoted literal of this session.
    void appendQuoted(QByteArray& out, std::string_view text) const;

protected:
    void interruptRunning() override;

private:
    bool connect(MYSQL* conn, bool localRows, ErrorList& errors) const;
    ErrorList errorOf(unsigned int number, const char* state, const char* text);
    // One statement whose rows hold a FLOAT runs in the binary form: true when it ran (or
    // failed, with its errors), false when the text protocol is to run it.
    bool startBinary(const QByteArray& sql, ResultData& out, std::unique_ptr<MariaCursor>& cursor,
                     bool& ok, ErrorList& errors);
    bool applyTimeout(int timeoutSeconds, ErrorList& errors);
    MariaBackend* sideSession();
    void describeSession();
    bool rows(const QString& sql, ResultData& out, ErrorList& errors);

    MariaConnectParams m_params;
    MYSQL* m_conn = nullptr;
    // The server's number of the session, for a KILL QUERY from a second one.
    std::mutex m_cancelLock;
    unsigned long m_threadId = 0;
    // One KILL QUERY for each statement, however often the user asks.
    std::atomic<bool> m_killSent{false};
    bool m_lost = false;
    DatabaseDialect m_dialect;
    int m_timeout = 0;
    MariaCursor* m_streaming = nullptr;
    bool m_streamIsolated = false;
    std::unique_ptr<MariaBackend> m_side;

    LocalRows m_localRows;
};

} // namespace db
