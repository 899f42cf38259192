#pragma once

#include "OdbcStatement.h"

#include <map>

namespace db {

// An insert into a MariaDB or MySQL table that also stores many rows in one statement: one
// VALUES list with a row of parameters for each, every value bound as a single insert binds
// it. Only for tables whose engine takes back a failed statement whole, so that a refused
// row leaves none of the others stored. Single rows go through the plain insert it wraps.
class OdbcValuesInsert : public PreparedStatement {
public:
    OdbcValuesInsert(std::unique_ptr<PreparedStatement> single, SQLHDBC dbc, QString insertSql,
                     std::vector<ColumnInfo> columns, bool utf8Text);

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override {
        return m_single->execute(params, affected, errors);
    }
    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override {
        return m_single->select(params, out, errors);
    }
    bool canExecuteRows() const override { return true; }
    size_t rowsLimit() const override;
    bool executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) override;

private:
    OdbcStatement* statementFor(size_t rows, ErrorList& errors);

    std::unique_ptr<PreparedStatement> m_single;
    SQLHDBC m_dbc;
    QString m_insertSql; // up to and including "VALUES "
    std::vector<ColumnInfo> m_columns;
    bool m_utf8Text;
    // By number of rows: a full batch's and the last other one, prepared when first needed.
    std::map<size_t, std::unique_ptr<OdbcStatement>> m_statements;
};

} // namespace db
