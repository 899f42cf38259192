// The SQLite backend's catalog: the tables of the file and the columns of one.
#include "SqliteBackend.h"
#include "SqliteHandles.h"

namespace db {

bool SqliteBackend::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    ResultData r;
    if (!query(QStringLiteral("SELECT name, CASE WHEN type = 'view' THEN 'VIEW' "
                              "WHEN name LIKE 'sqlite\\_%' ESCAPE '\\' THEN 'SYSTEM TABLE' "
                              "ELSE 'TABLE' END FROM sqlite_master "
                              "WHERE type IN ('table', 'view') ORDER BY 2, 1"),
               0, r, errors))
        return false;
    for (size_t i = 0; i < r.rows; ++i)
        out.push_back({r.data[0].text(i), r.data[1].text(i)});
    return true;
}

bool SqliteBackend::namesOfTable(const char* sql, const QString& table, QStringList& names,
                                 ErrorList& errors) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr);
    StmtPtr stmt(raw);
    if (rc != SQLITE_OK) {
        errors = {sqliteError(m_db, rc)};
        return false;
    }
    const QByteArray name = table.toUtf8();
    sqlite3_bind_text(raw, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    if (rc != SQLITE_DONE) {
        errors = {sqliteError(m_db, rc)};
        return false;
    }
    return true;
}

bool SqliteBackend::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    return namesOfTable("SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk", table,
                        columns, errors);
}

bool SqliteBackend::columns(const TableEntry& table, QStringList& names, ErrorList& errors) {
    // Hidden columns of virtual tables (1) are left out; generated ones (2, 3) are columns.
    return namesOfTable("SELECT name FROM pragma_table_xinfo(?) WHERE hidden <> 1", table.Name,
                        names, errors);
}

} // namespace db
