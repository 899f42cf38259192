// Opening connections: every way an open can fail gives a clear error and never a crash or
// a created file; credentials reach the driver intact; timeouts end long statements.
#include "TestBackends.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/StatementWork.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace db;
using testdb::Kind;

namespace {
const QString kProviderNotFound =
    QStringLiteral("Provider cannot be found. It may not be properly installed.");

QString jet(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data "
                          "Source=%1;Persist Security Info=True")
        .arg(path);
}

bool pgAvailable() {
    return !qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty();
}

LoginParams pgLogin(const QString& user, const QString& password) {
    return {QStringLiteral("MSDASQL.1"),
            qEnvironmentVariable("TOLVAN_TEST_PG_DSN"),
            user,
            password,
            {}};
}
} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void badLocalFiles_data() {
        QTest::addColumn<QString>("content"); // "<none>" for no file, "<dir>" for a folder
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "<none>"
                                 << "Could not find file";
        QTest::newRow("folder") << "<dir>"
                                << "Could not find file";
        QTest::newRow("text file") << "this is not a database, just some text that is long enough"
                                   << "Unrecognized database format";
    }
    void badLocalFiles() {
        QFETCH(QString, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        if (content == QLatin1String("<dir>")) {
            QVERIFY(QDir().mkdir(path));
        } else if (content != QLatin1String("<none>")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content.toUtf8());
        }
        Connection c;
        c.setConnectionString(jet(path));
        QVERIFY(!c.Open());
        QVERIFY(!c.isOpen());
        QVERIFY(!c.Errors().empty());
        QVERIFY2(c.Errors().front().Description.contains(message),
                 qPrintable(c.Errors().front().Description));
        QVERIFY(!c.Errors().front().Source.isEmpty());
        if (content == QLatin1String("<none>")) QVERIFY(!QFileInfo::exists(path)); // never created
        // Nothing works on a connection that did not open, and nothing crashes.
        QVERIFY(!c.Execute(QStringLiteral("select 1")));
        Recordset rs;
        QVERIFY(!rs.Open(QStringLiteral("select 1"), &c));
        QVERIFY(!rs.Errors().empty());
    }

    void missingProviders_data() {
        QTest::addColumn<QString>("connectionString");
        QTest::newRow("SQL Server") << "Provider=SQLOLEDB.1;Password=x;Persist Security "
                                       "Info=True;User ID=sa;Data Source=DBSRV";
        QTest::newRow("Oracle") << "Provider=MSDAORA.1;Password=x;User ID=scott;Data "
                                   "Source=ORCL;Persist Security Info=True";
        QTest::newRow("unknown") << "Provider=NoSuch.1;Data Source=x";
    }
    void missingProviders() {
        QFETCH(QString, connectionString);
        Connection c;
        c.setConnectionString(connectionString);
        QVERIFY(!c.Open());
        QCOMPARE(c.Errors().size(), size_t(1));
        QCOMPARE(c.Errors().front().Description, kProviderNotFound);
    }

    void accessFileTheDriverCannotOpen() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.mdb"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not really a Jet file");
        f.close();
        Connection c;
        c.setConnectionString(jet(path));
        QVERIFY(!c.Open());
        // MDBTools gives no reason of its own: the report names the driver and the file.
        const QString report = c.Errors().front().Description;
        QVERIFY2(report.contains(QLatin1String("MDBTools")) && report.contains(path),
                 qPrintable(report));

        c.setConnectionString(jet(dir.filePath(QStringLiteral("missing.mdb"))));
        QVERIFY(!c.Open());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing.mdb"))));
    }

    void odbcOpenFailures_data() {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        const QString pg = qEnvironmentVariable("TOLVAN_TEST_PG_DSN");
        const QString user = qEnvironmentVariable("TOLVAN_TEST_PG_USER");
        QTest::newRow("undefined data source") << "tolvan_no_such_dsn"
                                               << "u"
                                               << "p";
        if (testdb::needServers(!pg.isEmpty())) {
            QTest::newRow("wrong password") << pg << user << "wrong";
            QTest::newRow("unknown user") << pg << "nobody_here"
                                          << "x";
        }
        const QString bad = qEnvironmentVariable("TOLVAN_TEST_BAD_DSN");
        if (testdb::needServers(!bad.isEmpty()))
            QTest::newRow("unreachable server") << bad << user << "x";
    }
    void odbcOpenFailures() {
        QFETCH(QString, dsn);
        QFETCH(QString, user);
        QFETCH(QString, password);
        Connection c;
        c.setConnectionString(
            QStringLiteral("Provider=MSDASQL.1;Password=%1;Persist Security Info=True;User ID=%2;"
                           "Data Source=%3")
                .arg(password, user, dsn));
        QVERIFY(!c.Open());
        QVERIFY(!c.Errors().empty());
        QVERIFY(!c.Errors().front().Description.isEmpty());
        QVERIFY(c.Errors().front().Number != 0);
    }

    void credentialsReachTheDriverIntact_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("semicolon and equals") << "tolvan_semi"
                                              << "p;w=x{y";
        QTest::newRow("closing brace") << "tolvan_brace"
                                       << "a}b;c";
        QTest::newRow("user with semicolon") << "tolvan;odd"
                                             << "plain";
        QTest::newRow("blanks around") << "tolvan_blank"
                                       << " spaced ";
    }
    void credentialsReachTheDriverIntact() {
        TESTDB_NEED_SERVERS(pgAvailable());
        QFETCH(QString, user);
        QFETCH(QString, password);
        Connection admin;
        QVERIFY(testdb::open(admin, QStringLiteral("postgres-odbc")));
        QString quotedPassword = password;
        quotedPassword.replace(QLatin1String("'"), QLatin1String("''"));
        admin.Execute(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(user));
        QVERIFY(testdb::exec(
            admin,
            QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'").arg(user, quotedPassword)));

        // The shown string is a plain concatenation; the parts are given separately.
        const QString shown =
            QStringLiteral("Provider=MSDASQL.1;Password=%1;Persist Security Info=True;User ID=%2;"
                           "Data Source=%3")
                .arg(password, user, qEnvironmentVariable("TOLVAN_TEST_PG_DSN"));
        Connection c;
        c.setLogin(pgLogin(user, password), shown);
        QCOMPARE(c.ConnectionString(), shown);
        QVERIFY2(c.Open(), qPrintable(testdb::describe(c.Errors())));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select current_user"), &c));
        QCOMPARE(rs.text(0, 0), user);
        QVERIFY(rs.Close());
        c.Close();

        Connection wrong;
        wrong.setLogin(pgLogin(user, password + QStringLiteral("x")), shown);
        QVERIFY(!wrong.Open());
        admin.Execute(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(user));
    }

    // A data source of psqlODBC opens through libpq when every key of its entry means something
    // there, unless the user keeps it on the driver; the way taken is told either way.
    void dataSourcesOpenThroughTheServersLibrary_data() {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QStringList>("driverOnly");
        QTest::addColumn<bool>("native");
        QTest::addColumn<QString>("told");
        const QString pg = qEnvironmentVariable("TOLVAN_TEST_PG_DSN");
        QTest::newRow("host, port and database") << pg << QStringList() << true << "libpq";
        QTest::newRow("kept on the driver")
            << pg << QStringList{QStringLiteral(" TOLVAN_PG ")} << false << "設定により";
        QTest::newRow("every data source kept")
            << pg << QStringList{QStringLiteral("*")} << false << "設定により";
        QTest::newRow("another data source kept")
            << pg << QStringList{QStringLiteral("tolvan_maria")} << true << "libpq";
        QTest::newRow("service and settings")
            << QStringLiteral("tolvan_pg_service") << QStringList() << true << "libpq";
        QTest::newRow("packed options")
            << QStringLiteral("tolvan_pg_packed") << QStringList() << false << "キー CX";
    }
    void dataSourcesOpenThroughTheServersLibrary() {
        TESTDB_NEED_SERVERS(pgAvailable());
        QFETCH(QString, dsn);
        QFETCH(QStringList, driverOnly);
        QFETCH(bool, native);
        QFETCH(QString, told);
        Connection c;
        LoginParams login = pgLogin(qEnvironmentVariable("TOLVAN_TEST_PG_USER"),
                                    qEnvironmentVariable("TOLVAN_TEST_PG_PASSWORD"));
        login.dataSource = dsn;
        c.setLogin(login, QString());
        c.setBackendOptions({driverOnly});
        QVERIFY2(c.Open(), qPrintable(testdb::describe(c.Errors())));
        QVERIFY2(c.route().contains(told), qPrintable(c.route()));
        // psqlODBC hands over an infinite timestamp as a date of the year 9999.
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select 'infinity'::timestamp, current_database()"), &c));
        QCOMPARE(rs.text(0, 0) == QLatin1String("infinity"), native);
        QCOMPARE(rs.text(0, 1), qEnvironmentVariable("TOLVAN_TEST_PG_DB"));
        if (dsn == QLatin1String("tolvan_pg_service")) {
            QVERIFY(rs.Open(QStringLiteral("select current_setting('application_name')"), &c));
            QCOMPARE(rs.text(0, 0), QStringLiteral("tolvan service"));
        }
    }

    // MariaDB's data sources as users write them; the way taken is told either way.
    void mariaDbDataSourcesOpenThroughTheServersLibrary_data() {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QStringList>("driverOnly");
        QTest::addColumn<QString>("told");
        const QString maria = qEnvironmentVariable("TOLVAN_TEST_MARIA_DSN");
        QTest::newRow("server, port and database") << maria << QStringList() << "Connector/C";
        QTest::newRow("kept on the driver")
            << maria << QStringList{maria.toUpper()} << "設定により";
        QTest::newRow("socket, settings and options")
            << QStringLiteral("tolvan_maria_socket") << QStringList() << "Connector/C";
        QTest::newRow("reconnecting by itself")
            << QStringLiteral("tolvan_maria_reconnect") << QStringList() << "AUTO_RECONNECT";
        QTest::newRow("unknown key")
            << QStringLiteral("tolvan_maria_unknown") << QStringList() << "キー PREPARE_ONCLIENT";
    }
    void mariaDbDataSourcesOpenThroughTheServersLibrary() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_MARIA_DSN").isEmpty());
        QFETCH(QString, dsn);
        QFETCH(QStringList, driverOnly);
        QFETCH(QString, told);
        Connection c;
        c.setLogin({QStringLiteral("MSDASQL.1"),
                    dsn,
                    qEnvironmentVariable("TOLVAN_TEST_MARIA_USER"),
                    qEnvironmentVariable("TOLVAN_TEST_MARIA_PASSWORD"),
                    {}},
                   QString());
        c.setBackendOptions({driverOnly});
        QVERIFY2(c.Open(), qPrintable(testdb::describe(c.Errors())));
        QVERIFY2(c.route().contains(told), qPrintable(c.route()));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select database(), @tolvan_init, @@session.sql_mode"), &c));
        QCOMPARE(rs.text(0, 0), qEnvironmentVariable("TOLVAN_TEST_MARIA_DB"));
        if (dsn == QLatin1String("tolvan_maria_socket")) {
            // The statement after connecting ran, the bits with a meaning reached the server.
            QCOMPARE(rs.text(0, 1), QStringLiteral("init"));
            QVERIFY2(rs.text(0, 2).contains(QLatin1String("IGNORE_SPACE")),
                     qPrintable(rs.text(0, 2)));
            QVERIFY(rs.Open(QStringLiteral("show session status like 'Compression'"), &c));
            QCOMPARE(rs.text(0, 1), QStringLiteral("ON"));
        }
    }

    void commandTimeoutEndsLongStatements_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("slow");
        QTest::addColumn<QString>("quick");
        QTest::newRow("sqlite")
            << "sqlite"
            << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) "
               "FROM c"
            << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100000) "
               "SELECT count(*) FROM c";
        if (pgAvailable()) {
            QTest::newRow("postgres-odbc") << "postgres-odbc"
                                           << "select pg_sleep(5)"
                                           << "select pg_sleep(1.2)";
            QTest::newRow("postgres") << "postgres"
                                      << "select pg_sleep(5)"
                                      << "select pg_sleep(1.2)";
        }
        // MariaDB's driver limits the statement with the server's max_statement_time, which
        // stops work with error 1969 but makes a SLEEP return early without one.
        for (const char* name : {"mariadb-odbc", "mariadb"})
            if (!testdb::backend(QString::fromLatin1(name)).name.isEmpty())
                QTest::newRow(name) << name
                                    << "select count(*) from (with recursive r(i) as (select 1 "
                                       "union all select i + 1 from r) select i from r) x"
                                    << "select sleep(1.2)";
    }
    void commandTimeoutEndsLongStatements() {
        QFETCH(QString, backend);
        QFETCH(QString, slow);
        QFETCH(QString, quick);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        c.setCommandTimeout(1);
        Recordset rs;
        QVERIFY(!rs.Open(slow, &c));
        QVERIFY(!rs.Errors().empty());
        QVERIFY(!rs.Errors().front().Description.isEmpty());
        // The connection is still usable, and 0 means no limit.
        c.setCommandTimeout(0);
        QVERIFY2(rs.Open(quick, &c), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.RecordCount(), 1);
    }

    void connectionFacts_data() { testdb::addBackendRows(); }
    void connectionFacts() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        QCOMPARE(c.CursorLocation(), int(db::Connection::adUseClient));
        QVERIFY(!c.Version().isEmpty());
        const Kind kind = testdb::backend(backend).kind;
        if (testdb::isPostgres(kind))
            QCOMPARE(c.DefaultDatabase(), qEnvironmentVariable("TOLVAN_TEST_PG_DB"));
        if (testdb::isMariaDb(kind))
            QCOMPARE(c.DefaultDatabase(), qEnvironmentVariable("TOLVAN_TEST_MARIA_DB"));
        if (kind == Kind::SqliteNative) QCOMPARE(c.DefaultDatabase(), QStringLiteral("main"));
        // Lent to a statement another thread runs, the connection refuses every other use; it
        // is open still, and what the session told of itself can be read.
        const QString dbms = c.dbmsName(), quote = c.identifierQuote();
        QVERIFY(!dbms.isEmpty());
        ErrorList errors;
        db::ConnectionLoan loan = c.lend(QStringLiteral("select 1"), errors);
        QVERIFY(loan);
        QVERIFY(c.isOpen());
        QCOMPARE(c.dbmsName(), dbms);
        QCOMPARE(c.identifierQuote(), quote);
        Recordset rs;
        QVERIFY(!rs.Open(QStringLiteral("select 1"), &c));
        QCOMPARE(rs.Errors().front().Number, ErrorNumber::StillExecuting);
        QVERIFY(!c.Execute(QStringLiteral("select 1")));
        QVERIFY(!c.CommitPendingWrites());
        QStringList key;
        QVERIFY(!c.primaryKey(QStringLiteral("t"), key, errors));
        QVERIFY(!c.Open());
        QCOMPARE(c.Errors().front().Number, ErrorNumber::StillExecuting);
        loan.end();
        QVERIFY(c.Execute(QStringLiteral("select 1")));
        // A loan left on any way out of its scope hands the connection back all the same.
        {
            db::ConnectionLoan unended = c.lend(QStringLiteral("select 1"), errors);
            QVERIFY(unended);
            db::ConnectionLoan moved = std::move(unended);
            QVERIFY(!unended);
            QVERIFY(!c.Execute(QStringLiteral("select 1")));
        }
        QVERIFY(c.Execute(QStringLiteral("select 1")));
        c.Close();
        QVERIFY(!c.isOpen());
        QVERIFY(!c.Execute(QStringLiteral("select 1")));
        QCOMPARE(c.DefaultDatabase(), QString());
        QCOMPARE(c.dbmsName(), QString());
    }

    // Every operation starts the same way: a lost session logged in again, then held rows
    // stored. The exception: a change prepared on the session that was lost fails, for it
    // belongs to that session, and the next operation logs in again.
    void everyOperationStartsTheSameWay() {
        TESTDB_NEED_SERVERS(pgAvailable());
        const QString backend = QStringLiteral("postgres-odbc");
        Connection c, other;
        QVERIFY(testdb::open(c, backend));
        QVERIFY(testdb::open(other, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS guard_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE guard_t (id integer primary key)")));
        const auto stored = [&] {
            Recordset rs;
            return rs.Open(QStringLiteral("select count(*) from guard_t"), &other)
                       ? rs.text(0, 0).toInt()
                       : -1;
        };

        // Held rows are stored before the primary key is looked up.
        Recordset target;
        QVERIFY(target.Open(QStringLiteral("select * from guard_t where 1 = 2"), &c,
                            Recordset::adOpenForwardOnly));
        {
            BulkWriteScope scope(&c);
            for (int i = 1; i <= 3; ++i) {
                QVERIFY(target.AddNew());
                QVERIFY(target.Fields(0).setValue(Value(QString::number(i))));
                QVERIFY(target.Update());
            }
            QVERIFY(c.holdsRows());
            QStringList key;
            ErrorList errors;
            QVERIFY(c.primaryKey(QStringLiteral("guard_t"), key, errors));
            QCOMPARE(key, QStringList{QStringLiteral("id")});
            QVERIFY(!c.holdsRows());
            QCOMPARE(stored(), 3);
            QVERIFY(scope.end());
        }

        // A change prepared before the session ends fails; the next operation logs in again.
        ErrorList errors;
        Value one(QStringLiteral("1"));
        const ColumnInfo* id = &target.column(0);
        auto change = c.prepare(QStringLiteral("delete from guard_t where id = ?"), {id}, errors);
        QVERIFY(change);
        const auto endSession = [&] {
            Recordset pid;
            QVERIFY(pid.Open(QStringLiteral("select pg_backend_pid()"), &c));
            QVERIFY(testdb::exec(
                other, QStringLiteral("select pg_terminate_backend(%1)").arg(pid.text(0, 0))));
            QVERIFY(!c.Execute(QStringLiteral("select 1"))); // meets the ended session
        };
        endSession();
        const auto exactlyOne = [](qint64 n, ErrorList&) { return n == 1; };
        QVERIFY(!c.runChecked(*change, {one}, exactlyOne, errors));
        QCOMPARE(stored(), 3);
        change.reset();
        // Preparing is an operation like any other: it logs in again.
        change = c.prepare(QStringLiteral("delete from guard_t where id = ?"), {id}, errors);
        QVERIFY2(change, qPrintable(testdb::describe(errors)));
        QVERIFY2(c.runChecked(*change, {one}, exactlyOne, errors),
                 qPrintable(testdb::describe(errors)));
        QCOMPARE(stored(), 2);
        QVERIFY(target.Close());
    }

    void sampleDatabaseOpens() {
        // The sample shipped for a first start must be usable through the layer.
        const QString script = QStringLiteral(TOLVAN_SOURCE_DIR "/resources/sample.sql");
        QFile f(script);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString path = testdb::newSqliteFile(QStringLiteral("sample.db"));
        Connection c;
        c.setConnectionString(jet(path));
        QVERIFY(c.Open());
        QVERIFY2(c.Execute(QString::fromUtf8(f.readAll())),
                 qPrintable(testdb::describe(c.Errors())));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from order_lines"), &c));
        QVERIFY(rs.RecordCount() >= 1000);
        QVERIFY(rs.Open(QStringLiteral("select * from [sales targets]"), &c));
        QVERIFY(rs.RecordCount() > 0);
        QVERIFY(rs.Open(QStringLiteral("select * from order_totals"), &c));
        QVERIFY(rs.RecordCount() > 0);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
