#pragma once

#include "Error.h"
#include "LoginParams.h"
#include "ResultData.h"
#include "Value.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace db {

// A statement prepared once and run many times with text parameters.
class PreparedStatement {
public:
    virtual ~PreparedStatement() = default;
    // Runs with the given parameters; affected receives the number of rows changed.
    virtual bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) = 0;
};

// One kind of database the layer speaks to.
class Backend {
public:
    virtual ~Backend() = default;

    virtual bool open(const LoginParams& login, ErrorList& errors) = 0;
    virtual void close() = 0;

    // Runs any statement; a statement without rows leaves out.columns empty.
    virtual bool query(const QString& sql, int timeoutSeconds, ResultData& out,
                       ErrorList& errors) = 0;
    // paramColumns describes each "?" so that drivers can bind the right types.
    virtual std::unique_ptr<PreparedStatement>
    prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
            ErrorList& errors) = 0;

    virtual bool tables(std::vector<TableEntry>& out, ErrorList& errors) = 0;
    // Columns of the primary key of a table given by its unquoted name, in key order.
    virtual bool primaryKey(const QString& table, QStringList& columns, ErrorList& errors) = 0;

    virtual bool beginTransaction(ErrorList& errors) = 0;
    virtual bool commit(ErrorList& errors) = 0;
    virtual bool rollback(ErrorList& errors) = 0;
    // True when a failed statement inside a transaction leaves the earlier ones intact, so
    // that inserts may be committed in batches.
    virtual bool keepsTransactionOnError() const = 0;

    virtual QString identifierQuote() const = 0;
    virtual QString defaultDatabase() = 0;
    virtual QString dbmsName() const = 0;
};

} // namespace db
