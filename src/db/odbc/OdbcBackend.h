#pragma once

#include "OdbcHandle.h"
#include "OdbcTypes.h"
#include "db/Backend.h"

#include <mutex>

namespace db {

// Databases reached through the ODBC driver manager: a data source by name, or a SQL Server,
// Oracle or Access file through an installed driver.
class OdbcBackend : public Backend {
public:
    enum class Target { DataSource, SqlServer, Oracle, AccessFile };

    explicit OdbcBackend(Target target) : m_target(target) {}
    ~OdbcBackend() override;

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
    // How this session's values are read: texts as UTF-8 bytes (MariaDB's driver, asked for
    // that character set), numbers as their text (MDBTools refuses every other C type for
    // them), money in the server's locale.
    OdbcSessionForm sessionForm() const { return {m_utf8Text, m_numbersAsText, m_money}; }
    // The database behind the driver, told by its name once at open; the driver's ways differ
    // with it.
    enum class Engine { Other, Postgres, MariaDb, MySql, Sqlite, MdbTools };
    Engine engine() const { return m_engine; }
    bool isMariaDb() const { return m_engine == Engine::MariaDb || m_engine == Engine::MySql; }
    bool isPostgres() const { return m_engine == Engine::Postgres; }

    // The statement being run now, so that a cancel from another thread reaches it; cleared
    // before its handle is freed.
    void setRunning(SQLHSTMT stmt);

protected:
    void interruptRunning() override;

private:
    // A data source by name, with the options its driver needs.
    bool connectDataSource(const LoginParams& login, ErrorList& errors);
    // file: the database file the driver opens, named where it fails without a reason.
    bool connectWithDriver(const QStringList& preferred, const QString& connectionTail,
                           ErrorList& errors, const QString& file = QString());
    // narrow: through the 8-bit call, the text in UTF-8 (see readOnlyDriver).
    bool driverConnect(const QString& connectionString, ErrorList& errors, bool narrow = false);
    // MDBTools: it only reads, and opened through a wide call its wide library answers
    // SQLTables and SQLPrepare with "not supported".
    static bool readOnlyDriver(const QString& driver) {
        return driver.contains(QLatin1String("MDB"), Qt::CaseInsensitive);
    }
    QString findDriver(const QStringList& preferred);
    // True when the data source is served by psqlODBC and the values need no quoting that
    // it cannot read, so that its settings for large results can be given.
    bool tunablePostgres(const LoginParams& login);
    // For a data source served by MariaDB's or MySQL's driver: the connection text that
    // also asks for row counts of matched rows and texts of several statements; empty for
    // any other driver.
    QString mariaDbConnection(const LoginParams& login);
    // The insert of many rows at once into a MariaDB or MySQL table, or single where the
    // table's engine cannot take one back.
    std::unique_ptr<PreparedStatement> valuesInsert(std::unique_ptr<PreparedStatement> single,
                                                    const QString& tableSql,
                                                    const QStringList& columnSql,
                                                    const std::vector<const ColumnInfo*>& params);
    // What the open session tells of itself, into m_engine and m_dialect.
    void describeSession();
    bool endTransaction(SQLSMALLINT completion, ErrorList& errors);
    bool applySessionTimeout(int timeoutSeconds, ErrorList& errors);
    // PostgreSQL writes money by the server's locale: its point and scale, from the text of 1.
    void readMoneyForm();
    OdbcHandle newStatement(ErrorList& errors);
    // The rows of the catalog call just made on stmt, which gives at least this many columns.
    bool catalogRows(OdbcHandle& stmt, size_t columns, ResultData& r, ErrorList& errors);

    Target m_target;
    OdbcHandle m_env;
    OdbcHandle m_dbc;
    bool m_connected = false;
    bool m_declareFetch = false;
    bool m_utf8Text = false;
    bool m_numbersAsText = false;
    MoneyForm m_money;
    // Opened through the 8-bit calls: MDBTools, which only reads.
    bool m_narrow = false;
    Engine m_engine = Engine::Other;
    DatabaseDialect m_dialect;
    int m_sessionTimeout = 0; // the server's limit for this session, in seconds
    std::mutex m_runningLock;
    SQLHSTMT m_running = SQL_NULL_HANDLE;
};

} // namespace db
