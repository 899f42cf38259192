#include "WriteTarget.h"

#include "AdoType.h"
#include "Connection.h"
#include "SqlText.h"

#include <QSet>

namespace db {

bool WriteTarget::chooseTable(const std::vector<ColumnInfo>& columns, const QString& source,
                              QString& table, QString& written) {
    QStringList tables;
    for (const ColumnInfo& c : columns)
        if (!c.baseTable.isEmpty() && !tables.contains(c.baseTable, Qt::CaseInsensitive))
            tables << c.baseTable;

    written = tableOfSelect(source);
    table.clear();
    if (tables.size() == 1) {
        table = tables.front();
        if (unquoteIdentifier(written).compare(table, Qt::CaseInsensitive) != 0) written.clear();
    } else if (!written.isEmpty()) {
        table = unquoteIdentifier(written);
    }
    return !table.isEmpty() && (tables.size() <= 1 || tables.contains(table, Qt::CaseInsensitive));
}

namespace {
// Only a column the driver places in the base table is that table's column: an expression,
// an aggregate or a column of another table of a join is not. ODBC drivers give no base
// table for an expression (psqlODBC and the SQLite driver give its alias as base column).
bool isColumnOf(const ColumnInfo& c, const QString& table) {
    return !c.fromExpression && !c.baseTable.isEmpty() &&
           c.baseTable.compare(table, Qt::CaseInsensitive) == 0;
}
} // namespace

std::vector<bool> WriteTarget::updatableFields(const std::vector<ColumnInfo>& columns,
                                               const QString& source) {
    std::vector<bool> out(columns.size(), false);
    QString table, written;
    if (!chooseTable(columns, source, table, written)) return out;
    for (size_t i = 0; i < columns.size(); ++i)
        out[i] = isColumnOf(columns[i], table);
    return out;
}

bool WriteTarget::resolve(Connection& connection, const std::vector<ColumnInfo>& columns,
                          const QString& source, ErrorList& errors) {
    const QString quote = connection.identifierQuote();
    QString table, written; // unquoted; as the statement spells it
    if (!chooseTable(columns, source, table, written)) {
        errors = {Error{ErrorNumber::NotUpdatable,
                        QStringLiteral("Insufficient base table information for updating or "
                                       "refreshing."),
                        QStringLiteral("Tolvan.Recordset")}};
        return false;
    }
    // Keep the statement's own spelling (schema, quotes) when it names the same table.
    m_tableSql = written.isEmpty() ? quoteIdentifier(table, quote) : written;

    m_columnSql.assign(columns.size(), QString());
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnInfo& c = columns[i];
        if (c.fromExpression) continue;
        if (!c.baseTable.isEmpty() && c.baseTable.compare(table, Qt::CaseInsensitive) != 0)
            continue;
        m_columnSql[i] = quoteIdentifier(c.baseColumn.isEmpty() ? c.name : c.baseColumn, quote);
    }

    QStringList key;
    ErrorList ignored; // a table without a readable key is located by all its values
    connection.primaryKey(table, key, ignored);
    m_keyFields.clear();
    for (const QString& k : key) {
        int found = -1;
        for (size_t i = 0; i < columns.size() && found < 0; ++i) {
            if (m_columnSql[i].isEmpty()) continue;
            const QString& name =
                columns[i].baseColumn.isEmpty() ? columns[i].name : columns[i].baseColumn;
            if (name.compare(k, Qt::CaseInsensitive) == 0) found = int(i);
        }
        if (found < 0) {
            m_keyFields.clear();
            break;
        }
        m_keyFields.push_back(found);
    }
    m_hasPrimaryKey = !m_keyFields.empty();
    if (!m_hasPrimaryKey) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (m_columnSql[i].isEmpty() || columns[i].storage == Storage::Blob) continue;
            m_keyFields.push_back(int(i));
        }
    }
    return true;
}

} // namespace db
