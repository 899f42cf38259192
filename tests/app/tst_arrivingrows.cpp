// Rows that show while the statement is still being read, in the main window offscreen:
// PostgreSQL through ODBC with rows that arrive slowly, and a SQLite file for what the
// result must still do once complete.
#include "MainWindowFixture.h"
#include "TestBackends.h"
#include "app/RecordsetModel.h"
#include "app/WaitPanel.h"
#include "app/frmKorvel.h"
#include "options/SettingsStore.h"
#include "query/modExecuteQuery.h"

#include <QFile>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// Rows 1 to 40000; every 5000th row takes 0.3 s, so the rows come in over about 2.4 s and
// the driver hands them over in several blocks.
const QString kSlowRows = QStringLiteral("select slow(i) as i from generate_series(1, 40000) i");
// The same, failing at row 25000, after the first blocks have shown.
const QString kFailsLate =
    QStringLiteral("select slow(i) as i, 10 / (25000 - i) as d from generate_series(1, 40000) i");
} // namespace

class TestArrivingRows : public QObject, public MainWindowFixture {
    Q_OBJECT

    // What the window showed while the statement was running.
    struct Seen {
        int rows = 0;       // most rows in the grid while busy
        int firstRows = -1; // rows at the first sight of any
        QString status;     // status text then
        int scrollGrew = 0; // times the scroll bar's maximum grew
    };

    // Reports of the message panel are answered with OK and kept in m_prompts.
    void openWindow(const QString& backend) {
        QVERIFY(connectTo(backend));
        QVERIFY(showWindow(OtherPrompts::PressOk));
    }

    // Runs the statement with Ctrl+E, watching the grid until it returns; cancelAt > 0
    // clicks the busy panel's Cancel once that many rows show.
    Seen run(const QString& sql, int cancelAt = 0) {
        return watched(
            [&] {
                query()->setPlainText(sql);
                query()->setFocus();
                QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
                QVERIFY(idle());
            },
            cancelAt);
    }
    // Does what starts a read, watching the grid until it returns; cancelAt as for run. A
    // grid that shows 40000 rows before shows fewer while a read of them arrives.
    template <typename Start> Seen watched(Start start, int cancelAt = 0) {
        Seen seen;
        int lastMaximum = grid()->verticalScrollBar()->maximum();
        // Rows arriving are those of another record set than the one shown at the start.
        const auto* model = static_cast<RecordsetModel*>(grid()->model());
        const std::shared_ptr<db::Recordset> before = model->recordset();
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!m_window->busyVisible() || model->recordset() == before) return;
            const int rows = grid()->model()->rowCount();
            if (rows > 0 && seen.firstRows < 0) {
                seen.firstRows = rows;
                seen.status = status();
            }
            seen.rows = std::max(seen.rows, rows);
            const int maximum = grid()->verticalScrollBar()->maximum();
            if (maximum > lastMaximum) ++seen.scrollGrew;
            lastMaximum = maximum;
            if (cancelAt > 0 && rows >= cancelAt) {
                cancelAt = 0;
                QTest::mouseClick(m_window->waitPanel()->cancelButton(), Qt::LeftButton);
            }
        });
        watch.start(15);
        start();
        // Rows arrive until the statement ended, from the event loop.
        if (!idle()) QTest::qFail("the window did not come back", __FILE__, __LINE__);
        return seen;
    }
    // F5 as the user presses it, to the focused widget after a click into the query box.
    Seen refresh(int cancelAt = 0) {
        return watched(
            [&] {
                QTest::mouseClick(query()->viewport(), Qt::LeftButton);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
                QVERIFY(idle());
            },
            cancelAt);
    }

    // The window on PostgreSQL, with a function that makes rows arrive slowly.
    void initPostgres() {
        openWindow(QStringLiteral("postgres-odbc"));
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral("CREATE OR REPLACE FUNCTION slow(i integer) RETURNS integer AS $$ "
                           "BEGIN IF i % 5000 = 0 THEN PERFORM pg_sleep(0.3); END IF; "
                           "RETURN i; END $$ LANGUAGE plpgsql")));
    }

