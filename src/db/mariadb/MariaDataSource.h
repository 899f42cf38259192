#pragma once

#include "db/LoginParams.h"

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace db {

// A MariaDB Connector/ODBC data source's entry in the words of MariaDB Connector/C.
struct MariaConnectParams {
    QByteArray host;
    QByteArray user;
    QByteArray password;
    QByteArray database;
    QByteArray socket;
    unsigned int port = 0;
    // Client flags of the connection (CLIENT_COMPRESS, CLIENT_IGNORE_SPACE, ...).
    unsigned long clientFlags = 0;
    QByteArray charset = "utf8mb4";
    // Statements run after connecting (the entry's INITSTMT).
    QByteArray initStatement;
    unsigned int connectTimeout = 15;
    unsigned int readTimeout = 0;
    unsigned int writeTimeout = 0;
    // The option files' group to read, as the driver's USE_MYCNF reads them.
    QByteArray readDefaultGroup;
    // TLS: files, ciphers, versions and checks, by the library's option names.
    struct Tls {
        QByteArray key, cert, ca, caPath, cipher, crl, crlPath, version, peerFingerprint,
            peerFingerprintList, serverPublicKey;
        bool verify = false;
        bool enforce = false;
    } tls;
};

// Maps the keys of a data source served by MariaDB's ODBC driver (as odbc.ini holds them) to
// the client library's settings, the user id and password typed in the login winning over
// the entry's. False, with the reason in words for the user, when a key or an OPTIONS bit has
// no meaning there: the data source then stays on its ODBC driver.
bool mariaParamsFromDataSource(const std::vector<std::pair<QString, QString>>& entry,
                               const LoginParams& login, MariaConnectParams& out, QString& reason);

} // namespace db
