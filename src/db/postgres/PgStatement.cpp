#include "PgStatement.h"

#include "PgBackend.h"
#include "PgCursor.h"
#include "db/AdoType.h"
#include "db/SqlScanner.h"
#include "db/TextCells.h"

#include <libpq-fe.h>
#include <memory>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.PostgreSQL");

// An amount goes to the server in the form its locale reads: "1.5" is 15 where the point is a
// comma and the dot groups.
QByteArray moneyText(QByteArray text, char point) {
    if (point != '.') text.replace('.', point);
    return text;
}

QByteArray utf8Of(const Value& v) {
    if (v.hasUtf8()) return QByteArray(v.utf8().data(), qsizetype(v.utf8().size()));
    return v.text().toUtf8();
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

void appendCopyField(QByteArray& out, std::string_view text) {
    appendBulkField(out, text, false);
}
void appendCopyField(QByteArray& out, const QByteArray& text) {
    appendCopyField(out, std::string_view(text.constData(), size_t(text.size())));
}

// Reads past the results left after one, so that the session takes the next command.
void drain(PGconn* conn) {
    while (PGresult* r = PQgetResult(conn))
        PQclear(r);
}
} // namespace

QString pgNumberedParameters(const QString& sql) {
    QString out;
    qsizetype from = 0;
    int number = 0;
    scan::Scanner scanner(sql, scan::postgres());
    for (scan::Token t = scanner.next(); t.kind != scan::Token::End; t = scanner.next()) {
        if (t.kind != scan::Token::Other || t.pos >= sql.size() || sql[t.pos] != u'?') continue;
        out += QStringView(sql).mid(from, t.pos - from);
        out += QStringLiteral("$%1").arg(++number);
        from = t.pos + 1;
    }
    out += QStringView(sql).mid(from);
    return out;
}

bool PgParams::set(const std::vector<Value>& given, const std::vector<ColumnInfo>& columns,
                   const PgBackend& backend, ErrorList& errors) {
    const size_t n = given.size();
    m_bytes.assign(n, QByteArray());
    m_values.assign(n, nullptr);
    m_lengths.assign(n, 0);
    m_formats.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const Value& v = given[i];
        if (v.isNull()) continue;
        const ColumnInfo* c = i < columns.size() ? &columns[i] : nullptr;
        if (c && c->storage == Storage::Blob) {
            // Bytes go in as the bytes their hex text names.
            m_bytes[i] = QByteArray::fromHex(v.text().toLatin1());
            m_formats[i] = 1;
        } else {
            // The server stores no U+0000 in a text: refused rather than cut short.
            if (v.holdsNul()) {
                errors = {errors::nulNotStored(kSource)};
                return false;
            }
            m_bytes[i] = c && c->type == adCurrency
                             ? moneyText(utf8Of(v), backend.moneyForm().point)
                             : utf8Of(v);
        }
        m_values[i] = m_bytes[i].constData();
        m_lengths[i] = int(m_bytes[i].size());
    }
    return true;
}

PgStatement::~PgStatement() {
    if (!m_backend->connection()) return;
    ErrorList ignored;
    m_backend->command(QStringLiteral("DEALLOCATE \"%1\"").arg(QString::fromLatin1(m_name)),
                       ignored);
}

PGresult* PgStatement::run(const std::vector<Value>& params, ErrorList& errors) {
    m_backend->settle();
    if (m_backend->interrupted()) {
        m_backend->failed(errors);
        return nullptr;
    }
    if (!m_values.set(params, m_params, *m_backend, errors)) return nullptr;
    PGresult* r = PQexecPrepared(m_backend->connection(), m_name.constData(), m_values.count(),
                                 m_values.values(), m_values.lengths(), m_values.formats(), 0);
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return r;
    errors = m_backend->errorsOf(r);
    PQclear(r);
    m_backend->failed(errors);
    return nullptr;
}

bool PgStatement::execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) {
    affected = 0;
    const Result r(run(params, errors), &PQclear);
    if (!r) return false;
    affected = QByteArray(PQcmdTuples(r.get())).toLongLong();
    return true;
}

bool PgStatement::select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) {
    out.clear();
    const Result r(run(params, errors), &PQclear);
    if (!r) return false;
    describePgResult(r.get(), out);
    appendPgRows(r.get(), 0, PQntuples(r.get()), pgCellsOf(out), out, m_backend->moneyForm());
    return true;
}

bool PgCopyInsert::copyText(const std::vector<std::vector<Value>>& rows,
                            const std::vector<ColumnInfo>& columns, char moneyPoint,
                            QByteArray& out, ErrorList& errors) {
    out.clear();
    out.reserve(qsizetype(rows.size()) * 128);
    for (const std::vector<Value>& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) out += '\t';
            const Value& v = row[i];
            if (v.isNull()) {
                out += "\\N";
                continue;
            }
            const ColumnInfo* c = i < columns.size() ? &columns[i] : nullptr;
            if (c && c->storage == Storage::Blob) {
                // bytea's own hex input, its backslash escaped for COPY.
                out += "\\\\x";
                out += QByteArray::fromHex(v.text().toLatin1()).toHex();
                continue;
            }
            if (v.holdsNul()) {
                errors = {errors::nulNotStored(kSource)};
                return false;
            }
            if (c && c->type == adCurrency) {
                appendCopyField(out, moneyText(utf8Of(v), moneyPoint));
            } else if (v.hasUtf8()) {
                appendCopyField(out, v.utf8());
            } else {
                appendCopyField(out, v.text().toUtf8());
            }
        }
        out += '\n';
    }
    return true;
}

bool PgCopyInsert::executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) {
    m_backend->settle();
    if (m_backend->interrupted()) return m_backend->failed(errors);
    QByteArray text;
    if (!copyText(rows, m_params, m_backend->moneyForm().point, text, errors)) return false;
    PGconn* conn = m_backend->connection();
    Result start(PQexec(conn, m_copySql.constData()), &PQclear);
    if (!start || PQresultStatus(start.get()) != PGRES_COPY_IN) {
        errors = m_backend->errorsOf(start.get());
        drain(conn);
        return m_backend->failed(errors);
    }
    start.reset();
    const bool sent = PQputCopyData(conn, text.constData(), int(text.size())) == 1 &&
                      PQputCopyEnd(conn, nullptr) == 1;
    if (!sent) PQputCopyEnd(conn, "the rows could not be sent");
    Result end(PQgetResult(conn), &PQclear);
    const bool ok = sent && end && PQresultStatus(end.get()) == PGRES_COMMAND_OK;
    if (!ok) errors = m_backend->errorsOf(end.get());
    end.reset();
    drain(conn);
    return ok || m_backend->failed(errors);
}

} // namespace db
