#include "LoginSettings.h"

#include "ConnectionStrings.h"
#include "options/SettingsKeys.h"

LoginFields loadLoginFields() {
    LoginFields f;
    f.sql = ReadSetting(keys::LoginSql);
    f.oracle = ReadSetting(keys::LoginOracle);
    f.access = ReadSetting(keys::LoginAccess);
    f.odbc = ReadSetting(keys::LoginOdbc);
    f.sqlId = ReadSetting(keys::LoginSqlId);
    f.oracleId = ReadSetting(keys::LoginOracleId);
    f.accessId = ReadSetting(keys::LoginAccessId);
    f.odbcId = ReadSetting(keys::LoginOdbcId);
    f.sqlPass = ReadSetting(keys::LoginSqlPass);
    f.oraclePass = ReadSetting(keys::LoginOraclePass);
    f.accessPass = ReadSetting(keys::LoginAccessPass);
    f.odbcPass = ReadSetting(keys::LoginOdbcPass);
    return f;
}

db::ConnectionKind loadConnectionKind() {
    const QString saved = ReadSetting(keys::LoginConnection);
    if (saved == QLatin1String("SQL")) return db::ConnectionKind::SqlServer;
    if (saved == QLatin1String("ORACLE")) return db::ConnectionKind::Oracle;
    if (saved == QLatin1String("Access")) return db::ConnectionKind::Access;
    return db::ConnectionKind::Odbc;
}

void saveLogin(const LoginFields& f, db::ConnectionKind kind) {
    WriteSetting(keys::LoginOdbc, f.odbc);
    WriteSetting(keys::LoginOracle, f.oracle);
    WriteSetting(keys::LoginSql, f.sql);
    WriteSetting(keys::LoginAccess, f.access);
    WriteSetting(keys::LoginSqlId, f.sqlId);
    WriteSetting(keys::LoginOracleId, f.oracleId);
    WriteSetting(keys::LoginAccessId, f.accessId);
    WriteSetting(keys::LoginOdbcId, f.odbcId);
    if (ReadBoolSetting(keys::PasswordSave)) {
        WriteSetting(keys::LoginSqlPass, f.sqlPass);
        WriteSetting(keys::LoginOraclePass, f.oraclePass);
        WriteSetting(keys::LoginAccessPass, f.accessPass);
        WriteSetting(keys::LoginOdbcPass, f.odbcPass);
    }
    WriteSetting(keys::LoginConnection, connectionSettingOf(kind));
}
