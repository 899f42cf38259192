#include "FaultControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <sqlite3.h>

namespace faults {

namespace {
QString env(const char* name) {
    return qEnvironmentVariable(name);
}

bool pgCtl(const QStringList& arguments) {
    return run(QStringLiteral("runuser"),
               QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                           env("TOLVAN_TEST_PG_BINDIR") + QStringLiteral("/pg_ctl"),
                           QStringLiteral("-D"), env("TOLVAN_TEST_PG_DATA")} +
                   arguments,
               90000);
}
} // namespace

bool run(const QString& program, const QStringList& arguments, int timeoutMs, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForStarted(10000)) return false;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return false;
    }
    if (output) *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool serverConfigured(Server server) {
    if (server == Server::MariaDb) return !env("TOLVAN_TEST_MARIA_CTL").isEmpty();
    return !env("TOLVAN_TEST_PG_BINDIR").isEmpty() && !env("TOLVAN_TEST_PG_DATA").isEmpty() &&
           !env("TOLVAN_TEST_PG_PORT").isEmpty();
}

namespace {
// scripts/mariadb.sh writes the server's own start and stop commands beside its data.
bool mariaCtl(const QString& action) {
    return run(env("TOLVAN_TEST_MARIA_CTL"), {action}, 90000);
}
} // namespace

bool serverRunning(Server server) {
    if (!serverConfigured(server)) return false;
    if (server == Server::MariaDb) return mariaCtl(QStringLiteral("status"));
    return pgCtl({QStringLiteral("status")});
}

bool stopServer(Server server) {
    if (!serverConfigured(server)) return false;
    // A normal shutdown (MariaDB's) or a fast one (PostgreSQL's) ends every session, as an
    // administrator's shutdown does.
    if (server == Server::MariaDb) return mariaCtl(QStringLiteral("stop"));
    return pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                  QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("stop")});
}

bool startServer(Server server) {
    if (!serverConfigured(server)) return false;
    if (serverRunning(server)) return true;
    if (server == Server::MariaDb) return mariaCtl(QStringLiteral("start"));
    return pgCtl({QStringLiteral("-l"), env("TOLVAN_TEST_PG_LOG"), QStringLiteral("-o"),
                  QStringLiteral("-p ") + env("TOLVAN_TEST_PG_PORT"), QStringLiteral("-w"),
                  QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
}

ServerGuard::~ServerGuard() {
    if (serverConfigured(m_server) && !serverRunning(m_server)) startServer(m_server);
}

SmallDisk::SmallDisk(qint64 bytes) {
    const QString base =
        env("TOLVAN_TEST_TMP").isEmpty() ? QDir::tempPath() : env("TOLVAN_TEST_TMP");
    m_folder = base + QStringLiteral("/smalldisk-%1-%2/")
                          .arg(QCoreApplication::applicationPid())
                          .arg(reinterpret_cast<quintptr>(this), 0, 16);
    if (!QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("cannot create ") + m_folder;
        return;
    }
    QString out;
    m_mounted =
        run(QStringLiteral("mount"),
            {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
             QStringLiteral("size=%1,mode=0777").arg(bytes), QStringLiteral("tmpfs"), m_folder},
            30000, &out);
    if (!m_mounted) m_error = QStringLiteral("mount failed: ") + out;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) {
        // A file still held open would block a plain unmount; lazy unmount never fails on it.
        if (!run(QStringLiteral("umount"), {m_folder}, 30000))
            run(QStringLiteral("umount"), {QStringLiteral("-l"), m_folder}, 30000);
    }
    QDir().rmdir(m_folder);
}

QString sqliteConnectionString(const QString& file) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=%1;"
                          "Persist Security Info=True")
        .arg(file);
}

bool sqliteExec(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(file.toUtf8().constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool numberedSqliteTable(const QString& file, const QString& table, int rows) {
    return sqliteExec(file, QStringLiteral("create table %1 (id integer primary key, txt "
                                           "varchar(40)); "
                                           "with recursive s(i) as (select 1 union all select "
                                           "i + 1 from s where i < %2) "
                                           "insert into %1 select i, 'row ' || i from s")
                                .arg(table)
                                .arg(rows));
}

} // namespace faults
