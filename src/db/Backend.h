#pragma once

#include "DatabaseDialect.h"
#include "Error.h"
#include "LoginParams.h"
#include "ResultData.h"
#include "Value.h"

#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

namespace db {

// A statement prepared once and run many times with text parameters.
class PreparedStatement {
public:
    virtual ~PreparedStatement() = default;
    // Runs with the given parameters; affected receives the number of rows changed. A run
    // that changed no row and left the driver's notes fails with them: they tell why.
    virtual bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) = 0;
    // Runs a prepared SELECT with the given parameters and reads all of its rows.
    virtual bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) = 0;
    // True when executeRows can store many rows of this insert in one statement.
    virtual bool canExecuteRows() const { return false; }
    // The most rows executeRows takes at once.
    virtual size_t rowsLimit() const { return size_t(-1); }
    // Stores all of rows or, on a failure, none of them.
    virtual bool executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) {
        (void)rows;
        errors = {{ErrorNumber::Fail, QStringLiteral("Rows cannot be stored together."),
                   QStringLiteral("Tolvan.Connection")}};
        return false;
    }
};

// The rows of one running statement, read block by block.
class RowCursor {
public:
    virtual ~RowCursor() = default;
    // Appends up to about maxRows rows to out, whose columns the statement described. done
    // turns true once the rows are exhausted and every statement after this one in the text
    // has run; an error of any of them fails the call.
    virtual bool fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) = 0;
};

// One kind of database the layer speaks to.
//
// A text may hold several statements. Every backend runs them in order, each exactly once;
// the rows come from the first statement that returns rows (its columns describe the
// result even when it has no rows); the statements after it run once its rows have been
// read; an error in any of them is reported and ends the run.
class Backend {
public:
    virtual ~Backend() = default;

    virtual bool open(const LoginParams& login, ErrorList& errors) = 0;
    virtual void close() = 0;

    // Starts a text of statements: out receives the columns of the rows (none for a text
    // without rows) and cursor reads them; cursor stays null when there are no rows to read.
    virtual bool execute(const QString& sql, int timeoutSeconds, ResultData& out,
                         std::unique_ptr<RowCursor>& cursor, ErrorList& errors) = 0;
    // Runs a text of statements and reads all of its rows.
    bool query(const QString& sql, int timeoutSeconds, ResultData& out, ErrorList& errors) {
        std::unique_ptr<RowCursor> cursor;
        if (!execute(sql, timeoutSeconds, out, cursor, errors)) return false;
        bool done = !cursor;
        while (!done)
            if (!cursor->fetch(out, size_t(-1), done, errors)) return false;
        return true;
    }
    // paramColumns describes each "?" so that drivers can bind the right types.
    virtual std::unique_ptr<PreparedStatement>
    prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
            ErrorList& errors) = 0;

    // An INSERT of the given columns (SQL text, quoted as needed) described by paramColumns.
    virtual std::unique_ptr<PreparedStatement>
    prepareInsert(const QString& tableSql, const QStringList& columnSql,
                  const std::vector<const ColumnInfo*>& paramColumns, ErrorList& errors) {
        return prepare(insertSql(tableSql, columnSql), paramColumns, errors);
    }
    static QString insertSql(const QString& tableSql, const QStringList& columnSql) {
        if (columnSql.isEmpty())
            return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(tableSql);
        QStringList marks;
        for (qsizetype i = 0; i < columnSql.size(); ++i)
            marks << QStringLiteral("?");
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(tableSql, columnSql.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }

    virtual bool tables(std::vector<TableEntry>& out, ErrorList& errors) = 0;
    // Columns of the primary key of a table given by its unquoted name, in key order.
    virtual bool primaryKey(const QString& table, QStringList& columns, ErrorList& errors) = 0;
    // The names of a listed table's columns, in their order.
    virtual bool columns(const TableEntry& table, QStringList& names, ErrorList& errors) = 0;

    virtual bool beginTransaction(ErrorList& errors) = 0;
    virtual bool commit(ErrorList& errors) = 0;
    virtual bool rollback(ErrorList& errors) = 0;
    // True when the session with the server has ended (the server went away).
    virtual bool connectionDead() { return false; }

    // Asks the statement running on another thread to stop; safe from any thread while the
    // backend is open. Everything run after it fails with errors::cancelled until
    // clearInterrupt, so a request that comes between two calls is not lost.
    void interrupt() {
        m_interrupted.store(true);
        interruptRunning();
    }
    void clearInterrupt() { m_interrupted.store(false); }
    bool interrupted() const { return m_interrupted.load(); }

    virtual QString defaultDatabase() = 0;
    // What the database reads and can do; filled by open and kept until close.
    virtual const DatabaseDialect& dialect() const = 0;

protected:
    // Stops what the driver is doing now, from another thread.
    virtual void interruptRunning() {}

private:
    std::atomic<bool> m_interrupted{false};
};

} // namespace db
