// Opening a session with libpq, what it tells of itself, its catalog and transactions.
#include "PgBackend.h"

#include "PgCursor.h"

#include <libpq-fe.h>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.PostgreSQL");
// An unreachable server fails after this long instead of hanging the program.
constexpr const char* kConnectTimeout = "15";

QString message(const char* text) {
    return QString::fromUtf8(text ? text : "").trimmed();
}
} // namespace

PgBackend::~PgBackend() {
    PgBackend::close();
}

bool PgBackend::open(const LoginParams& login, ErrorList& errors) {
    (void)login; // the login's own parts are in the parameters already
    std::vector<const char*> keywords{"connect_timeout"}, values{kConnectTimeout};
    for (const auto& [key, value] : m_params.params) {
        keywords.push_back(key.constData());
        values.push_back(value.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    m_conn = PQconnectdbParams(keywords.data(), values.data(), 0);
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        errors = {{ErrorNumber::Fail, message(m_conn ? PQerrorMessage(m_conn) : nullptr),
                   kSource + QStringLiteral(" (08001)"), QStringLiteral("08001")}};
        close();
        return false;
    }
    {
        const std::lock_guard lock(m_cancelLock);
        m_cancel = PQgetCancel(m_conn);
    }
    // Dates in the form the layer reads (the data source's own settings come after, and win);
    // bytes in hex.
    if (!command(QStringLiteral("SET DateStyle = 'ISO, YMD'; SET bytea_output = 'hex'"), errors) ||
        (!m_params.connSettings.trimmed().isEmpty() && !command(m_params.connSettings, errors))) {
        close();
        return false;
    }
    describeSession();
    return true;
}

void PgBackend::close() {
    if (m_streaming) m_streaming->detach();
    m_streaming = nullptr;
    {
        const std::lock_guard lock(m_cancelLock);
        if (m_cancel) PQfreeCancel(m_cancel);
        m_cancel = nullptr;
    }
    if (m_conn) PQfinish(m_conn);
    m_conn = nullptr;
    m_timeout = 0;
}

void PgBackend::describeSession() {
    DatabaseDialect& d = m_dialect;
    d = {};
    d.dbmsName = QStringLiteral("PostgreSQL");
    d.family = SqlFamily::Postgres;
    d.identifierQuote = QStringLiteral("\"");
    d.identifierCase = IdentifierCase::Lower;
    d.readOnly = m_params.readOnly;
    d.searchPathQuery = QStringLiteral("select unnest(current_schemas(false))");
    d.severalStatements = true;
    // Rows of an import go in with COPY, a batch at a time.
    d.rowsInBatches = true;
    // A failed statement aborts the whole transaction.
    d.keepsTransactionOnError = false;
    // The server's own shutdown ends the session (57P01 to 57P03).
    d.lostSessionStates << QStringLiteral("57P0");
    ResultData r;
    ErrorList ignored;
    if (rows(QStringLiteral("select upper(word) from pg_get_keywords() where catcode <> 'U'"), {},
             r, ignored))
        for (size_t i = 0; i < r.rows; ++i)
            d.keywords << r.data[0].text(i);
    // Money is written by the server's locale: its point and scale, from the text of 1.
    r = {};
    if (rows(QStringLiteral("select 1::money::text"), {}, r, ignored) && r.rows == 1 &&
        !r.data[0].isNull(0)) {
        m_money = moneyFormOfOne(r.data[0].text(0));
    }
}

ErrorList PgBackend::errorsOf(const PGresult* result) const {
    QString state = result ? message(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    QString text = result ? message(PQresultErrorMessage(result)) : QString();
    if (text.isEmpty()) text = message(m_conn ? PQerrorMessage(m_conn) : nullptr);
    // A session that went away has no state of its own: class 08, as every database's.
    if (state.isEmpty() && (!m_conn || PQstatus(m_conn) == CONNECTION_BAD))
        state = QStringLiteral("08006");
    if (text.isEmpty()) text = QStringLiteral("The server reported a failure without a message.");
    return {{ErrorNumber::Fail, text,
             state.isEmpty() ? kSource : QStringLiteral("%1 (%2)").arg(kSource, state), state}};
}

bool PgBackend::failed(ErrorList& errors) const {
    if (interrupted()) errors = {errors::cancelled(kSource)};
    return false;
}

void PgBackend::settle() {
    if (m_streaming) m_streaming->readRest();
}

void PgBackend::streamEnded(PgCursor* cursor) {
    if (m_streaming != cursor) return;
    m_streaming = nullptr;
    m_streamIsolated = false;
    m_side.reset();
}

PgBackend* PgBackend::sideSession() {
    if (!m_streaming || !m_streamIsolated) return nullptr;
    if (!m_side) {
        auto side = std::make_unique<PgBackend>(m_params);
        ErrorList ignored;
        if (!side->open({}, ignored)) {
            // No second session: the stream is read into memory instead.
            m_streamIsolated = false;
            return nullptr;
        }
        m_side = std::move(side);
    }
    return m_side.get();
}

bool PgBackend::command(const QString& sql, ErrorList& errors) {
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    bool ok = PQsendQuery(m_conn, sql.toUtf8().constData()) == 1;
    if (!ok) errors = errorsOf(nullptr);
    while (PGresult* r = PQgetResult(m_conn)) {
        const ExecStatusType status = PQresultStatus(r);
        if (ok && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK &&
            status != PGRES_EMPTY_QUERY) {
            errors = errorsOf(r);
            ok = false;
        }
        PQclear(r);
    }
    return ok;
}

bool PgBackend::rows(const QString& sql, const std::vector<QByteArray>& params, ResultData& out,
                     ErrorList& errors) {
    settle();
    out.clear();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    std::vector<const char*> values;
    for (const QByteArray& p : params)
        values.push_back(p.constData());
    PGresult* r = PQexecParams(m_conn, sql.toUtf8().constData(), int(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0);
    const bool ok = r && PQresultStatus(r) == PGRES_TUPLES_OK;
    if (ok) {
        describePgResult(r, out);
        appendPgRows(r, 0, PQntuples(r), pgCellsOf(out), out, m_money);
    } else {
        errors = errorsOf(r);
    }
    PQclear(r);
    return ok;
}

bool PgBackend::applyTimeout(int timeoutSeconds, ErrorList& errors) {
    if (timeoutSeconds == m_timeout) return true;
    ErrorList failure;
    if (!command(QStringLiteral("SET statement_timeout = %1").arg(qint64(timeoutSeconds) * 1000),
                 failure)) {
        // Inside a failed transaction nothing runs, the statement after it neither: a lost
        // session is told as it is.
        if (m_dialect.endsSession(failure)) {
            errors = std::move(failure);
            return false;
        }
        return true;
    }
    m_timeout = timeoutSeconds;
    return true;
}

void PgBackend::interruptRunning() {
    const std::lock_guard lock(m_cancelLock);
    char buffer[256];
    if (m_cancel) PQcancel(m_cancel, buffer, int(sizeof buffer));
}

bool PgBackend::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    ResultData r;
    // Every schema's tables, as the ODBC drivers list them; the temporary tables of other
    // sessions and the toast tables are no one's to open.
    if (!rows(QStringLiteral(
                  "select n.nspname, c.relname, case "
                  "when n.nspname in ('pg_catalog', 'information_schema') then 'SYSTEM TABLE' "
                  "when c.relkind in ('r', 'p') then 'TABLE' "
                  "when c.relkind in ('v', 'm') then 'VIEW' else 'FOREIGN TABLE' end "
                  "from pg_catalog.pg_class c "
                  "join pg_catalog.pg_namespace n on n.oid = c.relnamespace "
                  "where c.relkind in ('r', 'p', 'v', 'm', 'f') "
                  "and n.nspname not like 'pg\\_toast%' "
                  "and (n.nspname not like 'pg\\_temp\\_%' or n.oid = pg_my_temp_schema()) "
                  "order by 3, 1, 2"),
              {}, r, errors))
        return false;
    for (size_t i = 0; i < r.rows; ++i)
        out.push_back({r.data[1].text(i), r.data[2].text(i), r.data[0].text(i)});
    return true;
}

bool PgBackend::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    // The table the name finds on the search path, as written, then folded.
    for (const QString& name : {table, table.toLower(), table.toUpper()}) {
        ResultData r;
        if (!rows(QStringLiteral(
                      "select a.attname from pg_catalog.pg_index i "
                      "join pg_catalog.pg_class c on c.oid = i.indrelid "
                      "join pg_catalog.pg_attribute a on a.attrelid = i.indrelid "
                      "and a.attnum = any(i.indkey) "
                      "where i.indisprimary and c.relname = $1 and pg_table_is_visible(c.oid) "
                      "order by array_position(i.indkey::int2[], a.attnum)"),
                  {name.toUtf8()}, r, errors))
            return false;
        for (size_t i = 0; i < r.rows; ++i)
            columns << r.data[0].text(i);
        if (!columns.isEmpty()) return true;
    }
    return true;
}

bool PgBackend::columns(const TableEntry& table, QStringList& names, ErrorList& errors) {
    ResultData r;
    if (!rows(QStringLiteral(
                  "select a.attname from pg_catalog.pg_attribute a "
                  "join pg_catalog.pg_class c on c.oid = a.attrelid "
                  "join pg_catalog.pg_namespace n on n.oid = c.relnamespace "
                  "where c.relname = $1 and a.attnum > 0 and not a.attisdropped "
                  "and (n.nspname = $2::text or ($2::text = '' and pg_table_is_visible(c.oid))) "
                  "order by a.attnum"),
              {table.Name.toUtf8(), table.Schema.toUtf8()}, r, errors))
        return false;
    for (size_t i = 0; i < r.rows; ++i)
        names << r.data[0].text(i);
    return true;
}

bool PgBackend::beginTransaction(ErrorList& errors) {
    return command(QStringLiteral("BEGIN"), errors);
}

bool PgBackend::commit(ErrorList& errors) {
    return command(QStringLiteral("COMMIT"), errors);
}

bool PgBackend::rollback(ErrorList& errors) {
    return command(QStringLiteral("ROLLBACK"), errors);
}

bool PgBackend::connectionDead() {
    return !m_conn || PQstatus(m_conn) == CONNECTION_BAD;
}

QString PgBackend::defaultDatabase() {
    return m_conn ? QString::fromUtf8(PQdb(m_conn)) : QString();
}

} // namespace db
