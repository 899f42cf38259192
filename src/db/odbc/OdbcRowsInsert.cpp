#include "OdbcRowsInsert.h"

#include "../ValueText.h"
#include "OdbcDiag.h"

#include <algorithm>

namespace db {

namespace {
// Appends units to out, a backslash before each quote and backslash.
template <typename Unit> bool appendEscaped(std::u16string& out, const Unit* s, size_t n) {
    bool kept = false;
    size_t start = out.size();
    out.resize(start + n * 2);
    char16_t* o = out.data() + start;
    for (size_t i = 0; i < n; ++i) {
        const auto c = char16_t(s[i]);
        if (c == u'"' || c == u'\\') *o++ = u'\\';
        kept |= isKeptByte(c);
        *o++ = c;
    }
    out.resize(size_t(o - out.data()));
    return kept;
}

// One element of an array literal: quoted, with its quotes and backslashes escaped.
// Returns whether the value holds kept bytes.
bool appendElement(std::u16string& out, const Value& v) {
    if (v.isNull()) {
        out += u"NULL";
        return false;
    }
    out += u'"';
    bool kept = false;
    const std::string_view bytes = v.utf8();
    if (v.hasUtf8() && std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0; })) {
        kept =
            appendEscaped(out, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    } else {
        const QString text = v.text();
        kept = appendEscaped(out, reinterpret_cast<const char16_t*>(text.utf16()),
                             size_t(text.size()));
    }
    out += u'"';
    return kept;
}
} // namespace

OdbcRowsInsert::OdbcRowsInsert(std::unique_ptr<PreparedStatement> single, OdbcHandle rows,
                               size_t columns)
    : m_single(std::move(single)), m_rows(std::move(rows)), m_arrays(columns), m_bytes(columns),
      m_lengths(columns) {}

QString OdbcRowsInsert::rowsSql(const QString& tableSql, const QStringList& columnSql,
                                const QStringList& typeSql) {
    QStringList arrays;
    for (const QString& type : typeSql)
        arrays << QStringLiteral("pg_catalog.unnest(?::%1[])").arg(type);
    return QStringLiteral("INSERT INTO %1 (%2) SELECT * FROM ROWS FROM (%3)")
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
    for (size_t c = 0; c < m_arrays.size(); ++c) {
        std::u16string& a = m_arrays[c];
        a.clear();
        a += u'{';
        bool kept = false;
        for (size_t r = 0; r < rows.size(); ++r) {
            if (r) a += u',';
            kept |= appendElement(a, rows[r][c]);
        }
        a += u'}';
        SQLRETURN bound;
        if (kept) {
            // As wide text the driver would turn kept bytes into other characters; as bytes
            // the server refuses them by their own value.
            std::string& b = m_bytes[c];
            b.clear();
            appendUtf16AsUtf8(b, a.data(), a.size());
            m_lengths[c] = SQLLEN(b.size());
            bound = SQLBindParameter(h, SQLUSMALLINT(c + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                     SQL_LONGVARCHAR, b.size(), 0, b.data(), m_lengths[c],
                                     &m_lengths[c]);
        } else {
            m_lengths[c] = SQLLEN(a.size() * sizeof(SQLWCHAR));
            bound = SQLBindParameter(h, SQLUSMALLINT(c + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                     SQL_WLONGVARCHAR, a.size(), 0, a.data(), m_lengths[c],
                                     &m_lengths[c]);
        }
        if (!SQL_SUCCEEDED(bound)) {
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
