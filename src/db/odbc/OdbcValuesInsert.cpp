#include "OdbcValuesInsert.h"

#include "OdbcDiag.h"

#include <algorithm>

namespace db {

namespace {
// The server takes at most this many parameters in one statement.
constexpr size_t kMaxParameters = 65535;
} // namespace

OdbcValuesInsert::OdbcValuesInsert(std::unique_ptr<PreparedStatement> single, SQLHDBC dbc,
                                   QString insertSql, std::vector<ColumnInfo> columns,
                                   bool utf8Text)
    : m_single(std::move(single)), m_dbc(dbc), m_insertSql(std::move(insertSql)),
      m_columns(std::move(columns)), m_utf8Text(utf8Text) {}

size_t OdbcValuesInsert::rowsLimit() const {
    return std::max<size_t>(kMaxParameters / std::max<size_t>(m_columns.size(), 1), 1);
}

OdbcStatement* OdbcValuesInsert::statementFor(size_t rows, ErrorList& errors) {
    if (auto it = m_statements.find(rows); it != m_statements.end()) return it->second.get();
    // The full batch's statement stays; of the others only the newest.
    for (auto it = m_statements.begin(); it != m_statements.end();)
        it = it->first == rowsLimit() ? std::next(it) : m_statements.erase(it);
    QString sql = m_insertSql;
    QString row = QStringLiteral("(");
    for (size_t c = 0; c < m_columns.size(); ++c)
        row += c ? QStringLiteral(", ?") : QStringLiteral("?");
    row += QLatin1Char(')');
    sql.reserve(sql.size() + qsizetype(rows) * (row.size() + 2));
    for (size_t r = 0; r < rows; ++r) {
        if (r) sql += QStringLiteral(", ");
        sql += row;
    }
    OdbcHandle stmt(SQL_HANDLE_STMT, m_dbc);
    if (!stmt) {
        errors = {{ErrorNumber::Fail, QStringLiteral("The driver gave no statement handle."),
                   QStringLiteral("Tolvan.ODBC")}};
        return nullptr;
    }
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt.get(), wide(sql), SQL_NTS))) {
        errors = odbcErrors({&stmt});
        return nullptr;
    }
    auto made = std::make_unique<OdbcStatement>(std::move(stmt), m_columns,
                                                OdbcSessionForm{m_utf8Text}, false);
    OdbcStatement* out = made.get();
    m_statements.emplace(rows, std::move(made));
    return out;
}

bool OdbcValuesInsert::executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) {
    qint64 affected = 0;
    if (rows.size() == 1) return m_single->execute(rows.front(), affected, errors);
    OdbcStatement* stmt = statementFor(rows.size(), errors);
    // One statement: the engine stores all of its rows or, when one is refused, none.
    return stmt && stmt->executeAll(rows, affected, errors);
}

} // namespace db
