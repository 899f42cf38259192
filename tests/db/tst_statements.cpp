// How statements run, on every backend: exactly once, in order, with the rows of the first
// statement that has rows; added rows stored at once; forward-only reading in blocks.
#include "Connection.h"
#include "Recordset.h"
#include "TestBackends.h"

#include <QTest>

#include <sqlite3.h>

using namespace db;
using testdb::Kind;

namespace {
qint64 countRows(Connection& c, const QString& table) {
    Recordset rs;
    if (!rs.Open(QStringLiteral("select count(*) from ") + table, &c)) return -1;
    return rs.text(0, 0).toLongLong();
}

QString wideNumberType(Kind kind) {
    // An unconstrained numeric: the driver cannot know how wide its values are.
    return kind == Kind::PostgresOdbc ? QStringLiteral("numeric") : QStringLiteral("text");
}
} // namespace

class TestStatements : public QObject {
    Q_OBJECT
private slots:
    void wideValuesRunTheStatementOnce_data() { testdb::addBackendRows(); }
    void wideValuesRunTheStatementOnce() {
        QFETCH(QString, backend);
        const testdb::Backend b = testdb::backend(backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS once_n"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE once_n (v %1, t varchar(20), l %2)")
                                    .arg(wideNumberType(b.kind), testdb::nvarchar(b.kind, 20000))));
        const QString wide = QStringLiteral("12345678901234567890123456789012345.678901");
        const QString longText = QString(15000, QLatin1Char('x')) + QStringLiteral("end");
        Recordset rs;
        QVERIFY2(rs.Open(QStringLiteral(
                             "insert into once_n(v, t, l) values (%1, 'a', '%2') returning v, t, l")
                             .arg(b.kind == Kind::PostgresOdbc
                                      ? wide
                                      : QLatin1Char('\'') + wide + QLatin1Char('\''),
                                  longText),
                         &c),
                 qPrintable(testdb::describe(rs.Errors())));
        // The SQLite ODBC driver runs INSERT ... RETURNING without handing back its rows.
        if (b.kind != Kind::SqliteOdbc) {
            QCOMPARE(rs.RecordCount(), 1);
            QCOMPARE(rs.text(0, 0), wide);
            QCOMPARE(rs.text(0, 2), longText);
        }
        QVERIFY(rs.Close());
        QCOMPARE(countRows(c, QStringLiteral("once_n")), 1);
    }

    void severalStatementsFollowOneRule_data() { testdb::addBackendRows(); }
    void severalStatementsFollowOneRule() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS multi_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE multi_t (id integer)")));

        // The rows of the first statement with rows, and every statement run.
        Recordset rs;
        const QString text =
            QStringLiteral("insert into multi_t values (1); select 1 as a; select 2 as b; "
                           "insert into multi_t values (2)");
        if (testdb::backend(backend).kind == Kind::SqliteOdbc ||
            testdb::backend(backend).kind == Kind::MariaDbOdbc) {
            // The SQLite ODBC driver refuses a text of several statements; MariaDB's would run
            // it, but then waits for ever on any other thread, so Tolvan refuses it. Said so,
            // nothing run.
            QVERIFY(!rs.Open(text, &c));
            QVERIFY(!rs.Errors().empty());
            QCOMPARE(countRows(c, QStringLiteral("multi_t")), 0);
            return;
        }
        QVERIFY2(rs.Open(text, &c), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.FieldCount(), 1);
        QCOMPARE(rs.Fields(0).Name(), QStringLiteral("a"));
        QCOMPARE(rs.text(0, 0), QStringLiteral("1"));
        QVERIFY(rs.Close());
        QCOMPARE(countRows(c, QStringLiteral("multi_t")), 2);

        // An error in a later statement is reported, whatever came before it.
        Recordset bad;
        QVERIFY(!bad.Open(QStringLiteral("select 1 as a; select * from no_such_table_x"), &c));
        QVERIFY(!bad.Errors().empty());
        QVERIFY(!c.Execute(QStringLiteral(
            "insert into multi_t values (3); insert into no_such_table_y values (1)")));
        QVERIFY(!c.Errors().empty());
    }

    // psqlODBC reads a text that starts with WITH through a cursor, which a data-changing WITH
    // refuses; the text is then tried once more, but only when it is one statement: of
    // several, those before the refused one have run already.
    void withTextRunsOnce_data() { testdb::addBackendRows(); }
    void withTextRunsOnce() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS once_w"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE once_w (id integer)")));
        const auto runs = [&](int id) {
            return countRows(c, QStringLiteral("once_w where id = %1").arg(id));
        };
        Recordset several;
        const bool ran = several.Open(
            QStringLiteral("with a as (select 1 as x) select x from a; insert into once_w values "
                           "(1); with b as (insert into once_w values (2) returning id) select id "
                           "from b"),
            &c);
        // PostgreSQL runs them all; SQLite has no data-changing WITH and stops at the third;
        // a text of several statements is refused on the SQLite ODBC driver and on MariaDB.
        const bool refused = kind == Kind::SqliteOdbc || kind == Kind::MariaDbOdbc;
        QCOMPARE(ran, kind == Kind::PostgresOdbc);
        QCOMPARE(runs(1), refused ? 0 : 1);
        QCOMPARE(runs(2), kind == Kind::PostgresOdbc ? 1 : 0);
        // A syntax error in a later statement: the ones before it ran once, or not at all.
        Recordset broken;
        QVERIFY(!broken.Open(QStringLiteral("with a as (select 1 as x) select x from a; insert "
                                            "into once_w values (4); selec 2"),
                             &c));
        QVERIFY(runs(4) <= 1);
        if (kind != Kind::PostgresOdbc) return;
        Recordset one;
        QVERIFY2(one.Open(QStringLiteral("with b as (insert into once_w values (3) returning id) "
                                         "select id from b"),
                          &c),
                 qPrintable(testdb::describe(one.Errors())));
        QCOMPARE(one.RecordCount(), 1);
        QCOMPARE(runs(3), 1);
    }

    void addedRowIsStoredAtOnce_data() { testdb::addBackendRows(); }
    void addedRowIsStoredAtOnce() {
        QFETCH(QString, backend);
        Connection c, other;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS at_once"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE at_once (id integer)")));
        QVERIFY(testdb::open(other, backend));

        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from at_once"), &c));
        QVERIFY(rs.AddNew());
        QVERIFY(rs.Fields(0).setValue(Value("1")));
        QVERIFY(rs.Update());
        // Seen by another connection, which can write as well: nothing is held open.
        QCOMPARE(countRows(other, QStringLiteral("at_once")), 1);
        QVERIFY(testdb::exec(other, QStringLiteral("insert into at_once values (2)")));

        // Inside a bulk scope rows may wait for the batch, and its end stores them.
        {
            BulkWriteScope scope(&c);
            for (int i = 10; i < 20; ++i) {
                QVERIFY(rs.AddNew());
                QVERIFY(rs.Fields(0).setValue(Value(QString::number(i))));
                QVERIFY(rs.Update());
            }
            QVERIFY(scope.end());
        }
        QCOMPARE(countRows(other, QStringLiteral("at_once")), 12);
        QVERIFY(testdb::exec(other, QStringLiteral("insert into at_once values (3)")));
    }

    void forwardOnlyReadsEveryRowInBlocks_data() { testdb::addBackendRows(); }
    void forwardOnlyReadsEveryRowInBlocks() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS fwd_t"));
        QVERIFY(
            testdb::exec(c, QStringLiteral("CREATE TABLE fwd_t (id integer, name varchar(20))")));
        const int n = 10000; // several blocks
        QString fill;
        switch (testdb::backend(backend).kind) {
        case Kind::PostgresOdbc:
            fill = QStringLiteral(
                "insert into fwd_t select g, 'n' || g from generate_series(1, %1) g");
            break;
        case Kind::MariaDbOdbc:
            // There || is OR, and the WITH goes inside the INSERT.
            fill = QStringLiteral("insert into fwd_t with recursive g(i) as (select 1 union all "
                                  "select i + 1 from g where i < %1) select i, concat('n', i) "
                                  "from g");
            break;
        default:
            fill = QStringLiteral("with recursive g(i) as (select 1 union all select i + 1 from g "
                                  "where i < %1) insert into fwd_t select i, 'n' || i from g");
            break;
        }
        QVERIFY(testdb::exec(c, fill.arg(n)));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select id, name from fwd_t order by id"), &c,
                        Recordset::adOpenForwardOnly));
        QCOMPARE(rs.RecordCount(), n);
        qint64 sum = 0;
        int rows = 0;
        QString text;
        while (!rs.Eof()) {
            rs.currentTextInto(1, text);
            QCOMPARE(text, QStringLiteral("n") + rs.Fields(0).value().text());
            sum += rs.Fields(0).value().text().toLongLong();
            ++rows;
            QVERIFY(rs.MoveNext());
        }
        QCOMPARE(rows, n);
        QCOMPARE(sum, qint64(n) * (n + 1) / 2);
        QVERIFY(rs.memoryBytes() < 4u << 20);
        // Going back needs the rows held: refused, not answered wrongly.
        QVERIFY(!rs.setSort(QStringLiteral("id desc")));
        QVERIFY(!rs.MovePrevious());

        // Opened only to add: no row is kept, and added rows are stored.
        Recordset add;
        QVERIFY(add.Open(QStringLiteral("select id, name from fwd_t"), &c,
                         Recordset::adOpenForwardOnly));
        QVERIFY(add.AddNew());
        QVERIFY(add.Fields(0).setValue(Value("-1")));
        QVERIFY(add.Update());
        QVERIFY(add.Eof());
        QCOMPARE(countRows(c, QStringLiteral("fwd_t")), n + 1);
    }

    void lockedFileIsReportedAsBusy() {
        const QString path = testdb::newSqliteFile(QStringLiteral("locked.db"));
        sqlite3* holder = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        Connection c;
        c.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path));
        const bool opened = c.Open();
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        QVERIFY(!opened);
        QVERIFY(!c.Errors().empty());
        const QString text = c.Errors().front().Description;
        QVERIFY2(text.contains(QLatin1String("locked")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("Unrecognized")), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
