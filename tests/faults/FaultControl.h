#pragma once

#include <QString>

// Faults the tests cause on real servers and file systems. Each undoes itself on every way
// out of a test, so that the rest of the suite finds the shared server running.
namespace faults {

// The private PostgreSQL cluster of scripts/pg.sh.
bool serverConfigured();
// Stops the server at once: clients see their connection end mid-statement.
bool stopServer();
// Starts it again on the same port; waits until it takes connections.
bool startServer();
bool serverRunning();

// Starts the server again, if a test stopped it, when the scope ends.
class ServerGuard {
public:
    ServerGuard() = default;
    ~ServerGuard();
    ServerGuard(const ServerGuard&) = delete;
    ServerGuard& operator=(const ServerGuard&) = delete;
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

} // namespace faults
