#pragma once

#include "Backend.h"

#include <QStringList>
#include <memory>

namespace db {

// What the user chose for the ways a login is served.
struct BackendOptions {
    // Data sources kept on their ODBC drivers, by name ("*" for all of them), although a
    // server's own client library could serve them.
    QStringList driverOnlySources;
};

// Picks the backend for a connection string's provider; fills errors and returns null when
// the provider or its driver is not installed. route tells, in words for the user, which way
// the login goes where there was a choice, and why.
std::unique_ptr<Backend> createBackend(const LoginParams& login, const BackendOptions& options,
                                       QString& route, ErrorList& errors);

} // namespace db
