#pragma once

#include "Connection.h"

#include <QString>
#include <memory>

namespace db {

enum class ConnectionKind : qint16 { Odbc = 0, SqlServer = 1, Oracle = 2, Access = 3 };

// The one connection of the process and what the program knows about it. Written only by
// the connection dialog; everything else reads it.
struct ConnectionRecord {
    std::unique_ptr<Connection> adoConnection;
    ConnectionKind kind = ConnectionKind::Odbc;
    QString databaseName;
    QString userId;
};

} // namespace db
