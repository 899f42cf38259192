#pragma once

#include <QString>

// Faults the tests cause on real servers and file systems. Each undoes itself on every way
// out of a test, so that the rest of the suite finds the shared server running.
namespace faults {

// The private servers of scripts/test.sh: the PostgreSQL cluster of scripts/pg.sh and the
// MariaDB server of scripts/mariadb.sh.
enum class Server { Postgres, MariaDb };

bool serverConfigured(Server server);
// Stops the server at once: clients see their connection end mid-statement.
bool stopServer(Server server);
// Starts it again on the same port; waits until it takes connections.
bool startServer(Server server);
bool serverRunning(Server server);

// Starts the server again, if a test stopped it, when the scope ends.
class ServerGuard {
public:
    explicit ServerGuard(Server server) : m_server(server) {}
    ~ServerGuard();
    ServerGuard(const ServerGuard&) = delete;
    ServerGuard& operator=(const ServerGuard&) = delete;

private:
    Server m_server;
};

// A small tmpfs mounted for the scope's life and unmounted whatever happens.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    // The mount point, ending with "/".
    QString folder() const { return m_folder; }
    QString error() const { return m_error; }

private:
    QString m_folder;
    QString m_error;
    bool m_mounted = false;
};

// Runs a program and waits at most timeoutMs; false when it fails or does not end.
bool run(const QString& program, const QStringList& arguments, int timeoutMs = 60000,
         QString* output = nullptr);

// SQLite files the tests make and change behind the program's back.
QString sqliteConnectionString(const QString& file);
bool sqliteExec(const QString& file, const QString& sql);
// A table of this many rows (id 1..rows, txt "row " + id) in the file.
bool numberedSqliteTable(const QString& file, const QString& table, int rows);

} // namespace faults
