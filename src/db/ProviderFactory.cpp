#include "ProviderFactory.h"

#include "db/odbc/OdbcBackend.h"
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
std::unique_ptr<Backend> localFile(const LoginParams& login) {
    if (isAccessFile(login)) return odbc(OdbcBackend::Target::AccessFile);
    return std::make_unique<SqliteBackend>();
}

// The logins the program knows, by the provider they name (its start, as versions follow
// it: "MSDASQL.1"); the first that matches makes the backend. A new backend is one more row.
struct Provider {
    const char* prefix;
    std::unique_ptr<Backend> (*make)(const LoginParams& login);
};
const Provider kProviders[] = {
    {"MSDASQL", [](const LoginParams&) { return odbc(OdbcBackend::Target::DataSource); }},
    {"SQLOLEDB", [](const LoginParams&) { return odbc(OdbcBackend::Target::SqlServer); }},
    {"MSDAORA", [](const LoginParams&) { return odbc(OdbcBackend::Target::Oracle); }},
    {"Microsoft.Jet.OLEDB", localFile},
    {"Microsoft.ACE.OLEDB", localFile},
};
} // namespace

std::unique_ptr<Backend> createBackend(const LoginParams& login, ErrorList& errors) {
    for (const Provider& p : kProviders)
        if (login.provider.startsWith(QLatin1String(p.prefix), Qt::CaseInsensitive))
            return p.make(login);
    errors = {errors::providerNotFound()};
    return nullptr;
}

} // namespace db
