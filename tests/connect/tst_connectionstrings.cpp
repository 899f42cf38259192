// Connection strings, database names and the ODBC data-source list.
#include "connect/ConnectionStrings.h"
#include "db/odbc/OdbcDataSources.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using db::ConnectionKind;

class TestConnectionStrings : public QObject {
    Q_OBJECT

    // Points the driver manager at a private configuration for one test.
    void useOdbcFiles(const QTemporaryDir& dir, const QByteArray& odbcIni) {
        QFile sys(dir.filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(sys.open(QIODevice::WriteOnly));
        sys.write("[Dummy]\nDriver = /nonexistent/libdummy.so\n");
        sys.close();
        QFile user(dir.filePath(QStringLiteral("odbc.ini")));
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write(odbcIni);
        user.close();
        qputenv("ODBCSYSINI", dir.path().toUtf8());
        qputenv("ODBCINI", dir.filePath(QStringLiteral("odbc.ini")).toUtf8());
    }

private slots:
    void strings_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("databaseName");
        QTest::newRow("odbc") << 0 << "tolvan_pg"
                              << "tolvan"
                              << "secret"
                              << "Provider=MSDASQL.1;Password=secret;Persist Security "
                                 "Info=True;User ID=tolvan;Data Source=tolvan_pg"
                              << "tolvan_pg";
        QTest::newRow("sql server, empty password")
            << 1 << "DBSRV"
            << "sa"
            << ""
            << "Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=sa;Data "
               "Source=DBSRV"
            << "SQL Server";
        QTest::newRow("oracle") << 2 << "ORCL"
                                << "scott"
                                << "tiger"
                                << "Provider=MSDAORA.1;Password=tiger;User ID=scott;Data "
                                   "Source=ORCL;Persist Security Info=True"
                                << "ORACLE";
        QTest::newRow("access, all empty") << 3 << ""
                                           << ""
                                           << ""
                                           << "Provider=Microsoft.Jet.OLEDB.4.0;Password=;User "
                                              "ID=;Data Source=;Persist Security Info=True"
                                           << "";
        QTest::newRow("access path")
            << 3 << "/data/sales.mdb"
            << "admin"
            << "a;b=c"
            << "Provider=Microsoft.Jet.OLEDB.4.0;Password=a;b=c;User ID=admin;Data "
               "Source=/data/sales.mdb;Persist Security Info=True"
            << "sales.mdb";
        QTest::newRow("access bare name") << 3 << "sales.mdb"
                                          << ""
                                          << ""
                                          << "Provider=Microsoft.Jet.OLEDB.4.0;Password=;User "
                                             "ID=;Data Source=sales.mdb;Persist Security Info=True"
                                          << "sales.mdb";
        QTest::newRow("blanks kept") << 0 << " dsn "
                                     << " u "
                                     << " p "
                                     << "Provider=MSDASQL.1;Password= p ;Persist Security "
                                        "Info=True;User ID= u ;Data Source= dsn "
                                     << " dsn ";
    }
    void strings() {
        QFETCH(int, kind);
        QFETCH(QString, location);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        QFETCH(QString, databaseName);
        const LoginInput input{ConnectionKind(kind), location, user, password};
        QCOMPARE(buildConnectionString(input), expected);
        QCOMPARE(databaseNameOf(input), databaseName);
        // The parts reach the driver as typed, whatever they contain.
        const db::LoginParams p = loginParams(input);
        QCOMPARE(p.dataSource, location);
        QCOMPARE(p.userId, user);
        QCOMPARE(p.password, password);
    }

    void settingNames() {
        QCOMPARE(connectionSettingOf(ConnectionKind::Odbc), QStringLiteral("ODBC"));
        QCOMPARE(connectionSettingOf(ConnectionKind::SqlServer), QStringLiteral("SQL"));
        QCOMPARE(connectionSettingOf(ConnectionKind::Oracle), QStringLiteral("ORACLE"));
        QCOMPARE(connectionSettingOf(ConnectionKind::Access), QStringLiteral("Access"));
    }

    void dataSourcesInDriverManagerOrder() {
        QTemporaryDir dir;
        useOdbcFiles(
            dir,
            "[zeta]\nDriver = Dummy\n\n[alpha]\nDriver = Dummy\n\n[データ元]\nDriver = Dummy\n");
        QCOMPARE(db::odbcDataSourceNames(),
                 QStringList({QStringLiteral("zeta"), QStringLiteral("alpha"),
                              QStringLiteral("データ元")}));
        // With the driver each is registered with, as the ODBC backend looks it up.
        const QList<db::OdbcDataSource> sources = db::odbcDataSources();
        QCOMPARE(sources.size(), 3);
        QCOMPARE(sources[2].name, QStringLiteral("データ元"));
        for (const db::OdbcDataSource& source : sources)
            QCOMPARE(source.driver, QStringLiteral("Dummy"));
    }

    void noDataSources() {
        QTemporaryDir dir;
        useOdbcFiles(dir, "");
        QCOMPARE(db::odbcDataSourceNames(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestConnectionStrings)
#include "tst_connectionstrings.moc"
