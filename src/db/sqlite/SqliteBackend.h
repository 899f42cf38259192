#pragma once

#include "db/Backend.h"

struct sqlite3;

namespace db {

// Local database files opened natively with SQLite; a missing file is an error, never created.
class SqliteBackend : public Backend {
public:
    SqliteBackend() = default;
    ~SqliteBackend() override;

    bool open(const LoginParams& login, ErrorList& errors) override;
    void close() override;
    bool execute(const QString& sql, int timeoutSeconds, ResultData& out,
                 std::unique_ptr<RowCursor>& cursor, ErrorList& errors) override;
    std::unique_ptr<PreparedStatement> prepare(const QString& sql,
                                               const std::vector<const ColumnInfo*>& paramColumns,
                                               ErrorList& errors) override;
    bool tables(std::vector<TableEntry>& out, ErrorList& errors) override;
    bool primaryKey(const QString& table, QStringList& columns, ErrorList& errors) override;
    bool columns(const TableEntry& table, QStringList& names, ErrorList& errors) override;
    bool beginTransaction(ErrorList& errors) override;
    bool commit(ErrorList& errors) override;
    bool rollback(ErrorList& errors) override;
    QString defaultDatabase() override { return QStringLiteral("main"); }
    const DatabaseDialect& dialect() const override;

    sqlite3* handle() const { return m_db; }

protected:
    void interruptRunning() override;

private:
    bool exec(const char* sql, ErrorList& errors);
    // The first column of a statement about one table (its one parameter).
    bool namesOfTable(const char* sql, const QString& table, QStringList& names, ErrorList& errors);

    sqlite3* m_db = nullptr;
    // A transaction the user opened with BEGIN is left to the user.
    bool m_ownTransaction = false;
};

} // namespace db
