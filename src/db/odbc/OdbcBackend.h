#pragma once

#include "../Backend.h"
#include "OdbcHandle.h"

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
    bool beginTransaction(ErrorList& errors) override;
    bool commit(ErrorList& errors) override;
    bool rollback(ErrorList& errors) override;
    // SQLite undoes only the failed statement; most servers (PostgreSQL) abort the whole
    // transaction, so their inserts are committed one by one.
    bool keepsTransactionOnError() const override { return m_dbms == QLatin1String("SQLite"); }
    bool connectionDead() override;
    QString identifierQuote() const override { return m_quote; }
    QString defaultDatabase() override;
    QString dbmsName() const override { return m_dbms; }
    IdentifierCase identifierCase() const override { return m_identifierCase; }
    // Text columns are read as UTF-8 bytes (MariaDB's driver, asked for that character set).
    bool utf8Text() const { return m_utf8Text; }
    QStringList keywords() const override { return m_keywords; }

    // The statement being run now, so that a cancel from another thread reaches it; cleared
    // before its handle is freed.
    void setRunning(SQLHSTMT stmt);

protected:
    void interruptRunning() override;

private:
    bool connectWithDriver(const QStringList& preferred, const QString& connectionTail,
                           ErrorList& errors);
    bool driverConnect(const QString& connectionString, ErrorList& errors);
    QString findDriver(const QStringList& preferred);
    QString driverOfDataSource(const QString& dsn);
    // True when the data source is served by psqlODBC and the values need no quoting that
    // it cannot read, so that its settings for large results can be given.
    bool tunablePostgres(const LoginParams& login);
    // For a data source served by MariaDB's or MySQL's driver: the connection text that
    // also asks for row counts of matched rows and texts of several statements; empty for
    // any other driver.
    QString mariaDbConnection(const LoginParams& login);
    bool endTransaction(SQLSMALLINT completion, ErrorList& errors);
    bool applySessionTimeout(int timeoutSeconds, ErrorList& errors);
    bool isMariaDb() const {
        return m_dbms.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive) ||
               m_dbms.contains(QLatin1String("MySQL"), Qt::CaseInsensitive);
    }
    OdbcHandle newStatement(ErrorList& errors);

    Target m_target;
    OdbcHandle m_env;
    OdbcHandle m_dbc;
    bool m_connected = false;
    bool m_declareFetch = false;
    bool m_utf8Text = false;
    QString m_quote = QStringLiteral("\"");
    QString m_dbms;
    QStringList m_keywords;
    int m_sessionTimeout = 0; // the server's limit for this session, in seconds
    IdentifierCase m_identifierCase = IdentifierCase::Mixed;
    std::mutex m_runningLock;
    SQLHSTMT m_running = SQL_NULL_HANDLE;
};

} // namespace db
