#include "ProviderFactory.h"

#include "db/mariadb/MariaBackend.h"
#include "db/odbc/OdbcBackend.h"
#include "db/odbc/OdbcDataSources.h"
#include "db/postgres/PgBackend.h"
#include "db/sqlite/SqliteBackend.h"

namespace db {

namespace {
bool isAccessFile(const LoginParams& login) {
    const QString path = login.dataSource.trimmed();
    return path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".accdb"), Qt::CaseInsensitive);
}

std::unique_ptr<Backend> odbc(OdbcBackend::Target target) {
    return std::make_unique<OdbcBackend>(target);
}

// The Access login names a local database file. Linux has no Jet or ACE engine: an Access
// file is read through MDBTools, and any other file is taken for what a local database file
// is here, a SQLite one.
std::unique_ptr<Backend> localFile(const LoginParams& login, const BackendOptions&, QString&) {
    if (isAccessFile(login)) return odbc(OdbcBackend::Target::AccessFile);
    return std::make_unique<SqliteBackend>();
}

bool keptOnDriver(const QString& dataSource, const BackendOptions& options) {
    for (const QString& name : options.driverOnlySources)
        if (name.trimmed() == QLatin1String("*") ||
            name.trimmed().compare(dataSource.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// A data source whose driver is a thin layer over a server's own client library is opened
// through that library, which hands over the server's text of every value and streams rows,
// unless the user keeps it on the driver or a key of its entry means nothing to the library.
std::unique_ptr<Backend> dataSource(const LoginParams& login, const BackendOptions& options,
                                    QString& route) {
    if (keptOnDriver(login.dataSource, options)) {
        route = QStringLiteral("設定により、このデータ ソースは ODBC ドライバーで接続しています。");
        return odbc(OdbcBackend::Target::DataSource);
    }
    const OdbcDataSourceEntry entry = odbcDataSourceEntry(login.dataSource);
    if (entry.driver == OdbcDataSourceEntry::Driver::PsqlOdbc) {
        PgConnectParams params;
        QString reason;
        if (pgParamsFromDataSource(entry.keys, login, params, reason)) {
            route =
                QStringLiteral("PostgreSQL のクライアント ライブラリ (libpq) で直接接続しています"
                               "（データ ソースのドライバー: %1）。")
                    .arg(entry.driverName);
            return std::make_unique<PgBackend>(std::move(params));
        }
        route = reason;
    }
    if (entry.driver == OdbcDataSourceEntry::Driver::MariaDb) {
        MariaConnectParams params;
        QString reason;
        if (mariaParamsFromDataSource(entry.keys, login, params, reason)) {
            route = QStringLiteral("MariaDB のクライアント ライブラリ (Connector/C) で直接接続して"
                                   "います（データ ソースのドライバー: %1）。")
                        .arg(entry.driverName);
            return std::make_unique<MariaBackend>(std::move(params));
        }
        route = reason;
    }
    return odbc(OdbcBackend::Target::DataSource);
}

// The logins the program knows, by the provider they name (its start, as versions follow
// it: "MSDASQL.1"); the first that matches makes the backend. A new backend is one more row.
struct Provider {
    const char* prefix;
    std::unique_ptr<Backend> (*make)(const LoginParams& login, const BackendOptions& options,
                                     QString& route);
};
const Provider kProviders[] = {
    {"MSDASQL", dataSource},
    {"SQLOLEDB", [](const LoginParams&, const BackendOptions&,
                    QString&) { return odbc(OdbcBackend::Target::SqlServer); }},
    {"MSDAORA", [](const LoginParams&, const BackendOptions&,
                   QString&) { return odbc(OdbcBackend::Target::Oracle); }},
    {"Microsoft.Jet.OLEDB", localFile},
    {"Microsoft.ACE.OLEDB", localFile},
};
} // namespace

std::unique_ptr<Backend> createBackend(const LoginParams& login, const BackendOptions& options,
                                       QString& route, ErrorList& errors) {
    route.clear();
    for (const Provider& p : kProviders)
        if (login.provider.startsWith(QLatin1String(p.prefix), Qt::CaseInsensitive))
            return p.make(login, options, route);
    errors = {errors::providerNotFound()};
    return nullptr;
}

} // namespace db
