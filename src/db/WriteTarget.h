#pragma once

#include "Error.h"
#include "ResultData.h"

#include <QString>
#include <vector>

namespace db {

class Connection;

// The base table behind a record set and how its rows are written: which fields map to
// which columns, and which columns locate a row (the primary key, else all of them).
class WriteTarget {
public:
    bool resolve(Connection& connection, const std::vector<ColumnInfo>& columns,
                 const QString& source, ErrorList& errors);
    // The fields an edit may change: those the driver names as a column of the base table.
    // Read from the description and the statement alone, so it asks the database nothing.
    static std::vector<bool> updatableFields(const std::vector<ColumnInfo>& columns,
                                             const QString& source);

    const QString& tableSql() const { return m_tableSql; }
    // A new row may give the field (also where the driver told nothing of its origin).
    bool writable(int field) const { return !m_columnSql[size_t(field)].isEmpty(); }
    const QString& columnSql(int field) const { return m_columnSql[size_t(field)]; }
    const std::vector<int>& keyFields() const { return m_keyFields; }
    bool hasPrimaryKey() const { return m_hasPrimaryKey; }

private:
    // The base table, unquoted, and the statement's own spelling of it when it names the
    // same table; false when there is no single one.
    static bool chooseTable(const std::vector<ColumnInfo>& columns, const QString& source,
                            QString& table, QString& written);

    QString m_tableSql;
    std::vector<QString> m_columnSql; // empty for fields that are not written
    std::vector<int> m_keyFields;
    bool m_hasPrimaryKey = false;
};

} // namespace db
