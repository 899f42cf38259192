#pragma once

#include "db/LoginParams.h"

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace db {

// A psqlODBC data source's entry in libpq's words.
struct PgConnectParams {
    // Keywords and values for PQconnectdbParams, in order (later ones win).
    std::vector<std::pair<QByteArray, QByteArray>> params;
    // Statements the driver would run after connecting (its ConnSettings).
    QString connSettings;
    // The data source lets the driver only read.
    bool readOnly = false;
};

// Maps the keys of a data source served by psqlODBC (as odbc.ini holds them) to libpq's
// parameters, the user id and password typed in the login winning over the entry's. False,
// with the reason in words for the user, when a key has no meaning there: the data source
// then stays on its ODBC driver.
bool pgParamsFromDataSource(const std::vector<std::pair<QString, QString>>& entry,
                            const LoginParams& login, PgConnectParams& out, QString& reason);

} // namespace db
