#include "WriteTarget.h"

#include "AdoType.h"
#include "Connection.h"
#include "SqlText.h"

#include <QSet>

namespace db {

bool WriteTarget::resolve(Connection& connection, const std::vector<ColumnInfo>& columns,
                          const QString& source, ErrorList& errors) {
    const QString quote = connection.identifierQuote();

    QStringList tables;
    for (const ColumnInfo& c : columns)
        if (!c.baseTable.isEmpty() && !tables.contains(c.baseTable, Qt::CaseInsensitive))
            tables << c.baseTable;

    const QString written = tableOfSelect(source);
    QString table; // unquoted
    if (tables.size() == 1) {
        table = tables.front();
        // Keep the statement's own spelling (schema, quotes) when it names the same table.
        m_tableSql = unquoteIdentifier(written).compare(table, Qt::CaseInsensitive) == 0
                         ? written
                         : quoteIdentifier(table, quote);
    } else if (!written.isEmpty()) {
        table = unquoteIdentifier(written);
        m_tableSql = written;
    }
    if (m_tableSql.isEmpty() ||
        (tables.size() > 1 && !tables.contains(table, Qt::CaseInsensitive))) {
        errors = {Error{ErrorNumber::NotUpdatable,
                        QStringLiteral("Insufficient base table information for updating or "
                                       "refreshing."),
                        QStringLiteral("Tolvan.Recordset")}};
        return false;
    }

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
