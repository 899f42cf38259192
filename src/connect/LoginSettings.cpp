#include "LoginSettings.h"

#include "ConnectionStrings.h"
#include "SettingsStore.h"

namespace {
const QString kLogin = QStringLiteral("LOGIN");

QString read(const char* key) { return GetSetting(kLogin, QString::fromLatin1(key), QString()); }
void write(const char* key, const QString& value) { SaveSetting(kLogin, QString::fromLatin1(key), value); }
} // namespace

LoginFields loadLoginFields() {
    LoginFields f;
    f.sql = read("SQL");
    f.oracle = read("Oracle");
    f.access = read("Access");
    f.odbc = read("ODBC");
    f.sqlId = read("SQLID");
    f.oracleId = read("OracleID");
    f.accessId = read("AccessID");
    f.odbcId = read("ODBCID");
    f.sqlPass = read("SQLPass");
    f.oraclePass = read("OraclePass");
    f.accessPass = read("AccessPass");
    f.odbcPass = read("ODBCPass");
    return f;
}

db::ConnectionKind loadConnectionKind() {
    const QString saved = GetSetting(kLogin, QStringLiteral("CONNECTION"), 0);
    if (saved == QLatin1String("SQL")) return db::ConnectionKind::SqlServer;
    if (saved == QLatin1String("ORACLE")) return db::ConnectionKind::Oracle;
    if (saved == QLatin1String("Access")) return db::ConnectionKind::Access;
    return db::ConnectionKind::Odbc;
}

void saveLogin(const LoginFields& f, db::ConnectionKind kind) {
    write("ODBC", f.odbc);
    write("Oracle", f.oracle);
    write("SQL", f.sql);
    write("Access", f.access);
    write("SQLID", f.sqlId);
    write("OracleID", f.oracleId);
    write("AccessID", f.accessId);
    write("ODBCID", f.odbcId);
    if (GetBoolSetting(QStringLiteral("Password"), QStringLiteral("Save"), false)) {
        write("SQLPass", f.sqlPass);
        write("OraclePass", f.oraclePass);
        write("AccessPass", f.accessPass);
        write("ODBCPass", f.odbcPass);
    }
    write("CONNECTION", connectionSettingOf(kind));
}
