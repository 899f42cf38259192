// Table-list retrieval on real databases: kinds, quoting, views skipped, failures.
#include "TestBackends.h"
#include "db/IdentifierQuoting.h"
#include "query/TableListRetrieval.h"
#include "query/modKorvel.h"

#include <QTest>

namespace {
class QuietWindow : public OperationFeedback {
public:
    QStringList busy;
    void SetWindowEnabled(bool) override {}
    void ShowBusy(const QString& message, bool, bool) override { busy << message; }
    void HideBusy() override { busy << QStringLiteral("hidden"); }
};
} // namespace

class TestTableList : public QObject {
    Q_OBJECT
    db::ConnectionRecord m_record;
    QuietWindow m_window;

    void openFresh(const QString& backend, db::ConnectionKind kind,
                   const QString& file = QString()) {
        m_record = db::ConnectionRecord();
        m_record.kind = kind;
        m_record.adoConnection = std::make_unique<db::Connection>();
        if (!file.isEmpty()) {
            m_record.adoConnection->setConnectionString(
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(file));
            QVERIFY(m_record.adoConnection->Open());
        } else {
            QVERIFY(testdb::open(*m_record.adoConnection, backend));
        }
    }
    TableList retrieve() {
        ProgramState state(m_record);
        return RetrieveTableList(state, m_window);
    }

private slots:
    void bracketing() {
        QCOMPARE(db::BracketName(QStringLiteral("a]b")), QStringLiteral("[a]b]"));
        db::ConnectionRecord none;
        none.kind = db::ConnectionKind::SqlServer;
        QCOMPARE(db::AddTableName(QStringLiteral("sales"), none), QStringLiteral("sales"));
        QCOMPARE(db::AddTableName(QStringLiteral("sales$"), none), QStringLiteral("[sales$]"));
        QCOMPARE(db::AddTableName(QStringLiteral("Order Details"), none),
                 QStringLiteral("[Order Details]"));
        QCOMPARE(db::AddTableName(QStringLiteral("a{b"), none), QStringLiteral("[a{b]"));
        none.kind = db::ConnectionKind::Access;
        QCOMPARE(db::AddTableName(QStringLiteral("Customers"), none),
                 QStringLiteral("[Customers]"));
        // A column's name only where it needs them: a blank, a reserved word, a leading digit.
        QCOMPARE(db::AddColumnName(QStringLiteral("Customers"), none), QStringLiteral("Customers"));
        QCOMPARE(db::AddColumnName(QStringLiteral("顧客名"), none), QStringLiteral("顧客名"));
        QCOMPARE(db::AddColumnName(QStringLiteral("Order No"), none), QStringLiteral("[Order No]"));
        QCOMPARE(db::AddColumnName(QStringLiteral("order"), none), QStringLiteral("[order]"));
        QCOMPARE(db::AddColumnName(QStringLiteral("1st"), none), QStringLiteral("[1st]"));
    }

