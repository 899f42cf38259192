// Writing through record sets, run against every backend: new rows, edits and deletions
// reach the database (checked from a second connection) and the rows held stay in step.
#include "TestBackends.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QTest>

using namespace db;
using testdb::Kind;

namespace {
// Rows of a query read through a fresh connection, as "a|b|<null>" lines.
QStringList readBack(const QString& backend, const QString& sql) {
    Connection c;
    if (!testdb::open(c, backend)) return {};
    Recordset rs;
    if (!rs.Open(sql, &c)) return {QStringLiteral("error: ") + testdb::describe(rs.Errors())};
    QStringList rows;
    for (qint32 r = 0; r < rs.RecordCount(); ++r) {
        QStringList cells;
        for (int f = 0; f < rs.FieldCount(); ++f)
            cells << (rs.isNull(r, f) ? QStringLiteral("<null>") : rs.text(r, f));
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

bool addRow(Recordset& rs, const QList<Value>& values) {
    if (!rs.AddNew()) return false;
    for (int i = 0; i < values.size(); ++i)
        if (!rs.Fields(i).setValue(values[i])) return false;
    return rs.Update();
}
} // namespace

class TestRecordsetWrite : public QObject {
    Q_OBJECT
private slots:
    void addNewStoresTextsEmptiesAndNulls_data() { testdb::addBackendRows(); }
    void addNewStoresTextsEmptiesAndNulls() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS add_t"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE add_t (id INTEGER PRIMARY KEY, t VARCHAR(20), w %1, "
                              "n INTEGER, d DATE, note VARCHAR(10) DEFAULT 'dflt')")
                   .arg(testdb::nvarchar(kind, 20))));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from add_t where 1 = 2"), &c));
        QVERIFY2(addRow(rs, {Value("1"), Value("a,\"b\""), Value("日本語"), Value("42"),
                             Value("2024-01-15")}),
                 qPrintable(testdb::describe(rs.Errors())));
        QVERIFY2(addRow(rs, {Value("2"), Value(QString()), Value::null(), Value::null(),
                             Value::null(), Value::null()}),
                 qPrintable(testdb::describe(rs.Errors())));
        // Fields not given keep the column default.
        QVERIFY(addRow(rs, {Value("3")}));
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(rs.position(), 2);
        QCOMPARE(rs.text(1, 1), QString());
        QVERIFY(!rs.isNull(1, 1));
        QVERIFY(rs.isNull(1, 2));
        QVERIFY(rs.Close());

        const QString date = kind == Kind::SqliteNative ? QStringLiteral("2024-01-15")
                                                        : QStringLiteral("2024/01/15");
        QCOMPARE(
            readBack(backend, QStringLiteral("select id, t, w, n, d, note from add_t order by id")),
            QStringList({QStringLiteral("1|a,\"b\"|日本語|42|") + date + QStringLiteral("|dflt"),
                         QStringLiteral("2||<null>|<null>|<null>|<null>"),
                         QStringLiteral("3|<null>|<null>|<null>|<null>|dflt")}));
    }

    void failedInsertKeepsEarlierRows_data() { testdb::addBackendRows(); }
    void failedInsertKeepsEarlierRows() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS batch_t"));
        QVERIFY(testdb::exec(
            c, QStringLiteral(
                   "CREATE TABLE batch_t (id INTEGER PRIMARY KEY, name VARCHAR(10) NOT NULL)")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from batch_t where 1 = 2"), &c));
        for (int i = 1; i <= 3; ++i)
            QVERIFY(addRow(rs, {Value(QString::number(i)), Value("n")}));

        QVERIFY(!addRow(rs, {Value("2"), Value("dup")}));
        QVERIFY(!rs.Errors().empty());
        QVERIFY(!c.Errors().empty());
        QCOMPARE(rs.EditMode(), int(Recordset::adEditNone));
        QCOMPARE(rs.RecordCount(), 3);
        // Every row added before the failure is in the database for everyone to see.
        QCOMPARE(readBack(backend, QStringLiteral("select count(*) from batch_t")),
                 QStringList{QStringLiteral("3")});

        QVERIFY(!addRow(rs, {Value("9"), Value::null()})); // NOT NULL
        QVERIFY(addRow(rs, {Value("4"), Value("n")}));
        QVERIFY(c.CommitPendingWrites());
        QCOMPARE(readBack(backend, QStringLiteral("select id from batch_t order by id")),
                 QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                              QStringLiteral("4")}));
    }

    // In a bulk scope a refused row costs that row only, wherever the database refuses it;
    // Stop ends the batch there. The rows are visible to other connections once committed.
    void refusedRowInBulkScope_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("skip");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QTest::newRow(qPrintable(b.name + QStringLiteral(" stop"))) << b.name << false;
            QTest::newRow(qPrintable(b.name + QStringLiteral(" skip"))) << b.name << true;
        }
    }
    void refusedRowInBulkScope() {
        QFETCH(QString, backend);
        QFETCH(bool, skip);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS held_t"));
        QVERIFY(testdb::exec(
            c,
            QStringLiteral("CREATE TABLE held_t (id INTEGER CHECK (id <> 5), name VARCHAR(10))")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from held_t where 1 = 2"), &c,
                        Recordset::adOpenForwardOnly));
        const qint64 base = c.insertCount();
        qint64 refused = -1;
        {
            BulkWriteScope scope(&c, skip ? Connection::BatchFailure::Skip
                                          : Connection::BatchFailure::Stop);
            for (int i = 1; i <= 10; ++i) {
                const qint64 number = c.insertCount();
                if (addRow(rs, {Value(QString::number(i)), Value("n")})) continue;
                QVERIFY(!rs.Errors().empty());
                QCOMPARE(refused, qint64(-1));
                refused = c.failedInsert();
                QVERIFY(refused >= base && refused <= number);
                if (!skip) break;
            }
            // The servers hold the rows to store them together; SQLite has run each already.
            const testdb::Kind kind = testdb::backend(backend).kind;
            const bool held = testdb::isPostgres(kind) || testdb::isMariaDb(kind);
            if (held) QVERIFY(c.firstPendingInsert() < c.insertCount());
            if (!c.CommitPendingWrites()) {
                QCOMPARE(refused, qint64(-1));
                QVERIFY(!c.Errors().empty());
                refused = c.failedInsert();
            }
            // Committed inside the scope: another connection sees the rows already.
            QCOMPARE(readBack(backend, QStringLiteral("select count(*), sum(id) from held_t")),
                     QStringList{skip ? QStringLiteral("9|50") : QStringLiteral("4|10")});
            QVERIFY(scope.end());
        }
        // The refused row is named by its number; rows the server refused among held ones are
        // passed over and counted apart.
        const testdb::Kind kind = testdb::backend(backend).kind;
        const bool heldOnServer = skip && (testdb::isPostgres(kind) || testdb::isMariaDb(kind));
        QCOMPARE(refused, heldOnServer ? qint64(-1) : base + 4);
        QCOMPARE(c.passedOverInserts(), heldOnServer ? 1 : 0);
        QVERIFY(addRow(rs, {Value("11"), Value("n")}));
        // Outside the scope a row is stored at once, visible to everyone.
        QCOMPARE(readBack(backend, QStringLiteral("select count(*) from held_t where id = 11")),
                 QStringList{QStringLiteral("1")});
    }

    void manyInsertsReuseOneStatement_data() { testdb::addBackendRows(); }
    void manyInsertsReuseOneStatement() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS many_t"));
        QVERIFY(
            testdb::exec(c, QStringLiteral("CREATE TABLE many_t (id INTEGER, name VARCHAR(10))")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from many_t"), &c));
        const int n = 12000; // more than one batch
        {
            BulkWriteScope scope(&c);
            for (int i = 0; i < n; ++i)
                QVERIFY(addRow(rs, {Value(QString::number(i)), Value("x")}));
            QVERIFY(scope.end());
        }
        // Reading on the same connection sees every row without an explicit commit.
        QVERIFY(rs.Requery());
        QCOMPARE(rs.RecordCount(), n);
        QVERIFY(rs.Close());
        QCOMPARE(readBack(backend, QStringLiteral("select count(*), sum(id) from many_t")),
                 QStringList{QStringLiteral("%1|%2").arg(n).arg(qint64(n) * (n - 1) / 2)});
    }

    void editWritesBack_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("primaryKey");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QTest::newRow(qPrintable(b.name + QStringLiteral(" key"))) << b.name << true;
            QTest::newRow(qPrintable(b.name + QStringLiteral(" no key"))) << b.name << false;
        }
    }
    void editWritesBack() {
        QFETCH(QString, backend);
        QFETCH(bool, primaryKey);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS edit_t"));
        // Without a key a row is located by all its values: a fraction of a second too.
        const testdb::Kind kind = testdb::backend(backend).kind;
        const QString stamp = testdb::isPostgres(kind)  ? QStringLiteral("timestamp(6)")
                              : testdb::isMariaDb(kind) ? QStringLiteral("datetime(6)")
                                                        : QStringLiteral("DATETIME");
        // Money beyond a double's digits, on the backends whose type holds it.
        const QString money = testdb::isPostgres(kind)  ? QStringLiteral("MONEY")
                              : testdb::isMariaDb(kind) ? QStringLiteral("DECIMAL(19,2)")
                                                        : QStringLiteral("TEXT");
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE edit_t (id INTEGER%1, name VARCHAR(10), qty INTEGER, "
                              "at %2, price %3)")
                   .arg(primaryKey ? QStringLiteral(" PRIMARY KEY") : QString(), stamp, money)));
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO edit_t VALUES (1, 'a', 10, NULL, '-0.01'), (2, 'b', "
                              "NULL, '2019-10-27 00:30:00.123456', '1234567890123456.78'), (3, "
                              "'c', 30, '2019-10-27 00:30:00', NULL)")));
        Recordset rs;
        QVERIFY(
            rs.Open(QStringLiteral("select id, name, qty, at, price from edit_t order by id"), &c));
        QVERIFY(rs.setSort(QStringLiteral("id desc")));
        // Row 1 of the sorted set is id 2, whose qty is Null: located with IS NULL.
        QVERIFY2(rs.setValue(1, 1, Value("bee")), qPrintable(testdb::describe(rs.Errors())));
        QVERIFY2(rs.setValue(1, 2, Value("20")), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.text(1, 1), QStringLiteral("bee"));
        QCOMPARE(rs.text(1, 2), QStringLiteral("20"));
        QVERIFY(rs.setValue(0, 1, Value::null()));
        QVERIFY(rs.isNull(0, 1));
        QVERIFY2(rs.setValue(2, 4, Value("92233720368547758.07")),
                 qPrintable(testdb::describe(rs.Errors())));
        QVERIFY2(rs.setValue(0, 4, Value("-1234567890123456.79")),
                 qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(readBack(backend,
                          QStringLiteral("select id, name, qty, price from edit_t order by id")),
                 QStringList({QStringLiteral("1|a|10|92233720368547758.07"),
                              QStringLiteral("2|bee|20|1234567890123456.78"),
                              QStringLiteral("3|<null>|30|-1234567890123456.79")}));

        QVERIFY2(rs.deleteRow(0), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(rs.text(0, 0), QStringLiteral("2"));
        QCOMPARE(readBack(backend, QStringLiteral("select id from edit_t order by id")),
                 QStringList({QStringLiteral("1"), QStringLiteral("2")}));
    }

    // MariaDB counts the rows a change altered unless asked for those it matched: a value
    // written back unchanged must still find its one row.
    void unchangedValueWritesBack_data() { testdb::addBackendRows(); }
    void unchangedValueWritesBack() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS same_t"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE same_t (id INTEGER PRIMARY KEY, name VARCHAR(10))")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO same_t VALUES (1, 'a')")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from same_t"), &c));
        QVERIFY2(rs.setValue(0, 1, Value("a")), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(readBack(backend, QStringLiteral("select * from same_t")),
                 QStringList{QStringLiteral("1|a")});
    }

    // MariaDB's driver, reading and writing wide characters, got a text a character short
    // or long when a Null stood in the same row.
    void textNextToANullKeepsItsLength_data() { testdb::addBackendRows(); }
    void textNextToANullKeepsItsLength() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS beside_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE beside_t (id INTEGER, name %1, "
                                               "phone VARCHAR(20), tail VARCHAR(5))")
                                    .arg(testdb::nvarchar(kind, 100))));
        const QString name = QStringLiteral("有限会社高橋電機");
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO beside_t VALUES (1, '%1', NULL, 'x')").arg(name)));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from beside_t"), &c));
        QCOMPARE(rs.text(0, 1), name);
        QVERIFY2(addRow(rs, {Value("2"), Value(name), Value::null(), Value("y")}),
                 qPrintable(testdb::describe(rs.Errors())));
        // Compared in the database, so that a character cut or added on the way back cannot
        // hide one added on the way in.
        QCOMPARE(readBack(backend, QStringLiteral("select id, tail from beside_t where name = '%1' "
                                                  "order by id")
                                       .arg(name)),
                 QStringList({QStringLiteral("1|x"), QStringLiteral("2|y")}));
        QCOMPARE(readBack(backend, QStringLiteral("select name from beside_t order by id")),
                 QStringList({name, name}));
    }

    void changesToVanishedRowsFail_data() { testdb::addBackendRows(); }
    void changesToVanishedRowsFail() {
        QFETCH(QString, backend);
        Connection a, b;
        QVERIFY(testdb::open(a, backend));
        testdb::exec(a, QStringLiteral("DROP TABLE IF EXISTS gone_t"));
        QVERIFY(testdb::exec(
            a, QStringLiteral("CREATE TABLE gone_t (id INTEGER PRIMARY KEY, name VARCHAR(10))")));
        QVERIFY(testdb::exec(a, QStringLiteral("INSERT INTO gone_t VALUES (1, 'a'), (2, 'b')")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from gone_t order by id"), &a));

        QVERIFY(testdb::open(b, backend));
        QVERIFY(testdb::exec(b, QStringLiteral("DELETE FROM gone_t WHERE id = 1")));

        QVERIFY(!rs.setValue(0, 1, Value("changed")));
        QCOMPARE(rs.Errors().front().Number, ErrorNumber::RowNotLocated);
        QCOMPARE(rs.text(0, 1), QStringLiteral("a")); // the held row is left as it was read
        QVERIFY(!rs.deleteRow(0));
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(readBack(backend, QStringLiteral("select * from gone_t")),
                 QStringList{QStringLiteral("2|b")});
    }

    void ambiguousRowsAreNotChanged_data() { testdb::addBackendRows(); }
    void ambiguousRowsAreNotChanged() {
        QFETCH(QString, backend);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS twin_t"));
        QVERIFY(
            testdb::exec(c, QStringLiteral("CREATE TABLE twin_t (name VARCHAR(10), qty INTEGER)")));
        QVERIFY(
            testdb::exec(c, QStringLiteral("INSERT INTO twin_t VALUES ('same', 1), ('same', 1)")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from twin_t"), &c));
        QVERIFY(!rs.setValue(0, 1, Value("2")));
        QVERIFY(!rs.deleteRow(0));
        QCOMPARE(rs.Errors().front().Number, ErrorNumber::RowNotLocated);
        QCOMPARE(readBack(backend, QStringLiteral("select * from twin_t")),
                 QStringList({QStringLiteral("same|1"), QStringLiteral("same|1")}));
    }

    void closedConnectionLeavesRowsReadable_data() { testdb::addBackendRows(); }
    void closedConnectionLeavesRowsReadable() {
        QFETCH(QString, backend);
        auto c = std::make_unique<Connection>();
        QVERIFY(testdb::open(*c, backend));
        testdb::exec(*c, QStringLiteral("DROP TABLE IF EXISTS closed_t"));
        QVERIFY(testdb::exec(
            *c,
            QStringLiteral("CREATE TABLE closed_t (id INTEGER PRIMARY KEY, name VARCHAR(10))")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from closed_t"), c.get()));
        QVERIFY(addRow(rs, {Value("1"), Value("kept")}));
        c->Close();
        // The rows stay readable; writing fails cleanly, before and after the object is gone.
        QCOMPARE(rs.text(0, 1), QStringLiteral("kept"));
        QVERIFY(!rs.setValue(0, 1, Value("x")));
        QVERIFY(!rs.AddNew());
        QVERIFY(!rs.Requery());
        c.reset();
        QVERIFY(!rs.deleteRow(0));
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(readBack(backend, QStringLiteral("select * from closed_t")),
                 QStringList{QStringLiteral("1|kept")});
    }

    // A field that is not one column of the base table is read-only before anything is
    // written: flags and edits agree, and the database is not asked.
    void computedFieldsAreReadOnly_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QList<bool>>("updatable");
        const QList<std::pair<QString, QList<bool>>> cases = {
            {QStringLiteral("select id, name, amount from calc_t order by id"), {true, true, true}},
            {QStringLiteral("select id, amount * 1.1 as amount from calc_t order by id"),
             {true, false}},
            {QStringLiteral("select name, count(*) as n from calc_t group by name order by name"),
             {true, false}},
            {QStringLiteral("select id, upper(name) as name from calc_t order by id"),
             {true, false}},
            {QStringLiteral("select id, 1 as one, amount + 0 as amount from calc_t order by id"),
             {true, false, false}},
            {QStringLiteral("select calc_t.id, calc_u.label from calc_t join calc_u on "
                            "calc_u.t_id = calc_t.id order by calc_t.id"),
             {true, false}},
        };
        for (const testdb::Backend& b : testdb::backendsForRows())
            for (int i = 0; i < cases.size(); ++i)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(b.name).arg(i)))
                    << b.name << cases[i].first << cases[i].second;
    }
    void computedFieldsAreReadOnly() {
        QFETCH(QString, backend);
        QFETCH(QString, sql);
        QFETCH(QList<bool>, updatable);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS calc_u"));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS calc_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE calc_t (id INTEGER PRIMARY KEY, "
                                               "name VARCHAR(10), amount DECIMAL(10,2))")));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE calc_u (id INTEGER PRIMARY KEY, t_id INTEGER, "
                              "label VARCHAR(10))")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO calc_t VALUES (1, 'a', 5)")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO calc_u VALUES (1, 1, 'x')")));
        Recordset rs;
        QVERIFY2(rs.Open(sql, &c), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(rs.FieldCount(), int(updatable.size()));
        QList<bool> found;
        for (int f = 0; f < rs.FieldCount(); ++f)
            found << rs.fieldUpdatable(f);
        QCOMPARE(found, updatable);
        for (int f = 0; f < rs.FieldCount(); ++f) {
            if (updatable[f]) continue;
            const QString before = rs.text(0, f);
            QVERIFY(!rs.setValue(0, f, Value("3")));
            QCOMPARE(rs.Errors().front().Number, ErrorNumber::NotUpdatable);
            QCOMPARE(rs.text(0, f), before);
        }
        QCOMPARE(readBack(backend, QStringLiteral("select id, name, amount from calc_t")),
                 QStringList{QStringLiteral("1|a|5")});
        QCOMPARE(readBack(backend, QStringLiteral("select * from calc_u")),
                 QStringList{QStringLiteral("1|1|x")});
    }

    // An edit beside computed fields keeps what the statement computed; the columns of the
    // base table show what the database stores.
    void computedFieldsKeepTheirValuesAfterAnEdit_data() { testdb::addBackendRows(); }
    void computedFieldsKeepTheirValuesAfterAnEdit() {
        QFETCH(QString, backend);
        const Kind kind = testdb::backend(backend).kind;
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS kept_u"));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS kept_t"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE kept_t (id INTEGER PRIMARY KEY, "
                                               "name VARCHAR(10), amount DECIMAL(10,2))")));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE kept_u (t_id INTEGER)")));
        QVERIFY(
            testdb::exec(c, QStringLiteral("INSERT INTO kept_t VALUES (1, 'a', 5), (2, 'b', 6)")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO kept_u VALUES (1), (1)")));
        Recordset rs;
        QVERIFY(
            rs.Open(QStringLiteral(
                        "select id, name, amount, amount * 1.1 as scaled, (select count(*) "
                        "from kept_u where kept_u.t_id = kept_t.id) as n from kept_t order by id"),
                    &c));
        QCOMPARE(rs.text(0, 3), QStringLiteral("5.5"));
        QVERIFY2(rs.setValue(0, 1, Value("edited")), qPrintable(testdb::describe(rs.Errors())));
        QVERIFY2(rs.setValue(0, 2, Value("7.125")), qPrintable(testdb::describe(rs.Errors())));
        const bool rounds = testdb::isServer(kind);
        QCOMPARE(rs.text(0, 2), rounds ? QStringLiteral("7.13") : QStringLiteral("7.125"));
        QCOMPARE(rs.text(0, 3), QStringLiteral("5.5"));
        QCOMPARE(rs.text(0, 4), QStringLiteral("2"));
        QCOMPARE(rs.text(0, 1), QStringLiteral("edited"));
        QCOMPARE(
            readBack(backend, QStringLiteral("select id, name, amount from kept_t order by id")),
            QStringList(
                {rounds ? QStringLiteral("1|edited|7.13") : QStringLiteral("1|edited|7.125"),
                 QStringLiteral("2|b|6")}));
    }

    // A value the database refuses is reported in the database's own words; nothing changes.
    void refusedValueReportsTheDatabasesError_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("words");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QString words;
            switch (b.kind) {
            case Kind::SqliteNative:
            case Kind::SqliteOdbc:
                words = QStringLiteral("CHECK constraint failed");
                break;
            case Kind::PostgresOdbc:
            case Kind::PostgresNative:
                words = QStringLiteral("invalid input syntax for type numeric");
                break;
            case Kind::MariaDbOdbc:
            case Kind::MariaDbNative:
                words = QStringLiteral("Data truncated for column 'amount'");
                break;
            }
            QTest::newRow(qPrintable(b.name)) << b.name << words;
        }
    }
    void refusedValueReportsTheDatabasesError() {
        QFETCH(QString, backend);
        QFETCH(QString, words);
        Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS refuse_t"));
        // SQLite keeps text in a numeric column; text sorts after every number.
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE refuse_t (id INTEGER PRIMARY KEY, "
                                               "amount DECIMAL(10,2) CHECK (amount < 1000))")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO refuse_t VALUES (1, 5), (2, 6)")));
        Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from refuse_t order by id"), &c));
        QVERIFY(!rs.setValue(1, 1, Value("12abc")));
        const QString described = testdb::describe(rs.Errors());
        QVERIFY2(rs.Errors().front().Number != ErrorNumber::RowNotLocated, qPrintable(described));
        QVERIFY2(described.contains(words), qPrintable(described));
        QCOMPARE(rs.text(1, 1), QStringLiteral("6"));
        QCOMPARE(readBack(backend, QStringLiteral("select id, amount from refuse_t order by id")),
                 QStringList({QStringLiteral("1|5"), QStringLiteral("2|6")}));
        // The row is still there to be written.
        QVERIFY2(rs.setValue(1, 1, Value("7")), qPrintable(testdb::describe(rs.Errors())));
        QCOMPARE(readBack(backend, QStringLiteral("select amount from refuse_t where id = 2")),
                 QStringList{QStringLiteral("7")});
    }
};

QTEST_GUILESS_MAIN(TestRecordsetWrite)
#include "tst_recordset_write.moc"
