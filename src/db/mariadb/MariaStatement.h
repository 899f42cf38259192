#pragma once

#include "db/Backend.h"

#include <QByteArray>

namespace db {

class MariaBackend;

// A statement whose "?" marks are filled in as literals of the session when it runs: the
// server reads each value in its text form, as it reads the same value typed.
class MariaStatement : public PreparedStatement {
public:
    MariaStatement(MariaBackend* backend, const QString& sql, std::vector<ColumnInfo> params);

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override;
    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override;

    // The statement's text with the values in place of its marks.
    QByteArray text(const std::vector<Value>& params) const;
    // One value as a literal: NULL, bytes in hex, a boolean as 1 or 0, else a quoted text.
    static void appendLiteral(QByteArray& out, const Value& v, const ColumnInfo* column,
                              const MariaBackend& backend);

private:
    MariaBackend* m_backend;
    // The text between the marks: one more piece than marks.
    std::vector<QByteArray> m_pieces;
    std::vector<ColumnInfo> m_params;
};

// An insert that also stores many rows in one statement, a LOAD DATA LOCAL INFILE whose file
// is the rows in memory, inside a transaction of its own (or a savepoint): the statement
// turns refused values into notes, so a batch with any note is taken back whole and its rows
// go in one by one, each telling its own. Only for tables whose engine takes a statement
// back.
class MariaLoadInsert : public PreparedStatement {
public:
    MariaLoadInsert(std::unique_ptr<MariaStatement> single, MariaBackend* backend,
                    const QString& tableSql, const QStringList& columnSql,
                    std::vector<ColumnInfo> params);

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override {
        return m_single->execute(params, affected, errors);
    }
    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override {
        return m_single->select(params, out, errors);
    }
    bool canExecuteRows() const override { return true; }
    bool executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) override;

    // The rows as the statement reads them: tab-separated fields, \N for Null, backslash
    // escapes; bytes as hex.
    static void loadText(const std::vector<std::vector<Value>>& rows,
                         const std::vector<ColumnInfo>& columns, QByteArray& out);

private:
    std::unique_ptr<MariaStatement> m_single;
    MariaBackend* m_backend;
    QByteArray m_loadSql;
    std::vector<ColumnInfo> m_params;
};

// The storage engine a table's SHOW CREATE TABLE text names, "" for none (a view).
QString mariaEngineOf(const QString& createText);
// Whether the table's engine takes back a failed statement whole (InnoDB does, MyISAM keeps
// the rows before the refused one): only then may one statement store many rows. False when
// it cannot be told.
bool mariaTableIsTransactional(Backend& backend, const QString& tableSql);

} // namespace db
