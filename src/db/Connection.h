#pragma once

#include "Backend.h"
#include "Error.h"
#include "LoginParams.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <optional>

namespace db {

class Recordset;

// The one database connection of the process, shaped like an ADO Connection.
// Failures return false and leave their diagnostics in Errors().
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString ConnectionString() const { return m_connectionString; }
    // The text shown and stored; its parts are parsed from it unless setLogin gave them.
    void setConnectionString(const QString& text);
    // Gives the parts separately so that typed values reach the driver intact.
    void setLogin(const LoginParams& login, const QString& connectionString);

    int CursorLocation() const { return m_cursorLocation; }
    void setCursorLocation(int location) { m_cursorLocation = location; }

    int CommandTimeout() const { return m_commandTimeout; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds < 0 ? 0 : seconds; }

    bool Open();
    void Close();
    bool isOpen() const { return m_backend != nullptr; }

    const ErrorList& Errors() const { return m_errors; }
    QString DefaultDatabase();
    QString Version() const;
    // The database product behind the connection ("SQLite", "PostgreSQL", ...).
    QString dbmsName() const;
    // The character the database quotes identifiers with ("\"" for most).
    QString identifierQuote() const;

    // Runs a statement and throws its rows away: for callers that need no record set.
    bool Execute(const QString& sql);

    // Commits inserts that are held in an open batch; every other operation does this first,
    // and callers do it before they ask the user anything.
    bool CommitPendingWrites();

    // Inserts are committed one by one unless a bulk scope is open: then, where the backend
    // keeps a transaction across a failed statement, they are committed in batches. Scopes
    // nest; the outermost one's end commits.
    void beginBulkWrites();
    bool endBulkWrites();

    // For the layer's own objects.
    Backend* backend() const { return m_backend.get(); }
    void setErrors(ErrorList errors) { m_errors = std::move(errors); }
    void setError(const Error& e) { m_errors = {e}; }
    void clearErrors() { m_errors.clear(); }
    // Runs one insert, batching it into a transaction where the backend allows.
    bool batchedInsert(PreparedStatement& stmt, const std::vector<Value>& params);
    // Record sets opened on this connection let go of their statements when it closes.
    void attach(Recordset* rs);
    void detach(Recordset* rs);

private:
    QString m_connectionString;
    std::optional<LoginParams> m_login;
    int m_cursorLocation = 3;
    int m_commandTimeout = 30;
    std::unique_ptr<Backend> m_backend;
    ErrorList m_errors;
    std::vector<Recordset*> m_recordsets;

    bool m_batchOpen = false;
    int m_batchRows = 0;
    QElapsedTimer m_batchTimer;
};

// Opens a bulk-write scope for its lifetime: an import or a batch run.
class BulkWriteScope {
public:
    explicit BulkWriteScope(Connection* c) : m_c(c) {
        if (m_c) m_c->beginBulkWrites();
    }
    ~BulkWriteScope() {
        if (m_c) m_c->endBulkWrites();
    }
    BulkWriteScope(const BulkWriteScope&) = delete;
    BulkWriteScope& operator=(const BulkWriteScope&) = delete;

private:
    Connection* m_c;
};

} // namespace db
