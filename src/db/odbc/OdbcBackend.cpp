#include "OdbcBackend.h"

#include "OdbcDiag.h"
#include "OdbcFetch.h"
#include "OdbcRowsInsert.h"
#include "OdbcStatement.h"
#include "OdbcValuesInsert.h"
#include "db/AdoType.h"
#include "db/StatementText.h"
#include "db/mariadb/MariaStatement.h"

#include <algorithm>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.ODBC");

} // namespace

OdbcBackend::~OdbcBackend() {
    close();
}

void OdbcBackend::close() {
    if (m_connected) SQLDisconnect(m_dbc.get());
    m_connected = false;
    m_dbc.reset();
    m_env.reset();
}

bool OdbcBackend::connectionDead() {
    if (!m_connected) return false;
    SQLUINTEGER dead = SQL_CD_FALSE;
    return SQL_SUCCEEDED(
               SQLGetConnectAttr(m_dbc.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

OdbcHandle OdbcBackend::newStatement(ErrorList& errors) {
    OdbcHandle stmt(SQL_HANDLE_STMT, m_dbc.get());
    if (!stmt) errors = odbcErrors({&m_dbc});
    return stmt;
}

namespace {
// The rows the statement of the current result changed, for a result without columns; -1 when
// the driver cannot tell.
qint64 rowsChanged(const OdbcHandle& stmt, SQLRETURN rc) {
    // A searched UPDATE or DELETE that matched no row.
    if (rc == SQL_NO_DATA) return 0;
    SQLLEN count = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt.get(), &count))) return -1;
    return qint64(count);
}

// Moves past the current result to the next one with columns, running the statements in
// between (their changed rows added to counts, when given); false with errors when one of them
// fails.
bool nextResultWithColumns(const OdbcHandle& stmt, bool& found, ErrorList& errors,
                           qsizetype& resultsLeft, ResultData* counts = nullptr) {
    found = false;
    for (;;) {
        if (--resultsLeft < 0) {
            errors = {{ErrorNumber::Fail,
                       QStringLiteral("The driver gave more results than the text can have."),
                       QStringLiteral("Tolvan.ODBC")}};
            return false;
        }
        const SQLRETURN rc = SQLMoreResults(stmt.get());
        if (rc == SQL_NO_DATA) return true;
        // A driver without the function (MDBTools) has one result per statement.
        if (rc == SQL_ERROR && odbcState(stmt) == QLatin1String("IM001")) return true;
        if (!SQL_SUCCEEDED(rc)) {
            errors = odbcErrors({&stmt});
            if (errors.empty())
                errors = {{ErrorNumber::Fail,
                           QStringLiteral("A later statement of the text failed."),
                           QStringLiteral("Tolvan.ODBC")}};
            return false;
        }
        SQLSMALLINT columns = 0;
        if (SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) && columns > 0) {
            found = true;
            return true;
        }
        if (counts) counts->addAffected(rowsChanged(stmt, rc));
    }
}

// Runs what is left of a text after its rows: later results are read past, not kept.
bool runRest(const OdbcHandle& stmt, ErrorList& errors, qsizetype& resultsLeft) {
    for (;;) {
        bool found = false;
        if (!nextResultWithColumns(stmt, found, errors, resultsLeft)) return false;
        if (!found) return true;
        SQLCloseCursor(stmt.get());
    }
}

// Makes the statement reachable by a cancel while the driver runs it. Only then: a cancel
// that comes while a result is read is taken, by the driver manager and by the SQLite,
// MariaDB and MDBTools drivers, for a close of the result under the reading thread. Rows
// stop on the cancel's flag instead, asked before every array of them.
class RunningStatement {
public:
    RunningStatement(OdbcBackend* backend, const OdbcHandle& stmt, bool reachable = true)
        : m_backend(reachable ? backend : nullptr) {
        if (m_backend) m_backend->setRunning(stmt.get());
    }
    ~RunningStatement() { end(); }
    void end() {
        if (m_backend) m_backend->setRunning(SQL_NULL_HANDLE);
        m_backend = nullptr;
    }
    RunningStatement(const RunningStatement&) = delete;
    RunningStatement& operator=(const RunningStatement&) = delete;

private:
    OdbcBackend* m_backend;
};

// A failure after a cancel is the cancel, whatever the driver calls it.
bool failCancelled(const Backend* backend, ErrorList& errors) {
    if (backend->interrupted()) errors = {errors::cancelled(kSource)};
    return false;
}

