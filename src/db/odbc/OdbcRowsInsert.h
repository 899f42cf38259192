#pragma once

#include "OdbcHandle.h"
#include "db/Backend.h"

namespace db {

// An insert into a PostgreSQL table that also stores many rows in one statement: each
// column's values travel as one array, which the server unnests into rows. Single rows go
// through the plain insert it wraps.
class OdbcRowsInsert : public PreparedStatement {
public:
    OdbcRowsInsert(std::unique_ptr<PreparedStatement> single, OdbcHandle rows, size_t columns);

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override {
        return m_single->execute(params, affected, errors);
    }
    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override {
        return m_single->select(params, out, errors);
    }
    bool canExecuteRows() const override { return bool(m_rows); }
    bool executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) override;

    // The statement for rows: the column types are read from the server, since a cast to a
    // type named with its length (or to "char") would cut values instead of refusing them.
    static QString rowsSql(const QString& tableSql, const QStringList& columnSql,
                           const QStringList& typeSql);
    // A query whose one row gives, per column, its type as SQL text qualified by its schema,
    // or "" when its values cannot travel in an array (array types).
    static QString typeQuery(const QString& tableSql, const QStringList& columnSql);

private:
    std::unique_ptr<PreparedStatement> m_single;
    OdbcHandle m_rows;
    std::vector<std::string> m_arrays; // each column's array literal, as UTF-8
    std::vector<SQLLEN> m_lengths;
    std::string m_scratch;
};

} // namespace db
