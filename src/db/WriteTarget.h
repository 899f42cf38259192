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

    const QString& tableSql() const { return m_tableSql; }
    bool writable(int field) const { return !m_columnSql[size_t(field)].isEmpty(); }
    const QString& columnSql(int field) const { return m_columnSql[size_t(field)]; }
    const std::vector<int>& keyFields() const { return m_keyFields; }
    bool hasPrimaryKey() const { return m_hasPrimaryKey; }

private:
    QString m_tableSql;
    std::vector<QString> m_columnSql; // empty for fields that are not written
    std::vector<int> m_keyFields;
    bool m_hasPrimaryKey = false;
};

} // namespace db
