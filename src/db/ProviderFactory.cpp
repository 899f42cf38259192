#include "ProviderFactory.h"

#include "odbc/OdbcBackend.h"
#include "sqlite/SqliteBackend.h"

namespace db {

std::unique_ptr<Backend> createBackend(const LoginParams& login, ErrorList& errors) {
    const QString provider = login.provider;
    auto is = [&](const char* prefix) {
        return provider.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
    };
    if (is("MSDASQL")) return std::make_unique<OdbcBackend>(OdbcBackend::Target::DataSource);
    if (is("SQLOLEDB")) return std::make_unique<OdbcBackend>(OdbcBackend::Target::SqlServer);
    if (is("MSDAORA")) return std::make_unique<OdbcBackend>(OdbcBackend::Target::Oracle);
    // The Access login names a local database file. Linux has no Jet or ACE engine: an Access
    // file is read through MDBTools, and any other file is taken for what a local database
    // file is here, a SQLite one.
    if (is("Microsoft.Jet.OLEDB") || is("Microsoft.ACE.OLEDB")) {
        const QString path = login.dataSource.trimmed();
        if (path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive) ||
            path.endsWith(QLatin1String(".accdb"), Qt::CaseInsensitive))
            return std::make_unique<OdbcBackend>(OdbcBackend::Target::AccessFile);
        return std::make_unique<SqliteBackend>();
    }
    errors = {errors::providerNotFound()};
    return nullptr;
}

} // namespace db