private slots:
    void init() {
        ownSettings();
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("0"));
    }
    void cleanup() { closeWindow(); }

    void rowsShowBeforeTheCount() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        initPostgres();
        const Seen seen = run(kSlowRows);
        // The first block was on screen while the statement ran, without the count.
        QVERIFY2(seen.firstRows > 0 && seen.firstRows < 40000,
                 qPrintable(QString::number(seen.firstRows)));
        QVERIFY2(!seen.status.contains(QStringLiteral("件のデータが処理されました")),
                 qPrintable(seen.status));
        QVERIFY(seen.scrollGrew >= 1);
        // The count comes with the end, and every row is there once, in order.
        QCOMPARE(status(), QStringLiteral("40000件のデータが処理されました"));
        QCOMPARE(grid()->model()->rowCount(), 40000);
        QCOMPARE(m_state->resultSet->RecordCount(), 40000);
        QCOMPARE(grid()->model()->index(0, 0).data().toString(), QStringLiteral("1"));
        QCOMPARE(grid()->model()->index(39999, 0).data().toString(), QStringLiteral("40000"));
        QCOMPARE(m_state->history.entries().last(), kSlowRows);
        QVERIFY(query()->isEnabled());
        QVERIFY(m_prompts.isEmpty());
    }

    void cancelInTheMiddleLeavesNoRows() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        initPostgres();
        run(QStringLiteral("select 'before' as x"));
        QCOMPARE(grid()->model()->rowCount(), 1);
        grid()->horizontalHeader()->resizeSection(0, 123); // as the user left it
        const Seen seen = run(kSlowRows, 1);
        QVERIFY(seen.rows > 0 && seen.rows < 40000);
        // The user asked for the stop: said quietly, no report.
        QCOMPARE(m_prompts, QStringList());
        QCOMPARE(status(), kQueryCancelled);
        // As after a failed SELECT: the rows shown before are back, nothing half read.
        QCOMPARE(grid()->model()->rowCount(), 1);
        QCOMPARE(grid()->model()->index(0, 0).data().toString(), QStringLiteral("before"));
        QCOMPARE(grid()->horizontalHeader()->sectionSize(0), 123);
        QCOMPARE(m_state->resultSet->Source(), QStringLiteral("select 'before' as x"));
        // The connection goes on.
        run(QStringLiteral("select count(*) from generate_series(1, 10)"));
        QCOMPARE(grid()->model()->index(0, 0).data().toString(), QStringLiteral("10"));
        QCOMPARE(status(), QStringLiteral("1件のデータが処理されました"));
    }

    void failureAfterTheFirstBlockLeavesNoRows() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        initPostgres();
        run(QStringLiteral("select 'before' as x"));
        const Seen seen = run(kFailsLate);
        QVERIFY2(seen.rows > 0 && seen.rows < 25000, qPrintable(QString::number(seen.rows)));
        QCOMPARE(m_prompts.size(), 1);
        QVERIFY2(m_prompts.front().contains(QStringLiteral("division by zero")),
                 qPrintable(m_prompts.front()));
        QCOMPARE(status(), QStringLiteral("ERROR"));
        QCOMPARE(grid()->model()->rowCount(), 1);
        QCOMPARE(grid()->model()->index(0, 0).data().toString(), QStringLiteral("before"));
        QCOMPARE(m_state->resultSet->Source(), QStringLiteral("select 'before' as x"));
    }

    // F5 reads as Ctrl+E does: the first block shows before the end, Cancel stops it and the
    // rows shown before are back, and a statement that only reads runs once.
    void refreshShowsRowsAsTheyArrive() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        initPostgres();
        db::Connection& c = *m_record.adoConnection;
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS reads"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE reads (at timestamp)")));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE OR REPLACE FUNCTION counted(i integer) RETURNS integer AS "
                              "$$ BEGIN IF i = 1 THEN INSERT INTO reads VALUES (now()); END IF; "
                              "RETURN slow(i); END $$ LANGUAGE plpgsql")));
        const QString counted =
            QStringLiteral("select counted(i) as i from generate_series(1, 40000) i");
        run(counted);
        QCOMPARE(status(), QStringLiteral("40000件のデータが処理されました"));
        const auto runs = [&] {
            db::Recordset rs;
            return rs.Open(QStringLiteral("select count(*) from reads"), &c) ? rs.text(0, 0)
                                                                             : QString();
        };
        QCOMPARE(runs(), QStringLiteral("1"));

        const Seen seen = refresh();
        QVERIFY2(seen.firstRows > 0 && seen.firstRows < 40000,
                 qPrintable(QString::number(seen.firstRows)));
        QCOMPARE(grid()->model()->rowCount(), 40000);
        QCOMPARE(grid()->model()->index(39999, 0).data().toString(), QStringLiteral("40000"));
        QCOMPARE(runs(), QStringLiteral("2"));
        // F5 keeps the status and reports nothing.
        QCOMPARE(status(), QStringLiteral("40000件のデータが処理されました"));
        QVERIFY(m_prompts.isEmpty());
        QVERIFY(query()->isEnabled());

        const Seen cancelled = refresh(1);
        QVERIFY(cancelled.rows > 0 && cancelled.rows < 40000);
        QCOMPARE(runs(), QStringLiteral("3"));
        // As after a failed read: the rows shown before are back, whole, and nothing is said.
        QCOMPARE(grid()->model()->rowCount(), 40000);
        QCOMPARE(m_state->resultSet->RecordCount(), 40000);
        QVERIFY(m_prompts.isEmpty());
        QVERIFY(query()->isEnabled());
    }

    // The import stores and counts its rows before its result is read again; that read shows
    // rows as they arrive and its cancel keeps every imported row.
    void importRereadsAsRowsArrive() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        initPostgres();
        db::Connection& c = *m_record.adoConnection;
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS imp"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE imp (id integer, txt varchar(20))")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO imp SELECT g, 'r' || g FROM "
                                               "generate_series(1, 39900) g")));
        run(QStringLiteral("select slow(id) as id, txt from imp"));
        QCOMPARE(grid()->model()->rowCount(), 39900);
        QByteArray csv;
        for (int i = 39901; i <= 40000; ++i)
            csv += QByteArray::number(i) + ",\"n" + QByteArray::number(i) + "\"\r\n";
        const QString path = m_dir->filePath(QStringLiteral("more.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size());
        file.close();
        const auto count = [&] {
            db::Recordset rs;
            return rs.Open(QStringLiteral("select count(*) from imp"), &c) ? rs.text(0, 0)
                                                                           : QString();
        };

        // The CSV import command, its file dialog answered with the file.
        m_window->showFileDialog = [&](bool, const QString&, const QString&, const QString&) {
            return path;
        };
        const auto import = [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F7); };
        query()->setFocus();
        const Seen seen = watched(import);
        QVERIFY2(seen.firstRows > 0 && seen.firstRows < 40000,
                 qPrintable(QString::number(seen.firstRows)));
        QCOMPARE(status(), QStringLiteral("100件のデータを処理しました"));
        QCOMPARE(grid()->model()->rowCount(), 40000);
        QCOMPARE(count(), QStringLiteral("40000"));

        QVERIFY(testdb::exec(c, QStringLiteral("DELETE FROM imp WHERE id > 39900")));
        run(QStringLiteral("select slow(id) as id, txt from imp"));
        query()->setFocus();
        const Seen cancelled = watched(import, 1);
        QVERIFY(cancelled.rows > 0 && cancelled.rows < 40000);
        // Every imported row stays, counted; the grid shows what it showed before the import.
        QCOMPARE(count(), QStringLiteral("40000"));
        QCOMPARE(status(), QStringLiteral("100件のデータを処理しました"));
        QCOMPARE(grid()->model()->rowCount(), 39900);
        QVERIFY(m_prompts.isEmpty());
        QVERIFY(query()->isEnabled());
    }

    void completedResultSortsEditsAndRefreshes() {
        const QString file = testdb::newSqliteFile(QStringLiteral("arriving.db"));
        openWindow(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file);
        m_record.kind = db::ConnectionKind::Access;
        db::Connection& c = *m_record.adoConnection;
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE big (id INTEGER PRIMARY KEY, "
                                               "name VARCHAR(20))")));
        QVERIFY(testdb::exec(
            c, QStringLiteral("WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r "
                              "WHERE i < 20000) INSERT INTO big SELECT i, 'n' || i FROM r")));
        run(QStringLiteral("select * from big"));
        QCOMPARE(status(), QStringLiteral("20000件のデータが処理されました"));
        QCOMPARE(grid()->model()->rowCount(), 20000);

        // Two clicks on a header sort ascending, a third descending, over every row.
        QHeaderView* h = grid()->horizontalHeader();
        const auto clickHeader = [&] {
            const int x = h->sectionViewportPosition(0) + h->sectionSize(0) / 2;
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
        };
        clickHeader();
        clickHeader();
        clickHeader();
        QCOMPARE(grid()->model()->index(0, 0).data().toString(), QStringLiteral("20000"));
        QCOMPARE(grid()->model()->index(19999, 0).data().toString(), QStringLiteral("1"));

        // An edit goes to the database.
        QVERIFY(grid()->model()->setData(grid()->model()->index(0, 1), QStringLiteral("edited")));
        db::Recordset check;
        QVERIFY(check.Open(QStringLiteral("select name from big where id = 20000"), &c));
        QCOMPARE(check.text(0, 0), QStringLiteral("edited"));
        QVERIFY(check.Close());

        // F5 reads the same statement again.
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO big VALUES (20001, 'new')")));
        query()->setFocus();
        QTest::keyClick(query(), Qt::Key_F5);
        QVERIFY(idle());
        QCOMPARE(grid()->model()->rowCount(), 20001);
        QCOMPARE(m_state->resultSet->RecordCount(), 20001);
        QVERIFY(m_prompts.isEmpty());
    }
};

QTEST_MAIN(TestArrivingRows)
#include "tst_arrivingrows.moc"
