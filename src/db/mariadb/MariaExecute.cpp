// Running a text of statements: its rows stream from the server through a cursor.
#include "MariaBackend.h"
#include "MariaCursor.h"
#include "MariaStatement.h"
#include "db/StatementText.h"

#include <mysql.h>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.MariaDB");
} // namespace

bool MariaBackend::execute(const QString& sql, int timeoutSeconds, ResultData& out,
                           std::unique_ptr<RowCursor>& cursor, ErrorList& errors) {
    out.clear();
    cursor.reset();
    // A read while another streams, both outside a transaction (an export's count): on a
    // second session, so that the stream is not read into memory first.
    const bool single = isSingleStatement(sql), reads = readsOnly(sql);
    if (reads && single)
        if (MariaBackend* side = sideSession())
            return side->query(sql, timeoutSeconds, out, errors);
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    if (interrupted()) return failed(errors);
    if (!applyTimeout(timeoutSeconds, errors)) return false;
    const bool isolated = !inTransaction() && reads;
    std::unique_ptr<MariaCursor> c;
    const QByteArray text = sql.toUtf8();
    if (!(single ? startOne(text, out, c, errors) : start(text, out, c, errors))) {
        out.columns.clear();
        out.data.clear();
        return failed(errors);
    }
    if (!c) return true;
    m_streamIsolated = isolated && c->streaming();
    cursor = std::move(c);
    return true;
}

bool MariaBackend::startOne(const QByteArray& sql, ResultData& out,
                            std::unique_ptr<MariaCursor>& cursor, ErrorList& errors) {
    bool ok = true;
    if (startBinary(sql, out, cursor, ok, errors)) return ok;
    return start(sql, out, cursor, errors);
}

bool MariaBackend::startBinary(const QByteArray& sql, ResultData& out,
                               std::unique_ptr<MariaCursor>& cursor, bool& ok, ErrorList& errors) {
    ok = true;
    // Preparing runs nothing: a text the server cannot prepare, or one with marks of its own,
    // runs as text.
    MYSQL_STMT* stmt = mysql_stmt_init(m_conn);
    if (!stmt) return false;
    bool binary = false;
    if (mysql_stmt_prepare(stmt, sql.constData(), (unsigned long)sql.size()) == 0 &&
        mysql_stmt_param_count(stmt) == 0) {
        if (MYSQL_RES* meta = mysql_stmt_result_metadata(stmt)) {
            const MYSQL_FIELD* fields = mysql_fetch_fields(meta);
            for (unsigned int i = 0; i < mysql_num_fields(meta); ++i)
                binary = binary || fields[i].type == MYSQL_TYPE_FLOAT;
            if (binary) describeMariaResult(meta, out);
            mysql_free_result(meta);
        }
    }
    if (!binary) {
        mysql_stmt_close(stmt);
        return false;
    }
    m_killSent = false;
    if (mysql_stmt_execute(stmt) != 0) {
        errors = statementErrors(stmt);
        mysql_stmt_close(stmt);
        out.columns.clear();
        out.data.clear();
        ok = false;
        return true;
    }
    cursor = std::make_unique<MariaCursor>(this, stmt, out);
    return true;
}

std::unique_ptr<PreparedStatement>
MariaBackend::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                      ErrorList& errors) {
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return nullptr;
    }
    std::vector<ColumnInfo> params;
    for (const ColumnInfo* c : paramColumns)
        params.push_back(*c);
    return std::make_unique<MariaStatement>(this, sql, std::move(params));
}

std::unique_ptr<PreparedStatement>
MariaBackend::prepareInsert(const QString& tableSql, const QStringList& columnSql,
                            const std::vector<const ColumnInfo*>& params, ErrorList& errors) {
    std::unique_ptr<PreparedStatement> single =
        prepare(insertSql(tableSql, columnSql), params, errors);
    if (!single || columnSql.isEmpty()) return single;
    // Rows go one by one unless the table's engine is known to take back a failed statement
    // whole: one that keeps the rows before a refused one would store them twice.
    if (!mariaTableIsTransactional(*this, tableSql)) return single;
    std::vector<ColumnInfo> columns;
    for (const ColumnInfo* c : params)
        columns.push_back(*c);
    return std::make_unique<MariaLoadInsert>(
        std::unique_ptr<MariaStatement>(static_cast<MariaStatement*>(single.release())), this,
        tableSql, columnSql, std::move(columns));
}

} // namespace db
