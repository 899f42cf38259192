#include "OdbcRowsInsert.h"

#include "OdbcDiag.h"
#include "db/ValueText.h"

#include <string_view>

namespace db {

namespace {
// Appends bytes to out with a backslash before each quote and backslash, in runs.
void appendEscaped(std::string& out, std::string_view s) {
    size_t run = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '"' && s[i] != '\\') continue;
        out.append(s.data() + run, i - run);
        out += '\\';
        run = i;
    }
    out.append(s.data() + run, s.size() - run);
}

// One element of an array literal, quoted, as the UTF-8 bytes the value stands for (bytes
// kept from a file that are not UTF-8 stay what they are: the server refuses them itself).
void appendElement(std::string& out, const Value& v, std::string& scratch) {
    if (v.isNull()) {
        out += "NULL";
        return;
    }
    out += '"';
    if (v.hasUtf8()) {
        appendEscaped(out, v.utf8());
    } else {
        const QString text = v.text();
        scratch.clear();
        appendUtf16AsUtf8(scratch, reinterpret_cast<const char16_t*>(text.utf16()),
                          size_t(text.size()));
        appendEscaped(out, scratch);
    }
    out += '"';
}
} // namespace

OdbcRowsInsert::OdbcRowsInsert(std::unique_ptr<PreparedStatement> single, OdbcHandle rows,
                               size_t columns)
    : m_single(std::move(single)), m_rows(std::move(rows)), m_arrays(columns), m_lengths(columns) {}

QString OdbcRowsInsert::rowsSql(const QString& tableSql, const QStringList& columnSql,
                                const QStringList& typeSql) {
    // In the select list the arrays are unnested side by side into rows as they are read; in
    // FROM each would first be gathered into a store of its own.
    QStringList arrays;
    for (const QString& type : typeSql)
        arrays << QStringLiteral("pg_catalog.unnest(?::%1[])").arg(type);
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3")
        .arg(tableSql, columnSql.join(QStringLiteral(", ")), arrays.join(QStringLiteral(", ")));
}

QString OdbcRowsInsert::typeQuery(const QString& tableSql, const QStringList& columnSql) {
    QStringList types, columns;
    for (qsizetype i = 0; i < columnSql.size(); ++i) {
        types
            << QStringLiteral(
                   "(SELECT CASE WHEN t.typcategory = 'A' THEN '' ELSE "
                   "pg_catalog.quote_ident(n.nspname) || '.' || pg_catalog.quote_ident(t.typname) "
                   "END FROM pg_catalog.pg_type t JOIN pg_catalog.pg_namespace n ON n.oid = "
                   "t.typnamespace WHERE t.oid = pg_catalog.pg_typeof(x.c%1))")
                   .arg(i);
        columns << QStringLiteral("%1 AS c%2").arg(columnSql[i]).arg(i);
    }
    // The outer join gives one row of typed Nulls however many rows the table holds.
    return QStringLiteral("SELECT %1 FROM (VALUES (1)) AS v (one) LEFT JOIN (SELECT %2 FROM %3 "
                          "LIMIT 0) AS x ON true")
        .arg(types.join(QStringLiteral(", ")), columns.join(QStringLiteral(", ")), tableSql);
}

bool OdbcRowsInsert::executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) {
    SQLHSTMT h = m_rows.get();
    // PostgreSQL's text holds no NUL: the rows go one by one, and the one holding it is
    // refused alone.
    for (const std::vector<Value>& row : rows)
        for (const Value& v : row)
            if (v.holdsNul()) {
                errors = {errors::nulNotStored(QStringLiteral("Tolvan.ODBC"))};
                return false;
            }
    for (size_t c = 0; c < m_arrays.size(); ++c) {
        // Built where it is sent from, and kept for the next batch with its memory.
        std::string& a = m_arrays[c];
        a.clear();
        a += '{';
        for (size_t r = 0; r < rows.size(); ++r) {
            if (r) a += ',';
            appendElement(a, rows[r][c], m_scratch);
        }
        a += '}';
        // As bytes: psqlODBC passes them on as they are, where wide text would be converted
        // twice on the way and kept bytes would turn into other characters.
        m_lengths[c] = SQLLEN(a.size());
        if (!SQL_SUCCEEDED(SQLBindParameter(h, SQLUSMALLINT(c + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                            SQL_LONGVARCHAR, a.size(), 0, a.data(), m_lengths[c],
                                            &m_lengths[c]))) {
            errors = odbcErrors({&m_rows});
            return false;
        }
    }
    const SQLRETURN rc = SQLExecute(h);
    const bool ok = rc == SQL_NO_DATA || SQL_SUCCEEDED(rc);
    if (!ok)
        errors = odbcErrors({&m_rows});
    else
        while (SQL_SUCCEEDED(SQLMoreResults(h))) {
        }
    SQLFreeStmt(h, SQL_CLOSE);
    return ok;
}

} // namespace db
