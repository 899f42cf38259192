#pragma once

#include "db/ConnectionRecord.h"
#include "db/LoginParams.h"

#include <QString>

// What the user typed for one kind of data source.
struct LoginInput {
    db::ConnectionKind kind = db::ConnectionKind::Odbc;
    QString location; // data-source name, server, Oracle data source or file path
    QString userId;
    QString password;
};

// The connection string of a kind: a plain concatenation of the typed texts, exactly as
// typed, as shown and stored.
QString buildConnectionString(const LoginInput& input);

// The same values as separate parts, so that ";" or "=" in them reach the driver intact.
db::LoginParams loginParams(const LoginInput& input);

// The name of the database shown in the status bar: the data-source name, "SQL Server",
// "ORACLE", or the file name of the path (after its last "/").
QString databaseNameOf(const LoginInput& input);

// The value saved as "LOGIN"/"CONNECTION" for a kind.
QString connectionSettingOf(db::ConnectionKind kind);
