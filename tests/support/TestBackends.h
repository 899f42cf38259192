#pragma once

#include "db/Connection.h"

#include <QString>
#include <QStringList>
#include <QTest>

// The databases every data-access test runs against: SQLite natively, SQLite through its
// ODBC driver, PostgreSQL through psqlODBC and through libpq (the same data source, kept on
// its driver or not) and MariaDB through MariaDB Connector/ODBC and through Connector/C (the
// servers when the test script has set them up; scripts/test.sh always does).
namespace testdb {

enum class Kind {
    SqliteNative,
    SqliteOdbc,
    PostgresOdbc,
    PostgresNative,
    MariaDbOdbc,
    MariaDbNative
};
// Either way to PostgreSQL: the same database, the same SQL.
inline bool isPostgres(Kind kind) {
    return kind == Kind::PostgresOdbc || kind == Kind::PostgresNative;
}
// Either way to MariaDB.
inline bool isMariaDb(Kind kind) {
    return kind == Kind::MariaDbOdbc || kind == Kind::MariaDbNative;
}
// The kind whose rows of expectations a backend shares: the database behind it.
inline Kind databaseOf(Kind kind) {
    if (kind == Kind::SqliteOdbc) return Kind::SqliteNative;
    if (kind == Kind::PostgresNative) return Kind::PostgresOdbc;
    if (kind == Kind::MariaDbNative) return Kind::MariaDbOdbc;
    return kind;
}

struct Backend {
    QString name;
    Kind kind;
    QString connectionString;
    // The data sources this backend keeps on their ODBC drivers, as the user's setting would.
    QStringList driverOnly() const;
};

QList<Backend> backends();
Backend backend(const QString& name);

// Adds a "backend" column and one row per available backend; without the servers of
// scripts/test.sh the data function fails (see needServers).
void addBackendRows();
// The available backends, for a data function that makes rows of its own of them; it fails
// the same way.
QList<Backend> backendsForRows();

// scripts/test.sh sets up data sources for SQLite, PostgreSQL and MariaDB, the servers behind
// them and the controls of those servers. A plain ctest without them would pass quietly on
// SQLite alone: what needs them fails instead, unless TOLVAN_TEST_SQLITE_ONLY=1 says that
// SQLite alone is meant (then it is skipped, or runs on SQLite only).
bool sqliteOnly();
// Whether the SQLite, PostgreSQL and MariaDB data sources are all set up.
bool serversConfigured();
// The failure's text: what is missing and the two ways out.
QString serversMissingText();
// Records the failure in the running test, data functions included, when available is false
// and SQLite alone was not asked for; returns available.
bool needServers(bool available);

// Opens a connection to the named backend; fails the test on error.
bool open(db::Connection& connection, const QString& backendName);
// Gives a connection the backend's string and options, without opening it.
void configure(db::Connection& connection, const Backend& backend);

// Runs a statement through the layer; fails the test with the driver's message on error.
bool exec(db::Connection& connection, const QString& sql);

// Column types per dialect, so one table definition serves every backend.
QString nvarchar(Kind kind, int size);
QString doubleType(Kind kind);
QString blobType(Kind kind);
// A quoted identifier for test statements: MariaDB quotes with backticks unless its
// sql_mode has ANSI_QUOTES, which a user's server usually has not.
QString quoteName(Kind kind, const QString& name);
// A table expression "g" whose column i numbers its rows from 1 to n.
QString numbers(Kind kind, int n);
// The text prefix followed by the digits of number ('n' || i).
QString prefixed(Kind kind, const QString& prefix, const QString& number);
// True for the backends that run on a server (whose session can be lost or cancelled).
bool isServer(Kind kind);

// Text of a layer error list, for failure messages.
QString describe(const db::ErrorList& errors);

// A fresh SQLite file in a folder removed when the test program ends.
QString newSqliteFile(const QString& name);

} // namespace testdb

// At the start of a test function (or init()) that needs what scripts/test.sh sets up:
// without it the test fails, or is skipped when TOLVAN_TEST_SQLITE_ONLY=1.
#define TESTDB_NEED_SERVERS(available)                                                             \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (!testdb::sqliteOnly()) QFAIL(qPrintable(testdb::serversMissingText()));            \
            QSKIP("TOLVAN_TEST_SQLITE_ONLY=1: this needs the servers of scripts/test.sh");         \
        }                                                                                          \
    } while (false)
