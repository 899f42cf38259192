#pragma once

#include "db/ConnectionRecord.h"

#include <QString>

// The texts of the connection dialog's twelve fields, as kept in section "LOGIN".
struct LoginFields {
    QString odbc, sql, oracle, access;
    QString odbcId, sqlId, oracleId, accessId;
    QString odbcPass, sqlPass, oraclePass, accessPass;
};

LoginFields loadLoginFields();

// The kind of the last successful connection; only the exact texts "SQL", "ORACLE" and
// "Access" choose another kind than ODBC.
db::ConnectionKind loadConnectionKind();

// Saves what a successful connect keeps: the locations and user ids of all four kinds, the
// passwords when "Password"/"Save" reads True, and the kind.
void saveLogin(const LoginFields& fields, db::ConnectionKind kind);