class OdbcCursor : public RowCursor {
public:
    OdbcCursor(OdbcBackend* backend, OdbcHandle stmt, qsizetype resultsLeft)
        : m_backend(backend), m_stmt(std::move(stmt)), m_resultsLeft(resultsLeft) {}
    bool start(const ResultData& out, bool bulk, ErrorList& errors) {
        return m_reader.start(m_stmt, out, bulk, errors, m_backend->sessionForm());
    }

    bool fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) override {
        const auto cancelled = [this] { return m_backend->interrupted(); };
        if (!m_reader.fetch(out, maxRows, done, errors, cancelled))
            return failCancelled(m_backend, errors);
        if (done) {
            m_reader.finish();
            // The later statements of a text run here; only psqlODBC runs several.
            const RunningStatement running(m_backend, m_stmt, m_backend->isPostgres());
            if (!runRest(m_stmt, errors, m_resultsLeft)) return failCancelled(m_backend, errors);
        }
        return true;
    }

private:
    OdbcBackend* m_backend;
    OdbcHandle m_stmt;
    qsizetype m_resultsLeft;
    OdbcRowReader m_reader; // declared after the statement: it is finished first
};
} // namespace

bool OdbcBackend::execute(const QString& sql, int timeoutSeconds, ResultData& out,
                          std::unique_ptr<RowCursor>& cursor, ErrorList& errors) {
    out.clear();
    cursor.reset();
    OdbcHandle stmt = newStatement(errors);
    if (!stmt) return false;
    if (interrupted()) return failCancelled(this, errors);
    if (timeoutSeconds > 0)
        SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, SQLPOINTER(SQLULEN(timeoutSeconds)), 0);
    if (!m_dialect.severalStatements && !isSingleStatement(sql)) {
        // MariaDB's driver splits such a text itself and leaves its connection locked to the
        // thread that ran it: every later call from another thread would wait for ever.
        errors = {{ErrorNumber::Fail,
                   QStringLiteral("The MariaDB and MySQL driver cannot run a text of several "
                                  "statements here: run them one at a time."),
                   kSource}};
        return false;
    }
    if (!applySessionTimeout(timeoutSeconds, errors)) return failCancelled(this, errors);
    // psqlODBC reads one statement that starts with WITH through a cursor, which a WITH that
    // changes data refuses; a leading comment keeps the driver from doing so. A text of several
    // statements it runs without a cursor.
    const bool startsWithWith =
        sql.trimmed().startsWith(QLatin1String("with"), Qt::CaseInsensitive);
    const bool single = startsWithWith && isSingleStatement(sql);
    const QString comment = QStringLiteral("/**/ ");
    // MDBTools takes any cancel for a close, even of a statement it is running.
    RunningStatement running(this, stmt, !m_narrow);
    SQLRETURN rc = SQLExecDirectW(
        stmt.get(), wide(m_declareFetch && single && !readsOnly(sql) ? comment + sql : sql),
        SQL_NTS);
    if (m_declareFetch && single && !SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA &&
        odbcState(stmt) == QLatin1String("42601")) {
        // A WITH the cursor cannot take that reads like a query: once more without it. Only for
        // one statement, which has not run: of several, those before the failing one would
        // have.
        rc = SQLExecDirectW(stmt.get(), wide(comment + sql), SQL_NTS);
    }
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
        running.end();
        errors = odbcErrors({&stmt, &m_dbc});
        return failCancelled(this, errors);
    }
    if (!isPostgres()) running.end();
    SQLSMALLINT columns = 0;
    bool found =
        rc != SQL_NO_DATA && SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) && columns > 0;
    qsizetype resultsLeft = resultBudget(sql);
    if (!found) {
        out.addAffected(rowsChanged(stmt, rc));
        if (!nextResultWithColumns(stmt, found, errors, resultsLeft, &out))
            return failCancelled(this, errors);
    }
    running.end();
    if (!found) return true;
    if (!describeOdbcResult(stmt, out, errors)) return failCancelled(this, errors);
    // SQLite keeps a CHAR value as it was given: its blanks are the value's own.
    if (m_engine == Engine::Sqlite)
        for (ColumnInfo& column : out.columns)
            column.padded = false;
    auto c = std::make_unique<OdbcCursor>(this, std::move(stmt), resultsLeft);
    if (!c->start(out, true, errors)) return failCancelled(this, errors);
    cursor = std::move(c);
    return true;
}