    void sqliteFile_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("as a local file")
            << int(db::ConnectionKind::Access) << "[a table]|[plain]|[sales$]";
        QTest::newRow("as another kind")
            << int(db::ConnectionKind::SqlServer) << "[a table]|plain|[sales$]";
    }
    void sqliteFile() {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        const QString file = testdb::newSqliteFile(QStringLiteral("tables.db"));
        openFresh(QString(), db::ConnectionKind(kind), file);
        for (const char* sql :
             {"CREATE TABLE plain (id INTEGER)", "CREATE TABLE \"a table\" (id INTEGER)",
              "CREATE TABLE \"sales$\" (id INTEGER)", "CREATE VIEW v AS SELECT * FROM plain",
              "CREATE TABLE seq (id INTEGER PRIMARY KEY AUTOINCREMENT)"})
            QVERIFY(testdb::exec(*m_record.adoConnection, QString::fromLatin1(sql)));
        const TableList list = retrieve();
        QVERIFY(!list.failed);
        QStringList names = list.items;
        names.removeAll(kind == int(db::ConnectionKind::Access) ? QStringLiteral("[seq]")
                                                                : QStringLiteral("seq"));
        QCOMPARE(names.join(QLatin1Char('|')),
                 expected); // the view and sqlite_sequence are left out
        QCOMPARE(list.text, list.items.front());
        QCOMPARE(m_window.busy.front(),
                 QStringLiteral("テーブルリストを取得しています\r\nしばらくお待ちください"));
        QCOMPARE(m_window.busy.back(), QStringLiteral("hidden"));
    }

    void emptyDatabase() {
        openFresh(QString(), db::ConnectionKind::Access,
                  testdb::newSqliteFile(QStringLiteral("empty.db")));
        const TableList list = retrieve();
        QVERIFY(!list.failed);
        QVERIFY(list.items.isEmpty());
        QCOMPARE(list.text, QString());
    }

    void failingCatalog() {
        openFresh(QString(), db::ConnectionKind::Access,
                  testdb::newSqliteFile(QStringLiteral("gone.db")));
        m_record.adoConnection->Close();
        const TableList list = retrieve();
        QVERIFY(list.failed);
        QVERIFY(list.items.isEmpty());
    }

    void oracleKindReadsTab() {
        // A table "tab" with a TNAME column stands in for Oracle's view of the schema.
        openFresh(QString(), db::ConnectionKind::Oracle,
                  testdb::newSqliteFile(QStringLiteral("oracle.db")));
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral("CREATE TABLE tab (TNAME VARCHAR(30), TABTYPE VARCHAR(7))")));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO tab VALUES ('EMP  ', 'TABLE'), "
                                            "('EMP_VIEW', 'VIEW'), ('ORDER ITEMS', 'SYNONYM')")));
        const TableList list = retrieve();
        QVERIFY(!list.failed);
        QCOMPARE(list.items, QStringList({"EMP", "EMP_VIEW", "[ORDER ITEMS]"}));
        QCOMPARE(list.text, QStringLiteral("EMP"));
        // An empty schema fails like Oracle does.
        QVERIFY(testdb::exec(*m_record.adoConnection, QStringLiteral("DELETE FROM tab")));
        QVERIFY(retrieve().failed);
    }

    void postgresUsesDoubleQuotes() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        openFresh(QStringLiteral("postgres-odbc"), db::ConnectionKind::Odbc);
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP VIEW IF EXISTS tl_view"));
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS \"tl order\""));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE \"tl order\" (id INTEGER)")));
        QVERIFY(
            testdb::exec(c, QStringLiteral("CREATE VIEW tl_view AS SELECT * FROM \"tl order\"")));
        const TableList list = retrieve();
        QVERIFY(!list.failed);
        QVERIFY2(list.items.contains(QStringLiteral("\"tl order\"")),
                 qPrintable(list.items.join(QLatin1Char(','))));
        QVERIFY(!list.items.contains(QStringLiteral("tl_view")));
        // The quoted name opens the table.
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from ") + QStringLiteral("\"tl order\""), &c));
    }

    // Names PostgreSQL would fold or misread are quoted, tables of the other schemas on the
    // search path are qualified, and every listed name opens its table.
    void postgresNamesOpenAsListed() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        openFresh(QStringLiteral("postgres-odbc"), db::ConnectionKind::Odbc);
        db::Connection& c = *m_record.adoConnection;
        for (const char* sql :
             {"DROP SCHEMA IF EXISTS tl_other CASCADE", "DROP TABLE IF EXISTS \"MixedCase\"",
              "DROP TABLE IF EXISTS \"order\"", "DROP TABLE IF EXISTS tl_plain"})
            QVERIFY(testdb::exec(c, QString::fromLatin1(sql)));
        for (const char* sql :
             {"CREATE TABLE \"MixedCase\" (id INTEGER)", "INSERT INTO \"MixedCase\" VALUES (1)",
              "CREATE TABLE \"order\" (id INTEGER)", "CREATE TABLE tl_plain (id INTEGER)",
              "CREATE SCHEMA tl_other", "CREATE TABLE tl_other.tl_second (id INTEGER)",
              "INSERT INTO tl_other.tl_second VALUES (2), (3)",
              "SET search_path TO public, tl_other"})
            QVERIFY(testdb::exec(c, QString::fromLatin1(sql)));

        const TableList list = retrieve();
        QVERIFY(!list.failed);
        const QString all = list.items.join(QLatin1Char(','));
        const QStringList expected = {QStringLiteral("\"MixedCase\""), QStringLiteral("\"order\""),
                                      QStringLiteral("tl_plain"),
                                      QStringLiteral("tl_other.tl_second")};
        for (const QString& name : expected)
            QVERIFY2(list.items.contains(name), qPrintable(name + " in " + all));
        QVERIFY2(!list.items.contains(QStringLiteral("MixedCase")), qPrintable(all));

        for (const QString& name : expected) {
            db::Recordset rs;
            QVERIFY2(rs.Open(QStringLiteral("select * from ") + name, &c),
                     qPrintable(name + ": " + testdb::describe(rs.Errors())));
        }
        db::Recordset second;
        QVERIFY(second.Open(QStringLiteral("select * from tl_other.tl_second"), &c));
        QCOMPARE(second.RecordCount(), 2);
        QVERIFY(testdb::exec(c, QStringLiteral("DROP SCHEMA tl_other CASCADE")));
    }

    // MariaDB's driver quotes with backticks and reports the words its server reserves; its
    // catalog would list every database's tables, of which only the current one's open by
    // their bare name. The status bar names the current database and follows a USE.
    void mariadbNamesOpenAsListed() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_MARIA_DSN").isEmpty());
        openFresh(QStringLiteral("mariadb-odbc"), db::ConnectionKind::Odbc);
        m_record.databaseName = qEnvironmentVariable("TOLVAN_TEST_MARIA_DSN");
        db::Connection& c = *m_record.adoConnection;
        QCOMPARE(c.identifierQuote(), QStringLiteral("`"));
        for (const char* sql :
             {"DROP VIEW IF EXISTS tl_view", "DROP TABLE IF EXISTS `tl order`",
              "DROP TABLE IF EXISTS `key`", "DROP TABLE IF EXISTS `select`",
              "DROP TABLE IF EXISTS MixedCase", "DROP TABLE IF EXISTS tl_plain",
              "DROP TABLE IF EXISTS `tl``tick`", "DROP TABLE IF EXISTS tolvan_other.tl_elsewhere",
              "CREATE TABLE `tl order` (id INTEGER)", "INSERT INTO `tl order` VALUES (1)",
              "CREATE TABLE `key` (id INTEGER)", "CREATE TABLE `select` (id INTEGER)",
              "CREATE TABLE MixedCase (id INTEGER)", "CREATE TABLE tl_plain (id INTEGER)",
              "CREATE TABLE `tl``tick` (id INTEGER)",
              "CREATE VIEW tl_view AS SELECT * FROM tl_plain",
              "CREATE TABLE tolvan_other.tl_elsewhere (id INTEGER)"})
            QVERIFY(testdb::exec(c, QString::fromLatin1(sql)));

        const TableList list = retrieve();
        QVERIFY(!list.failed);
        const QString all = list.items.join(QLatin1Char(','));
        // A word only MariaDB reserves (KEY) is quoted as well as a standard one (SELECT).
        const QStringList expected = {QStringLiteral("`tl order`"), QStringLiteral("`key`"),
                                      QStringLiteral("`select`"),   QStringLiteral("MixedCase"),
                                      QStringLiteral("tl_plain"),   QStringLiteral("`tl``tick`")};
        for (const QString& name : expected)
            QVERIFY2(list.items.contains(name), qPrintable(name + " in " + all));
        QVERIFY2(!list.items.contains(QStringLiteral("tl_view")), qPrintable(all));
        QVERIFY2(!all.contains(QLatin1String("tl_elsewhere")), qPrintable(all));
        QVERIFY2(!all.contains(QLatin1String("information_schema"), Qt::CaseInsensitive) &&
                     !all.contains(QLatin1String("COLUMNS")),
                 qPrintable(all));
        for (const QString& name : expected) {
            db::Recordset rs;
            QVERIFY2(rs.Open(QStringLiteral("select * from ") + name, &c),
                     qPrintable(name + ": " + testdb::describe(rs.Errors())));
        }

        const QString dsn = qEnvironmentVariable("TOLVAN_TEST_MARIA_DSN");
        QCOMPARE(databasePanelText(m_record),
                 QStringLiteral("ODBC: %1/DB:%2")
                     .arg(dsn, qEnvironmentVariable("TOLVAN_TEST_MARIA_DB")));
        QVERIFY(testdb::exec(c, QStringLiteral("USE tolvan_other")));
        QCOMPARE(databasePanelText(m_record), QStringLiteral("ODBC: %1/DB:tolvan_other").arg(dsn));
        const TableList other = retrieve();
        QCOMPARE(other.items, QStringList{QStringLiteral("tl_elsewhere")});
        QVERIFY(testdb::exec(c, QStringLiteral("DROP TABLE tl_elsewhere")));
    }
};

QTEST_GUILESS_MAIN(TestTableList)
#include "tst_tablelist.moc"
