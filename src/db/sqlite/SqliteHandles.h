#pragma once

// What the SQLite backend's files share: its errors and its statements' owner.
#include "db/Error.h"

#include <memory>
#include <sqlite3.h>

namespace db {

inline const QString kSqliteSource = QStringLiteral("Tolvan.SQLite");

inline Error sqliteError(sqlite3* db, int rc) {
    return {qint32(db ? sqlite3_extended_errcode(db) : rc),
            QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)), kSqliteSource};
}

struct StmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

} // namespace db
