// Running a text of statements: its rows stream from the server through a cursor.
#include "PgBackend.h"
#include "PgCursor.h"
#include "PgStatement.h"
#include "db/StatementText.h"

#include <QSet>
#include <libpq-fe.h>
#include <map>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.PostgreSQL");

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The tables and column names of a result's plain columns, by the server's numbers of them:
// what an edit of the rows writes to.
void nameBaseColumns(PGconn* conn, const PGresult* described, ResultData& out) {
    QStringList tables;
    for (int i = 0; i < PQnfields(described); ++i)
        if (const Oid table = PQftable(described, i); table != InvalidOid)
            tables << QString::number(table);
    if (tables.isEmpty()) return;
    tables.removeDuplicates();
    // Numbers only go into the text.
    const QByteArray sql = QStringLiteral("select a.attrelid, a.attnum, a.attname, c.relname "
                                          "from pg_catalog.pg_attribute a "
                                          "join pg_catalog.pg_class c on c.oid = a.attrelid "
                                          "where a.attnum > 0 and a.attrelid in (%1)")
                               .arg(tables.join(QLatin1Char(',')))
                               .toUtf8();
    const Result r(PQexec(conn, sql.constData()), &PQclear);
    if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK) return;
    std::map<std::pair<qint64, int>, std::pair<QString, QString>> names;
    for (int row = 0; row < PQntuples(r.get()); ++row)
        names[{QByteArray(PQgetvalue(r.get(), row, 0)).toLongLong(),
               QByteArray(PQgetvalue(r.get(), row, 1)).toInt()}] = {
            QString::fromUtf8(PQgetvalue(r.get(), row, 3)),
            QString::fromUtf8(PQgetvalue(r.get(), row, 2))};
    for (int i = 0; i < PQnfields(described) && size_t(i) < out.columns.size(); ++i) {
        const auto it = names.find({qint64(PQftable(described, i)), PQftablecol(described, i)});
        if (it == names.end()) continue;
        out.columns[size_t(i)].baseTable = it->second.first;
        out.columns[size_t(i)].baseColumn = it->second.second;
    }
}
} // namespace

bool PgBackend::execute(const QString& sql, int timeoutSeconds, ResultData& out,
                        std::unique_ptr<RowCursor>& cursor, ErrorList& errors) {
    out.clear();
    cursor.reset();
    // A read while another streams, both outside a transaction (an export's count): on a
    // second session, so that the stream is not read into memory first.
    if (readsOnly(sql) && isSingleStatement(sql))
        if (PgBackend* side = sideSession()) return side->query(sql, timeoutSeconds, out, errors);
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    if (interrupted()) return failed(errors);
    if (!applyTimeout(timeoutSeconds, errors)) return false;
    const QByteArray text = sql.toUtf8();
    const bool isolated = PQtransactionStatus(m_conn) == PQTRANS_IDLE && readsOnly(sql);
    bool described = false;
    if (isSingleStatement(sql)) {
        // One statement is prepared first: the server then tells where its columns come
        // from, and it runs as written, once, when executed.
        Result prepared(PQprepare(m_conn, "", text.constData(), 0, nullptr), &PQclear);
        if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
            errors = errorsOf(prepared.get());
            return failed(errors);
        }
        const Result description(PQdescribePrepared(m_conn, ""), &PQclear);
        if (description && PQresultStatus(description.get()) == PGRES_COMMAND_OK &&
            PQnfields(description.get()) > 0) {
            describePgResult(description.get(), out);
            described = true;
            if (std::any_of(out.columns.begin(), out.columns.end(),
                            [](const ColumnInfo& c) { return !c.fromExpression; })) {
                // Reading the names replaced the unnamed statement: prepared once more.
                nameBaseColumns(m_conn, description.get(), out);
                prepared.reset(PQprepare(m_conn, "", text.constData(), 0, nullptr));
                if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
                    errors = errorsOf(prepared.get());
                    return failed(errors);
                }
            }
        }
        if (!PQsendQueryPrepared(m_conn, "", 0, nullptr, nullptr, nullptr, 0)) {
            errors = errorsOf(nullptr);
            return failed(errors);
        }
    } else if (!PQsendQuery(m_conn, text.constData())) {
        errors = errorsOf(nullptr);
        return failed(errors);
    }
    PQsetSingleRowMode(m_conn);

    auto c = std::make_unique<PgCursor>(this);
    // Up to the first result with rows; statements before it only change rows.
    while (!c->hasShape()) {
        PGresult* r = PQgetResult(m_conn);
        if (!r) {
            c->readRest();
            break;
        }
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
            if (!described) {
                out.clear();
                describePgResult(r, out);
            }
            c->setShape(out);
        } else if (status == PGRES_COMMAND_OK) {
            const char* count = PQcmdTuples(r);
            if (count && *count) out.addAffected(QByteArray(count).toLongLong());
        }
        c->take(r);
    }
    if (!c->hasShape()) {
        const ErrorList failure = c->errors();
        out.columns.clear();
        out.data.clear();
        if (!failure.empty()) {
            errors = failure;
            return failed(errors);
        }
        return true;
    }
    m_streamIsolated = isolated && c->streaming();
    cursor = std::move(c);
    return true;
}

std::unique_ptr<PreparedStatement>
PgBackend::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                   ErrorList& errors) {
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return nullptr;
    }
    const QByteArray name = QByteArray("tolvan_") + QByteArray::number(++m_statements);
    const QByteArray text = pgNumberedParameters(sql).toUtf8();
    const Result r(PQprepare(m_conn, name.constData(), text.constData(), 0, nullptr), &PQclear);
    if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
        errors = errorsOf(r.get());
        return nullptr;
    }
    std::vector<ColumnInfo> params;
    for (const ColumnInfo* c : paramColumns)
        params.push_back(*c);
    return std::make_unique<PgStatement>(this, name, std::move(params));
}

std::unique_ptr<PreparedStatement>
PgBackend::prepareInsert(const QString& tableSql, const QStringList& columnSql,
                         const std::vector<const ColumnInfo*>& params, ErrorList& errors) {
    std::unique_ptr<PreparedStatement> single =
        prepare(insertSql(tableSql, columnSql), params, errors);
    if (!single || columnSql.isEmpty()) return single;
    std::vector<ColumnInfo> columns;
    for (const ColumnInfo* c : params)
        columns.push_back(*c);
    return std::make_unique<PgCopyInsert>(std::move(single), this,
                                          QStringLiteral("COPY %1 (%2) FROM STDIN")
                                              .arg(tableSql, columnSql.join(QStringLiteral(", ")))
                                              .toUtf8(),
                                          std::move(columns));
}

} // namespace db
