// How statements run, on every backend: exactly once, in order, with the rows of the first
// statement that has rows; added rows stored at once; forward-only reading in blocks.
#include "TestBackends.h"
#include "db/ColumnCatalog.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sqlite3.h>

using namespace db;
using testdb::Kind;

namespace {
qint64 countRows(Connection& c, const QString& table) {
    Recordset rs;
    if (!rs.Open(QStringLiteral("select count(*) from ") + table, &c)) return -1;
    return rs.text(0, 0).toLongLong();
}

// A table of n rows (id 1..n, name "n" + id) on any backend.
bool fillNumbers(Connection& c, Kind kind, const QString& table, int n) {
    testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ") + table);
    return testdb::exec(
               c, QStringLiteral("CREATE TABLE %1 (id integer, name varchar(20))").arg(table)) &&
           testdb::exec(
               c, QStringLiteral("insert into %1 select i, %2 from %3")
                      .arg(table, testdb::prefixed(kind, QStringLiteral("n"), QStringLiteral("i")),
                           testdb::numbers(kind, n)));
}

// Reads a forward-only record set of (id, name) rows to its end or its first failure; false
// as soon as a row is not the next one in order.
bool readInOrder(Recordset& rs, int& rows, const std::function<void(int)>& afterRow = {}) {
    QString text;
    while (!rs.Eof()) {
        rs.currentTextInto(0, text);
        if (text != QString::number(rows + 1)) return false;
        rs.currentTextInto(1, text);
        if (text != QStringLiteral("n") + QString::number(rows + 1)) return false;
        ++rows;
        if (afterRow) afterRow(rows);
        if (!rs.MoveNext()) return true;
    }
    return true;
}

QString wideNumberType(Kind kind) {
    // An unconstrained numeric: the driver cannot know how wide its values are.
    return testdb::isPostgres(kind) ? QStringLiteral("numeric") : QStringLiteral("text");
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
                             .arg(testdb::isPostgres(b.kind)
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
        QCOMPARE(ran, testdb::isPostgres(kind));
        QCOMPARE(runs(1), refused ? 0 : 1);
        QCOMPARE(runs(2), testdb::isPostgres(kind) ? 1 : 0);
        // A syntax error in a later statement: the ones before it ran once, or not at all.
        Recordset broken;
        QVERIFY(!broken.Open(QStringLiteral("with a as (select 1 as x) select x from a; insert "
                                            "into once_w values (4); selec 2"),
                             &c));
        QVERIFY(runs(4) <= 1);
        if (!testdb::isPostgres(kind)) return;
        Recordset one;
        QVERIFY2(one.Open(QStringLiteral("with b as (insert into once_w values (3) returning id) "
                                         "select id from b"),
                          &c),
                 qPrintable(testdb::describe(one.Errors())));
        QCOMPARE(one.RecordCount(), 1);
        QCOMPARE(runs(3), 1);
    }

    // A statement without rows tells how many rows it changed, as ADO's RecordsAffected;
    // statements that change no rows tell nothing, also after a change (SQLite would repeat
    // that change's count).
    void recordsAffectedCountsChangedRows_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<qint64>("affected");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            const auto row = [&](const char* name, const char* sql, qint64 affected) {
                QTest::newRow(qPrintable(b.name + QLatin1Char('/') + QLatin1String(name)))
                    << b.name << QString::fromLatin1(sql) << affected;
            };
            row("update many", "update ra set id = id + 10", 3);
            row("update none", "update ra set id = 0 where id < 0", 0);
            row("delete one", "/* first */ delete from ra where id = 2", 1);
            row("insert select", "insert into ra select id + 3 from ra", 3);
            row("select", "select * from ra", -1);
            // The drivers' count for a CREATE differs (MariaDB's says 0); SQLite's own is -1.
            if (b.kind == Kind::SqliteNative) {
                row("create after a change", "create table ra_more (x integer)", -1);
                row("with that writes", "with n(v) as (select 7) insert into ra select v from n",
                    1);
            }
        }
    }
    void recordsAffectedCountsChangedRows() {
        QFETCH(QString, backend);
        QFETCH(QString, sql);
        QFETCH(qint64, affected);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ra"));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ra_more"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE ra (id integer)")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO ra VALUES (1), (2), (3)")));
        Recordset rs;
        QVERIFY2(rs.Open(sql, &c), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.RecordsAffected(), affected);
        QVERIFY(rs.Close());
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ra_more"));
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
        case Kind::PostgresNative:
            fill = QStringLiteral(
                "insert into fwd_t select g, 'n' || g from generate_series(1, %1) g");
            break;
        case Kind::MariaDbOdbc:
        case Kind::MariaDbNative:
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
        QCOMPARE(rs.countRows(), n);
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

    // The next block is read on a worker while the current one is used. Whatever else runs on
    // the connection meanwhile takes it back first: a count, other record sets, another
    // forward-only read side by side; the rows stay whole and in order.
    void forwardOnlyReadAheadGivesWay_data() { testdb::addBackendRows(); }
    void forwardOnlyReadAheadGivesWay() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        const int n = 30000;
        QVERIFY(fillNumbers(c, kind, QStringLiteral("ahead_t"), n));
        QVERIFY(fillNumbers(c, kind, QStringLiteral("ahead_u"), n));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ahead_log"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE ahead_log (id integer)")));
        Recordset rs, side;
        QVERIFY(rs.Open(QStringLiteral("select id, name from ahead_t order by id"), &c,
                        Recordset::adOpenForwardOnly));
        int rows = 0;
        QVERIFY(readInOrder(rs, rows, [&](int row) {
            switch (row) {
            case 100: // counted only once a block is being read ahead
                QCOMPARE(rs.countRows(), n);
                break;
            case 5000:
                QCOMPARE(countRows(c, QStringLiteral("ahead_u")), qint64(n));
                break;
            case 9000:
                QVERIFY(c.Execute(QStringLiteral("insert into ahead_log values (1)")));
                break;
            case 12000:
                QVERIFY(side.Open(QStringLiteral("select id, name from ahead_u order by id"), &c,
                                  Recordset::adOpenForwardOnly));
                break;
            }
            // From there on both read, each taking the connection from the other in turn.
            if (row >= 12000 && !side.Eof()) {
                QString text;
                side.currentTextInto(0, text);
                QCOMPARE(text, QString::number(row - 11999));
                QVERIFY(side.MoveNext());
            }
        }));
        QVERIFY2(rs.Errors().empty(), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rows, n);
        QVERIFY(rs.Eof());
        QVERIFY(rs.memoryBytes() < 4u << 20);
        QVERIFY(side.Close());
        QCOMPARE(countRows(c, QStringLiteral("ahead_log")), 1);
    }

    // Column names are read from the catalog on a worker: exactly the listed table's (a name
    // that is a pattern to the driver matches no other table), in order, quoted and Japanese
    // names included. Any other use of the connection takes it back at once; what was not
    // read is read next time.
    void catalogColumnsOnAWorker_data() { testdb::addBackendRows(); }
    void catalogColumnsOnAWorker() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        const auto q = [&](const char* name) {
            return testdb::quoteName(kind, QString::fromUtf8(name));
        };
        const auto make = [&](const QString& table, const QString& columns) {
            testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ") + table);
            QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns)));
        };
        make(q("cat_a_b"), QStringLiteral("x integer, y integer"));
        make(q("cat_axb"), QStringLiteral("z integer"));
        make(q("カタログ 表"), q("列一") + QStringLiteral(" integer, ") + q("Mixed Case") +
                                   QStringLiteral(" integer"));
        const int many = 40;
        for (int i = 0; i < many; ++i)
            make(QStringLiteral("cat_many_%1").arg(i), QStringLiteral("n%1 integer").arg(i));

        std::vector<TableEntry> listed, mine;
        ErrorList errors;
        QVERIFY(c.tables(listed, errors));
        const auto entry = [&](const QString& name) {
            for (const TableEntry& t : listed)
                if (t.Name == name) return t;
            return TableEntry{};
        };
        for (const char* name : {"cat_a_b", "カタログ 表"})
            mine.push_back(entry(QString::fromUtf8(name)));
        QVERIFY(!mine.back().Name.isEmpty());

        ColumnCatalog catalog(&c);
        int done = 0;
        QVERIFY(catalog.read(mine, [&] { ++done; }));
        QTRY_COMPARE(done, 1);
        QVERIFY(!catalog.reading());
        QCOMPARE(*catalog.columns(mine[0]), QStringList({"x", "y"}));
        QCOMPARE(*catalog.columns(mine[1]), QStringList({"列一", "Mixed Case"}));
        QVERIFY(!catalog.read(mine, [&] { ++done; })); // nothing left to read

        std::vector<TableEntry> all;
        for (int i = 0; i < many; ++i)
            all.push_back(entry(QStringLiteral("cat_many_%1").arg(i)));
        QVERIFY(catalog.read(all, [&] { ++done; }));
        // A statement does not wait for the whole catalog, nor fail as busy.
        QCOMPARE(countRows(c, q("cat_a_b")), 0);
        QVERIFY(!catalog.reading());
        QCoreApplication::processEvents();
        QCOMPARE(done, 1); // a read taken back says nothing
        int known = 0;
        for (const TableEntry& t : all)
            if (const QStringList* names = catalog.columns(t)) {
                QCOMPARE(*names, QStringList{QStringLiteral("n%1").arg(&t - all.data())});
                ++known;
            }
        if (known < many) {
            QVERIFY(catalog.read(all, [&] { ++done; }));
            QTRY_COMPARE(done, 2);
        }
        for (const TableEntry& t : all)
            QVERIFY(catalog.columns(t));
        catalog.clear();
        QVERIFY(!catalog.columns(mine[0]));
    }

    // A read that fails in the middle hands over every row before the failing block, in order,
    // then the failure; the connection works on.
    void forwardOnlyReadFailsInTheMiddle_data() { testdb::addBackendRows(); }
    void forwardOnlyReadFailsInTheMiddle() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        const int n = 30000, failing = 20000;
        QVERIFY(fillNumbers(c, kind, QStringLiteral("fails_t"), n));
        // A division by zero; SQLite divides by zero into Null, but takes no absolute value of
        // the smallest integer.
        const QString value =
            testdb::isPostgres(kind)
                ? QStringLiteral("id / (%1 - id)").arg(failing)
                : QStringLiteral("abs(case when id = %1 then -9223372036854775807 - 1 else id end)")
                      .arg(failing);
        // In the order the rows were stored: a sort would meet the failure before the first row.
        Recordset rs;
        const bool opened = rs.Open(
            QStringLiteral("select id, %1 as name, %2 as v from fails_t")
                .arg(testdb::prefixed(kind, QStringLiteral("n"), QStringLiteral("id")), value),
            &c, Recordset::adOpenForwardOnly);
        int rows = 0;
        if (opened) {
            QVERIFY(readInOrder(rs, rows));
        }
        // Some drivers read every row before the first is handed over: the open fails then.
        QVERIFY2(rows < failing, qPrintable(QString::number(rows)));
        QVERIFY(!rs.Errors().empty());
        qInfo("%d rows, then: %s", rows, qPrintable(rs.Errors().front().Description));
        QVERIFY(rs.Close());
        QCOMPARE(countRows(c, QStringLiteral("fails_t")), qint64(n));
    }

    // Closed in the middle, also while the worker waits on a slow statement: the read is
    // cancelled where the driver allows it, and the connection works on.
    void forwardOnlyClosedInTheMiddle_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("slow");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QTest::newRow(qPrintable(b.name)) << b.name << false;
            // The SQLite ODBC and MariaDB drivers read every row when the statement runs: no
            // read is left.
            if (b.kind != Kind::SqliteOdbc && b.kind != Kind::MariaDbOdbc)
                QTest::newRow(qPrintable(b.name + QStringLiteral(" slow"))) << b.name << true;
        }
    }
    void forwardOnlyClosedInTheMiddle() {
        QFETCH(QString, backend);
        QFETCH(bool, slow);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        const int n = 30000;
        QVERIFY(fillNumbers(c, kind, QStringLiteral("closed_t"), n));
        // Past the rows the open reads (psqlODBC fetches 10000 at a time) each row takes long:
        // the worker reading ahead waits there. psqlODBC takes no cancel while it fetches, so
        // its rows only take a few seconds, which the close then waits for; SQLite's would
        // take for ever.
        const QString stall =
            testdb::isPostgres(kind)
                ? QStringLiteral("case when id > 10000 then length(pg_sleep(0.0002)::text) else 0 "
                                 "end")
                : QStringLiteral("case when id > 10000 then (with recursive w(x) as (select 1 "
                                 "union all select x + 1 from w where x < 10000000000) select "
                                 "count(*) from w) else 0 end");
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select id, name, %1 as s from closed_t")
                            .arg(slow ? stall : QStringLiteral("0")),
                        &c, Recordset::adOpenForwardOnly));
        int rows = 0;
        QVERIFY(readInOrder(rs, rows, [&](int row) {
            if (row == 5000) QVERIFY(rs.Close());
        }));
        QCOMPARE(rows, 5000);
        QVERIFY(!rs.isOpen());
        QCOMPARE(countRows(c, QStringLiteral("closed_t")), qint64(n));
        // Nothing of the cancel stays behind for the next statement.
        Recordset next;
        QVERIFY2(next.Open(QStringLiteral("select id, name from closed_t order by id"), &c,
                           Recordset::adOpenForwardOnly),
                 qPrintable(testdb::describe(next.Errors())));
        rows = 0;
        QVERIFY(readInOrder(next, rows));
        QVERIFY2(next.Errors().empty(), qPrintable(testdb::describe(next.Errors())));
        QCOMPARE(rows, n);
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

    // A text that makes the server ask for a file of this machine gets nothing: the native
    // session serves no local file, whatever name is asked for, but an import's rows. (The
    // ODBC driver serves the file the text names.)
    void localFilesAreRefused_data() {
        QTest::addColumn<QString>("backend");
        for (const testdb::Backend& b : testdb::backendsForRows())
            if (b.kind == Kind::MariaDbNative) QTest::newRow(qPrintable(b.name)) << b.name;
    }
    void localFilesAreRefused() {
        QFETCH(QString, backend);
        QTemporaryDir dir;
        QFile secret(dir.filePath(QStringLiteral("secret.txt")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("kept here\n");
        secret.close();
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS infile_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE infile_t (line TEXT)")));
        Recordset rs;
        QVERIFY(!rs.Open(QStringLiteral("LOAD DATA LOCAL INFILE '%1' INTO TABLE infile_t")
                             .arg(secret.fileName()),
                         &c));
        QVERIFY(!rs.Errors().empty());
        QCOMPARE(countRows(c, QStringLiteral("infile_t")), 0);
    }
};

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
