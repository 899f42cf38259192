#pragma once

#include "db/Backend.h"

#include <QByteArray>

typedef struct pg_result PGresult;

namespace db {

class PgBackend;

// The parameters of a statement as libpq takes them: text, or bytes for a binary column.
class PgParams {
public:
    // False, with the reason, for a value the server cannot store as given.
    bool set(const std::vector<Value>& values, const std::vector<ColumnInfo>& columns,
             const PgBackend& backend, ErrorList& errors);
    int count() const { return int(m_values.size()); }
    const char* const* values() const { return m_values.data(); }
    const int* lengths() const { return m_lengths.data(); }
    const int* formats() const { return m_formats.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<const char*> m_values;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
};

// A statement prepared on the server under a name of its own, freed with it.
class PgStatement : public PreparedStatement {
public:
    PgStatement(PgBackend* backend, QByteArray name, std::vector<ColumnInfo> params)
        : m_backend(backend), m_name(std::move(name)), m_params(std::move(params)) {}
    ~PgStatement() override;

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override;
    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override;

private:
    // Runs the statement: its result, or null with the errors.
    PGresult* run(const std::vector<Value>& params, ErrorList& errors);

    PgBackend* m_backend;
    QByteArray m_name;
    std::vector<ColumnInfo> m_params;
    PgParams m_values;
};

// An insert whose rows also go in many at a time, through COPY: a batch is one statement,
// stored whole or not at all.
class PgCopyInsert : public PreparedStatement {
public:
    PgCopyInsert(std::unique_ptr<PreparedStatement> single, PgBackend* backend, QByteArray copySql,
                 std::vector<ColumnInfo> params)
        : m_single(std::move(single)), m_backend(backend), m_copySql(std::move(copySql)),
          m_params(std::move(params)) {}

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override {
        return m_single->execute(params, affected, errors);
    }
    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override {
        return m_single->select(params, out, errors);
    }
    bool canExecuteRows() const override { return true; }
    bool executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) override;

    // COPY's text form of the rows: tab-separated fields, \N for Null, backslash escapes.
    static bool copyText(const std::vector<std::vector<Value>>& rows,
                         const std::vector<ColumnInfo>& columns, char moneyPoint, QByteArray& out,
                         ErrorList& errors);

private:
    std::unique_ptr<PreparedStatement> m_single;
    PgBackend* m_backend;
    QByteArray m_copySql;
    std::vector<ColumnInfo> m_params;
};

// "?" marks outside quotes and comments as the server's "$1", "$2", ...
QString pgNumberedParameters(const QString& sql);

} // namespace db
