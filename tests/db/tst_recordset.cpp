// Reading through the layer, run against every backend: types, values, counts, sorting,
// requery, failures and the catalog.
#include "TestBackends.h"
#include "db/AdoType.h"
#include "db/Catalog.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QTest>

using namespace db;
using testdb::Kind;

namespace {
QStringList column(Recordset& rs, int col) {
    QStringList out;
    for (qint32 r = 0; r < rs.RecordCount(); ++r)
        out << (rs.isNull(r, col) ? QStringLiteral("<null>") : rs.text(r, col));
    return out;
}

QString longMemo() {
    QString s;
    for (int i = 0; i < 1500; ++i)
        s += QStringLiteral("行%1,\"q\";").arg(i);
    return s;
}
} // namespace

class TestRecordset : public QObject {
    Q_OBJECT
private slots:
    void typesAndValues_data() { testdb::addBackendRows(); }
    void typesAndValues() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        const bool pg = testdb::isPostgres(kind);
        // MariaDB has no boolean type: BOOLEAN is TINYINT(1), and its driver says TINYINT.
        const bool maria = testdb::isMariaDb(kind);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS types_t"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE types_t (id INTEGER PRIMARY KEY, code VARCHAR(10), "
                              "name %1, amount DECIMAL(12,2), created TIMESTAMP, d DATE, "
                              "flag BOOLEAN, big BIGINT, r %2, memo TEXT, b %3)")
                   .arg(testdb::nvarchar(kind, 40), testdb::doubleType(kind),
                        testdb::blobType(kind))));
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO types_t VALUES (1, '000123', '山田　太郎', 1234.50, "
                              "'2024-01-15 10:30:00', "
                              "'2024-01-15', %1, 9007199254740993, 0.1, '%2', %3)")
                   .arg(pg ? QStringLiteral("true") : QStringLiteral("1"), longMemo(),
                        pg ? QStringLiteral("'\\x0102ff'::bytea") : QStringLiteral("x'0102FF'"))));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO types_t (id) VALUES (2)")));

        Recordset rs;
        QVERIFY2(rs.Open(QStringLiteral("select * from types_t order by id"), &c),
                 qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.FieldCount(), 11);
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(rs.Source(), QStringLiteral("select * from types_t order by id"));

        auto type = [&](int i) { return rs.Fields(i).Type(); };
        QCOMPARE(rs.Fields(0).Name(), QStringLiteral("id"));
        QCOMPARE(type(0), int(adInteger));
        QCOMPARE(type(1), int(pg || maria ? adVarWChar : adVarChar));
        QCOMPARE(rs.Fields(1).DefinedSize(), 10);
        QCOMPARE(type(2), int(kind == Kind::SqliteOdbc ? adVarChar : adVarWChar));
        QCOMPARE(rs.Fields(2).DefinedSize(), 40);
        if (kind != Kind::SqliteOdbc) { // that driver reports decimals as text
            QCOMPARE(type(3), int(adNumeric));
            QCOMPARE(rs.Fields(3).Precision(), 12);
            QCOMPARE(rs.Fields(3).NumericScale(), 2);
        }
        QCOMPARE(type(4), int(adDBTimeStamp));
        QCOMPARE(type(5), int(adDBDate));
        QCOMPARE(type(6), int(maria ? adUnsignedTinyInt : adBoolean));
        QCOMPARE(type(7), int(adBigInt));
        QCOMPARE(type(8), int(adDouble));
        QCOMPARE(type(9), int(kind == Kind::SqliteOdbc ? adLongVarChar : adLongVarWChar));

        QCOMPARE(rs.text(0, 1), QStringLiteral("000123"));
        QCOMPARE(rs.text(0, 2), QStringLiteral("山田　太郎"));
        QCOMPARE(rs.text(0, 3), QStringLiteral("1234.5"));
        // SQLite files keep dates as the text they were stored as.
        QCOMPARE(rs.text(0, 4), kind == Kind::SqliteNative ? QStringLiteral("2024-01-15 10:30:00")
                                                           : QStringLiteral("2024/01/15 10:30:00"));
        QCOMPARE(rs.text(0, 5), kind == Kind::SqliteNative ? QStringLiteral("2024-01-15")
                                                           : QStringLiteral("2024/01/15"));
        QCOMPARE(rs.text(0, 6), maria ? QStringLiteral("1") : QStringLiteral("True"));
        QCOMPARE(rs.text(0, 7), QStringLiteral("9007199254740993"));
        QCOMPARE(rs.text(0, 8), QStringLiteral("0.1"));
        QCOMPARE(rs.text(0, 9), longMemo());
        QCOMPARE(rs.text(0, 10), QStringLiteral("0102FF"));

        for (int i = 1; i < rs.FieldCount(); ++i) {
            QVERIFY2(rs.isNull(1, i), qPrintable(rs.Fields(i).Name()));
            QVERIFY(rs.value(1, i).isNull());
        }
        // Field values follow the current row.
        QVERIFY(rs.MoveFirst());
        QCOMPARE(rs.Fields(1).value().text(), QStringLiteral("000123"));
        QVERIFY(rs.MoveNext());
        QVERIFY(rs.Fields(1).value().isNull());
        QVERIFY(rs.MoveNext());
        QVERIFY(rs.Eof());
        QVERIFY(!rs.MoveNext()); // past the end is an error, not a crash
        QVERIFY(!rs.Errors().empty());
    }

    void recordCounts_data() { testdb::addBackendRows(); }
    void recordCounts() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS count_t"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE count_t (id INTEGER, label VARCHAR(20))")));
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO count_t WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                              "SELECT i + 1 FROM n WHERE i < 5000) SELECT i, 'row' FROM n")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from count_t"), &c));
        QCOMPARE(rs.RecordCount(), 5000);
        qint64 sum = 0, rows = 0;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            sum += rs.Fields(0).value().text().toLongLong();
            ++rows;
        }
        QCOMPARE(rows, 5000);
        QCOMPARE(sum, 5000LL * 5001 / 2);

        Recordset empty;
        QVERIFY(empty.Open(QStringLiteral("select * from count_t where 1 = 2"), &c));
        QCOMPARE(empty.RecordCount(), 0);
        QCOMPARE(empty.FieldCount(), 2);
        QVERIFY(empty.Eof());
        QVERIFY(empty.Bof());
    }

    void statementsWithoutRows_data() { testdb::addBackendRows(); }
    void statementsWithoutRows() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("DROP TABLE IF EXISTS norows_t"), &c));
        QVERIFY(rs.Open(QStringLiteral("CREATE TABLE norows_t (id INTEGER)"), &c));
        QVERIFY(rs.isOpen());
        QCOMPARE(rs.FieldCount(), 0);
        QCOMPARE(rs.RecordCount(), 0);
        QVERIFY(rs.Open(QStringLiteral("INSERT INTO norows_t VALUES (1)"), &c));
        QCOMPARE(rs.FieldCount(), 0);
        // An UPDATE that matches nothing is still a success.
        QVERIFY(rs.Open(QStringLiteral("UPDATE norows_t SET id = 2 WHERE id = 99"), &c));
        QCOMPARE(rs.FieldCount(), 0);
        // A statement that starts with WITH may change rows instead of returning them.
        const QString withInsert =
            QStringLiteral("WITH x(a) AS (SELECT 5) INSERT INTO norows_t SELECT a FROM x");
        if (testdb::isMariaDb(testdb::backend(backend).kind)) {
            // MariaDB takes a WITH only inside the INSERT: the server refuses the text.
            QVERIFY(!rs.Open(withInsert, &c));
            QVERIFY(!rs.Errors().empty());
            QVERIFY2(rs.Open(QStringLiteral(
                                 "INSERT INTO norows_t WITH x(a) AS (SELECT 5) SELECT a FROM x"),
                             &c),
                     qPrintable(testdb::describe(rs.Errors())));
        } else {
            QVERIFY2(rs.Open(withInsert, &c), qPrintable(testdb::describe(rs.Errors())));
        }
        QCOMPARE(rs.FieldCount(), 0);
        QVERIFY(rs.Open(
            QStringLiteral("WITH x(a) AS (SELECT id FROM norows_t) SELECT a FROM x ORDER BY a"),
            &c));
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(rs.text(1, 0), QStringLiteral("5"));
    }

    void sorting_data() { testdb::addBackendRows(); }
    void sorting() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS sort_t"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE sort_t (id INTEGER, n INTEGER, s VARCHAR(5), "
                              "d DECIMAL(8,2))")));
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO sort_t VALUES (1, 10, 'b', 2.5), (2, 9, 'a', -1), "
                              "(3, NULL, 'B', 10), (4, 100, NULL, 2.25), (5, 9, 'a', NULL)")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from sort_t order by id"), &c));
        auto ids = [&] { return column(rs, 0).join(QLatin1Char(',')); };

        QVERIFY(rs.setSort(QStringLiteral("n asc")));
        QCOMPARE(rs.Sort(), QStringLiteral("n asc"));
        QCOMPARE(ids(), QStringLiteral("3,2,5,1,4")); // Null first, ties in delivery order
        QVERIFY(rs.setSort(QStringLiteral("n desc")));
        QCOMPARE(ids(), QStringLiteral("4,1,2,5,3"));
        QVERIFY(rs.setSort(QStringLiteral("s asc")));
        QCOMPARE(ids(), QStringLiteral("4,3,2,5,1"));
        // Decimals sort as numbers, not as text (the SQLite ODBC driver reports them as text).
        QVERIFY(rs.setSort(QStringLiteral("d asc")));
        QCOMPARE(ids(), testdb::backend(backend).kind == Kind::SqliteOdbc
                            ? QStringLiteral("5,2,3,4,1")
                            : QStringLiteral("5,2,4,1,3"));
        QVERIFY(rs.setSort(QStringLiteral("N ASC, id desc")));
        QCOMPARE(ids(), QStringLiteral("3,5,2,1,4"));
        QCOMPARE(rs.position(), 0);

        // An unknown field is an error that keeps the order and the sort text.
        QVERIFY(!rs.setSort(QStringLiteral("nosuch asc")));
        QVERIFY(!rs.Errors().empty());
        QCOMPARE(rs.Sort(), QStringLiteral("N ASC, id desc"));
        QCOMPARE(ids(), QStringLiteral("3,5,2,1,4"));

        QVERIFY(rs.setSort(QString()));
        QCOMPARE(ids(), QStringLiteral("1,2,3,4,5"));
    }

    void requerySeesOtherConnections_data() { testdb::addBackendRows(); }
    void requerySeesOtherConnections() {
        QFETCH(QString, backend);
        Connection a, b;
        QVERIFY(testdb::open(a, backend));
        testdb::exec(a, QStringLiteral("DROP TABLE IF EXISTS requery_t"));
        QVERIFY(testdb::exec(
            a, QStringLiteral("CREATE TABLE requery_t (id INTEGER, name VARCHAR(10))")));
        QVERIFY(testdb::exec(a, QStringLiteral("INSERT INTO requery_t VALUES (2, 'b'), (1, 'a')")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from requery_t"), &a));
        QVERIFY(rs.setSort(QStringLiteral("id asc")));
        QCOMPARE(rs.RecordCount(), 2);

        QVERIFY(testdb::open(b, backend));
        QVERIFY(testdb::exec(b, QStringLiteral("INSERT INTO requery_t VALUES (0, 'z')")));
        QVERIFY(testdb::exec(b, QStringLiteral("UPDATE requery_t SET name = 'B' WHERE id = 2")));

        QVERIFY(rs.Requery());
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(rs.Sort(), QStringLiteral("id asc"));
        QCOMPARE(column(rs, 1).join(QLatin1Char(',')), QStringLiteral("z,a,B"));
    }

    void failuresAreReported_data() { testdb::addBackendRows(); }
    void failuresAreReported() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        Recordset rs;
        QVERIFY(!rs.Open(QStringLiteral("selec * frm nowhere"), &c));
        QVERIFY(!rs.isOpen());
        QVERIFY(!c.Errors().empty());
        for (const Error& e : c.Errors()) {
            QVERIFY(e.Number != 0);
            QVERIFY(!e.Description.isEmpty());
            QVERIFY(!e.Source.isEmpty());
        }

        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS unique_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE unique_t (id INTEGER PRIMARY KEY)")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO unique_t VALUES (1)")));
        QVERIFY(!c.Execute(QStringLiteral("INSERT INTO unique_t VALUES (1)")));
        QVERIFY(!c.Errors().empty());
        QVERIFY(!c.Errors().front().Description.isEmpty());
        // The connection stays usable after a failure.
        QVERIFY(rs.Open(QStringLiteral("select count(*) from unique_t"), &c));
        QCOMPARE(rs.text(0, 0), QStringLiteral("1"));
    }

    void catalogListsTablesAndViews_data() { testdb::addBackendRows(); }
    void catalogListsTablesAndViews() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        const QString table = testdb::quoteName(testdb::backend(backend).kind, "cat t");
        testdb::exec(c, QStringLiteral("DROP VIEW IF EXISTS cat_v"));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ") + table);
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE %1 (id INTEGER)").arg(table)));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE VIEW cat_v AS SELECT id FROM ") + table));
        Catalog catalog;
        catalog.setActiveConnection(&c);
        QVERIFY2(catalog.Refresh(), qPrintable(testdb::describe(c.Errors())));
        QString tableType, viewType;
        for (const TableEntry& t : catalog.Tables()) {
            if (t.Name == QLatin1String("cat t")) tableType = t.Type;
            if (t.Name == QLatin1String("cat_v")) viewType = t.Type;
        }
        QCOMPARE(tableType, QStringLiteral("TABLE"));
        QCOMPARE(viewType, QStringLiteral("VIEW"));
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