bool OdbcBackend::applySessionTimeout(int timeoutSeconds, ErrorList& errors) {
    // MariaDB's driver lets the query timeout pass unused; the server's own limit stops every
    // statement of a text (error 1969), MySQL's its SELECTs.
    if (!isMariaDb() || timeoutSeconds == m_sessionTimeout) return true;
    const bool maria = m_engine == Engine::MariaDb;
    const QString sql =
        maria ? QStringLiteral("SET SESSION max_statement_time = %1").arg(timeoutSeconds)
              : QStringLiteral("SET SESSION max_execution_time = %1")
                    .arg(qint64(timeoutSeconds) * 1000);
    OdbcHandle stmt = newStatement(errors);
    if (!stmt) return false;
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt.get(), wide(sql), SQL_NTS))) {
        // A server without the setting still runs statements, without a limit; a lost
        // session is reported as it is.
        ErrorList failure = odbcErrors({&stmt, &m_dbc});
        if (std::any_of(failure.begin(), failure.end(),
                        [&](const Error& e) { return m_dialect.endsSession(e); })) {
            errors = std::move(failure);
            return false;
        }
    }
    m_sessionTimeout = timeoutSeconds;
    return true;
}

void OdbcBackend::setRunning(SQLHSTMT stmt) {
    const std::lock_guard lock(m_runningLock);
    m_running = stmt;
}

void OdbcBackend::interruptRunning() {
    // SQLCancel is the one call ODBC allows on a statement another thread is running; the
    // lock keeps the handle from being freed meanwhile.
    const std::lock_guard lock(m_runningLock);
    if (m_running != SQL_NULL_HANDLE) SQLCancel(m_running);
}

std::unique_ptr<PreparedStatement>
OdbcBackend::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                     ErrorList& errors) {
    OdbcHandle stmt = newStatement(errors);
    if (!stmt) return nullptr;
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt.get(), wide(sql), SQL_NTS))) {
        errors = odbcErrors({&stmt, &m_dbc});
        return nullptr;
    }
    std::vector<ColumnInfo> params;
    for (const ColumnInfo* c : paramColumns)
        params.push_back(*c);
    // psqlODBC and SQLite's driver pass a text on only up to its first NUL.
    const bool refusesNul = isPostgres() || m_engine == Engine::Sqlite;
    return std::make_unique<OdbcStatement>(std::move(stmt), std::move(params), sessionForm(),
                                           refusesNul);
}

std::unique_ptr<PreparedStatement>
OdbcBackend::prepareInsert(const QString& tableSql, const QStringList& columnSql,
                           const std::vector<const ColumnInfo*>& params, ErrorList& errors) {
    std::unique_ptr<PreparedStatement> single =
        prepare(insertSql(tableSql, columnSql), params, errors);
    if (!single || columnSql.isEmpty() || !m_dialect.rowsInBatches) return single;
    if (isMariaDb()) return valuesInsert(std::move(single), tableSql, columnSql, params);
    // PostgreSQL: psqlODBC's arrays of parameters.
    // Bytes are written from their hex text, which only the single insert does.
    for (const ColumnInfo* c : params)
        if (c->storage == Storage::Blob) return single;
    // Without the column types the rows go one by one, as before: no failure of the call.
    ErrorList ignored;
    ResultData types;
    if (!query(OdbcRowsInsert::typeQuery(tableSql, columnSql), 0, types, ignored) ||
        types.rows != 1 || types.data.size() != size_t(columnSql.size()))
        return single;
    QStringList typeSql;
    for (const ColumnData& d : types.data) {
        if (d.isNull(0) || d.text(0).isEmpty()) return single;
        typeSql << d.text(0);
    }
    OdbcHandle rows = newStatement(ignored);
    if (!rows ||
        !SQL_SUCCEEDED(SQLPrepareW(
            rows.get(), wide(OdbcRowsInsert::rowsSql(tableSql, columnSql, typeSql)), SQL_NTS)))
        return single;
    return std::make_unique<OdbcRowsInsert>(std::move(single), std::move(rows),
                                            size_t(columnSql.size()));
}

std::unique_ptr<PreparedStatement>
OdbcBackend::valuesInsert(std::unique_ptr<PreparedStatement> single, const QString& tableSql,
                          const QStringList& columnSql,
                          const std::vector<const ColumnInfo*>& params) {
    // Rows go one by one unless the table's engine is known to take back a failed statement
    // whole: one that keeps the rows before a refused one would store them twice.
    if (!mariaTableIsTransactional(*this, tableSql)) return single;
    std::vector<ColumnInfo> columns;
    for (const ColumnInfo* c : params)
        columns.push_back(*c);
    return std::make_unique<OdbcValuesInsert>(
        std::move(single), m_dbc.get(),
        QStringLiteral("INSERT INTO %1 (%2) VALUES ")
            .arg(tableSql, columnSql.join(QStringLiteral(", "))),
        std::move(columns), m_utf8Text);
}

