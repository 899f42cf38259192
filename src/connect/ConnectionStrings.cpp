#include "ConnectionStrings.h"

using db::ConnectionKind;

namespace {
QString providerOf(ConnectionKind kind) {
    switch (kind) {
    case ConnectionKind::Odbc:
        return QStringLiteral("MSDASQL.1");
    case ConnectionKind::SqlServer:
        return QStringLiteral("SQLOLEDB.1");
    case ConnectionKind::Oracle:
        return QStringLiteral("MSDAORA.1");
    case ConnectionKind::Access:
        return QStringLiteral("Microsoft.Jet.OLEDB.4.0");
    }
    return QString();
}
} // namespace

QString buildConnectionString(const LoginInput& in) {
    const QString provider = QStringLiteral("Provider=") + providerOf(in.kind);
    switch (in.kind) {
    case ConnectionKind::Odbc:
    case ConnectionKind::SqlServer:
        return provider + QStringLiteral(";Password=") + in.password +
               QStringLiteral(";Persist Security Info=True;User ID=") + in.userId +
               QStringLiteral(";Data Source=") + in.location;
    case ConnectionKind::Oracle:
    case ConnectionKind::Access:
        return provider + QStringLiteral(";Password=") + in.password + QStringLiteral(";User ID=") +
               in.userId + QStringLiteral(";Data Source=") + in.location +
               QStringLiteral(";Persist Security Info=True");
    }
    return QString();
}

db::LoginParams loginParams(const LoginInput& in) {
    return {providerOf(in.kind), in.location, in.userId, in.password, {}};
}

QString databaseNameOf(const LoginInput& in) {
    switch (in.kind) {
    case ConnectionKind::Odbc:
        return in.location;
    case ConnectionKind::SqlServer:
        return QStringLiteral("SQL Server");
    case ConnectionKind::Oracle:
        return QStringLiteral("ORACLE");
    case ConnectionKind::Access:
        return in.location.mid(in.location.lastIndexOf(QLatin1Char('/')) + 1);
    }
    return QString();
}

QString connectionSettingOf(ConnectionKind kind) {
    switch (kind) {
    case ConnectionKind::Odbc:
        return QStringLiteral("ODBC");
    case ConnectionKind::SqlServer:
        return QStringLiteral("SQL");
    case ConnectionKind::Oracle:
        return QStringLiteral("ORACLE");
    case ConnectionKind::Access:
        return QStringLiteral("Access");
    }
    return QString();
}
