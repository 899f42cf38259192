#include "TestBackends.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace testdb {

namespace {
constexpr qsizetype kAllBackends = 6;

QTemporaryDir& tempDir() {
    static QTemporaryDir dir;
    return dir;
}
} // namespace

QString newSqliteFile(const QString& name) {
    const QString path = tempDir().filePath(name);
    QFile::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                    nullptr);
    sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

QList<Backend> backends() {
    static QList<Backend> list = [] {
        QList<Backend> l;
        const QString native = newSqliteFile(QStringLiteral("native.db"));
        l.push_back(
            {QStringLiteral("sqlite"), Kind::SqliteNative,
             QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=%1;"
                            "Persist Security Info=True")
                 .arg(native)});
        const QString sqliteDsn = qEnvironmentVariable("TOLVAN_TEST_SQLITE_DSN");
        const QString sqliteOdbcFile = qEnvironmentVariable("TOLVAN_TEST_SQLITE_ODBC_DB");
        if (!sqliteDsn.isEmpty() && !sqliteOdbcFile.isEmpty()) {
            QFile::remove(sqliteOdbcFile);
            QFile f(sqliteOdbcFile);
            f.open(QIODevice::WriteOnly);
            l.push_back(
                {QStringLiteral("sqlite-odbc"), Kind::SqliteOdbc,
                 QStringLiteral("Provider=MSDASQL.1;Password=;Persist Security Info=True;User ID=;"
                                "Data Source=%1")
                     .arg(sqliteDsn)});
        }
        // A server's data source, reached either way by the same login.
        const auto server = [&](const char* prefix, Kind odbcKind, Kind nativeKind,
                                const QString& odbcName, const QString& nativeName) {
            const QString env = QStringLiteral("TOLVAN_TEST_%1_").arg(QLatin1String(prefix));
            const QString dsn = qEnvironmentVariable(qPrintable(env + QStringLiteral("DSN")));
            if (dsn.isEmpty()) return;
            const QString login =
                QStringLiteral(
                    "Provider=MSDASQL.1;Password=%1;Persist Security Info=True;User ID=%2;"
                    "Data Source=%3")
                    .arg(qEnvironmentVariable(qPrintable(env + QStringLiteral("PASSWORD"))),
                         qEnvironmentVariable(qPrintable(env + QStringLiteral("USER"))), dsn);
            l.push_back({odbcName, odbcKind, login});
            l.push_back({nativeName, nativeKind, login});
        };
        server("PG", Kind::PostgresOdbc, Kind::PostgresNative, QStringLiteral("postgres-odbc"),
               QStringLiteral("postgres"));
        server("MARIA", Kind::MariaDbOdbc, Kind::MariaDbNative, QStringLiteral("mariadb-odbc"),
               QStringLiteral("mariadb"));
        if (l.size() < kAllBackends) qWarning("%s", qPrintable(serversMissingText()));
        return l;
    }();
    return list;
}

Backend backend(const QString& name) {
    for (const Backend& b : backends())
        if (b.name == name) return b;
    return {};
}

void addBackendRows() {
    QTest::addColumn<QString>("backend");
    for (const Backend& b : backendsForRows())
        QTest::newRow(qPrintable(b.name)) << b.name;
}

QList<Backend> backendsForRows() {
    needServers(serversConfigured());
    return backends();
}

bool sqliteOnly() {
    return qEnvironmentVariable("TOLVAN_TEST_SQLITE_ONLY") == QLatin1String("1");
}

bool serversConfigured() {
    return backends().size() == kAllBackends;
}

QString serversMissingText() {
    return QStringLiteral(
        "the ODBC data sources and servers of scripts/test.sh are not configured: run the tests "
        "through scripts/test.sh, or set TOLVAN_TEST_SQLITE_ONLY=1 to run them on SQLite alone");
}

bool needServers(bool available) {
    if (!available && !sqliteOnly())
        QTest::qFail(qPrintable(serversMissingText()), __FILE__, __LINE__);
    return available;
}

QString describe(const db::ErrorList& errors) {
    QStringList parts;
    for (const db::Error& e : errors)
        parts << QStringLiteral("%1 [%2] %3").arg(e.Number).arg(e.Source, e.Description);
    return parts.join(QLatin1String("; "));
}

QStringList Backend::driverOnly() const {
    // The ODBC ways to the servers are the ones the user keeps by the setting.
    if (kind == Kind::PostgresOdbc) return {qEnvironmentVariable("TOLVAN_TEST_PG_DSN")};
    if (kind == Kind::MariaDbOdbc) return {qEnvironmentVariable("TOLVAN_TEST_MARIA_DSN")};
    return {};
}

void configure(db::Connection& connection, const Backend& backend) {
    connection.setConnectionString(backend.connectionString);
    connection.setBackendOptions({backend.driverOnly()});
}

bool open(db::Connection& connection, const QString& backendName) {
    configure(connection, backend(backendName));
    connection.setCursorLocation(db::Connection::adUseClient);
    if (connection.Open()) return true;
    QTest::qFail(
        qPrintable(QStringLiteral("open %1: %2").arg(backendName, describe(connection.Errors()))),
        __FILE__, __LINE__);
    return false;
}

bool exec(db::Connection& connection, const QString& sql) {
    if (connection.Execute(sql)) return true;
    QTest::qFail(qPrintable(QStringLiteral("%1: %2").arg(sql, describe(connection.Errors()))),
                 __FILE__, __LINE__);
    return false;
}

QString nvarchar(Kind kind, int size) {
    switch (kind) {
    case Kind::PostgresOdbc:
    case Kind::PostgresNative:
        return QStringLiteral("VARCHAR(%1)").arg(size);
    case Kind::MariaDbOdbc:
    case Kind::MariaDbNative:
        // NVARCHAR is utf8mb3 there (no characters outside the BMP); the database's utf8mb4
        // holds everything. A row holds at most 65535 bytes: wider columns are TEXT.
        return size <= 16000 ? QStringLiteral("VARCHAR(%1)").arg(size)
                             : QStringLiteral("MEDIUMTEXT");
    default:
        return QStringLiteral("NVARCHAR(%1)").arg(size);
    }
}

QString doubleType(Kind kind) {
    return isPostgres(kind) ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("DOUBLE");
}

QString blobType(Kind kind) {
    switch (kind) {
    case Kind::PostgresOdbc:
    case Kind::PostgresNative:
        return QStringLiteral("BYTEA");
    case Kind::MariaDbOdbc:
    case Kind::MariaDbNative:
        return QStringLiteral("LONGBLOB");
    default:
        return QStringLiteral("BLOB");
    }
}

QString quoteName(Kind kind, const QString& name) {
    const QString q = isMariaDb(kind) ? QStringLiteral("`") : QStringLiteral("\"");
    return q + QString(name).replace(q, q + q) + q;
}

QString numbers(Kind kind, int n) {
    if (isMariaDb(kind)) return QStringLiteral("(select seq as i from seq_1_to_%1) g").arg(n);
    return QStringLiteral("(with recursive r(i) as (select 1 union all select i + 1 from r where "
                          "i < %1) select i from r) g")
        .arg(n);
}

QString prefixed(Kind kind, const QString& prefix, const QString& number) {
    if (isMariaDb(kind)) return QStringLiteral("concat('%1', %2)").arg(prefix, number);
    return QStringLiteral("'%1' || %2").arg(prefix, number);
}

bool isServer(Kind kind) {
    return isPostgres(kind) || isMariaDb(kind);
}

} // namespace testdb