bool OdbcBackend::catalogRows(OdbcHandle& stmt, size_t columns, ResultData& r, ErrorList& errors) {
    return describeOdbcResult(stmt, r, errors) && r.columns.size() >= columns &&
           fetchOdbcRows(stmt, r, false, errors, sessionForm());
}

bool OdbcBackend::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    OdbcHandle stmt = newStatement(errors);
    if (!stmt) return false;
    static const QString all = QStringLiteral("%");
    // psqlODBC lists the current schema only unless asked for every schema.
    const bool everySchema = isPostgres();
    // MariaDB's driver lists every database's tables unless asked for the current one, whose
    // tables alone open without their database's name.
    const QString catalog = isMariaDb() ? defaultDatabase() : QString();
    if (!SQL_SUCCEEDED(SQLTablesW(stmt.get(), catalog.isEmpty() ? nullptr : wide(catalog),
                                  catalog.isEmpty() ? 0 : SQL_NTS,
                                  everySchema ? wide(all) : nullptr, everySchema ? SQL_NTS : 0,
                                  wide(all), SQL_NTS, nullptr, 0))) {
        errors = odbcErrors({&stmt});
        return false;
    }
    ResultData r;
    if (!catalogRows(stmt, 4, r, errors)) return false;
    for (size_t i = 0; i < r.rows; ++i)
        out.push_back({r.data[2].text(i), r.data[3].text(i), r.data[1].text(i)});
    return true;
}

bool OdbcBackend::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    // Unquoted names are folded by some databases: try the name as written, then folded.
    for (const QString& name : {table, table.toLower(), table.toUpper()}) {
        OdbcHandle stmt = newStatement(errors);
        if (!stmt) return false;
        if (!SQL_SUCCEEDED(
                SQLPrimaryKeysW(stmt.get(), nullptr, 0, nullptr, 0, wide(name), SQL_NTS))) {
            errors = odbcErrors({&stmt});
            return false;
        }
        ResultData r;
        if (!catalogRows(stmt, 5, r, errors)) return false;
        std::vector<std::pair<qint64, QString>> keys;
        for (size_t i = 0; i < r.rows; ++i)
            keys.push_back({r.data[4].text(i).toLongLong(), r.data[3].text(i)});
        std::sort(keys.begin(), keys.end());
        for (const auto& k : keys)
            columns << k.second;
        if (!columns.isEmpty()) return true;
    }
    return true;
}

bool OdbcBackend::columns(const TableEntry& table, QStringList& names, ErrorList& errors) {
    OdbcHandle stmt = newStatement(errors);
    if (!stmt) return false;
    const QString catalog = isMariaDb() ? defaultDatabase() : QString();
    const bool schema = !table.Schema.isEmpty();
    if (!SQL_SUCCEEDED(SQLColumnsW(stmt.get(), catalog.isEmpty() ? nullptr : wide(catalog),
                                   catalog.isEmpty() ? 0 : SQL_NTS,
                                   schema ? wide(table.Schema) : nullptr, schema ? SQL_NTS : 0,
                                   wide(table.Name), SQL_NTS, nullptr, 0))) {
        errors = odbcErrors({&stmt});
        return false;
    }
    ResultData r;
    if (!catalogRows(stmt, 4, r, errors)) return false;
    // The name is a pattern to the driver: "_" matches any character.
    for (size_t i = 0; i < r.rows; ++i)
        if (r.data[2].text(i) == table.Name && (!schema || r.data[1].text(i) == table.Schema))
            names << r.data[3].text(i);
    return true;
}

bool OdbcBackend::beginTransaction(ErrorList& errors) {
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                         SQLPOINTER(SQL_AUTOCOMMIT_OFF), 0))) {
        errors = odbcErrors({&m_dbc});
        return false;
    }
    return true;
}

bool OdbcBackend::endTransaction(SQLSMALLINT completion, ErrorList& errors) {
    const bool ok = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_dbc.get(), completion));
    if (!ok) errors = odbcErrors({&m_dbc});
    SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_AUTOCOMMIT, SQLPOINTER(SQL_AUTOCOMMIT_ON), 0);
    return ok;
}

bool OdbcBackend::commit(ErrorList& errors) {
    return endTransaction(SQL_COMMIT, errors);
}
bool OdbcBackend::rollback(ErrorList& errors) {
    return endTransaction(SQL_ROLLBACK, errors);
}

QString OdbcBackend::defaultDatabase() {
    SQLWCHAR buf[512];
    SQLINTEGER len = 0;
    if (!SQL_SUCCEEDED(
            SQLGetConnectAttrW(m_dbc.get(), SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len)))
        return QString();
    return fromWide(buf, std::min<qsizetype>(len / qsizetype(sizeof(SQLWCHAR)), 511));
}

} // namespace db
