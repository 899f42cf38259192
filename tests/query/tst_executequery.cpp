// The query executor against real databases, with a recording stand-in for the window.
#include "QueryWait.h"
#include "TestBackends.h"
#include "common/ErrorReport.h"
#include "options/SettingsStore.h"
#include "query/modExecuteQuery.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <utility>

namespace {
class RecordingWindow : public WindowFeedback {
public:
    QStringList calls;
    QStringList statuses;
    QStringList prompts;
    QList<PanelAnswer> answers; // given in order; OK when none is left
    std::shared_ptr<db::Recordset> bound;
    bool enabled = true;

    void SetWindowEnabled(bool e) override {
        enabled = e;
        calls << QStringLiteral("enabled=%1").arg(e);
    }
    void ShowBusy(const QString&, bool, bool) override { calls << QStringLiteral("busy"); }
    void HideBusy() override { calls << QStringLiteral("hide"); }
    PanelAnswer ShowMessagePanel(const QString& message, bool, bool, PanelAnswer) override {
        prompts << message;
        return answers.isEmpty() ? PanelAnswer::Ok : answers.takeFirst();
    }
    void UpdateStatusBar(const QString& status) override { statuses << status; }
    void ClearGridPanel() override { calls << QStringLiteral("clear"); }
    void bindGrid(std::shared_ptr<db::Recordset> rs) override { bound = std::move(rs); }
    // Rows arriving: the count each time more arrived, and whether the rows read then (the
    // first and last, as a grid reads them while the worker goes on) were what they should be.
    QList<qint32> arrived;
    bool arrivedIntact = true;
    void showArrivingRows(std::shared_ptr<db::Recordset> rs) override { arriving = std::move(rs); }
    std::function<void()> onRows;
    void moreRowsArrived() override {
        if (onRows) std::exchange(onRows, nullptr)();
        const qint32 n = arriving->RecordCount();
        arrived << n;
        if (n > 0 && (arriving->text(0, 0) != QStringLiteral("1") ||
                      arriving->text(n - 1, 0) != QString::number(n)))
            arrivedIntact = false;
    }
    void endArrivingRows(std::shared_ptr<db::Recordset> rs, bool completed) override {
        arriving.reset();
        if (completed) bindGrid(std::move(rs));
    }
    std::shared_ptr<db::Recordset> arriving;
    void rebindGrid() override { calls << QStringLiteral("rebind"); }
    void PrepareGridColumns() override { calls << QStringLiteral("prepare"); }
    void SetBusyCancelEnabled(bool e) override { calls << QStringLiteral("cancel=%1").arg(e); }
    QStringList boundColumn(int col) const {
        QStringList out;
        for (qint32 r = 0; bound && r < bound->RecordCount(); ++r)
            out << bound->text(r, col);
        return out;
    }
};
// A read to its end; cancelled once rows arrived (the driver is then mid-fetch); ended by the
// application quitting.
enum class ReadEnd { Read, Cancel, Quit };
} // namespace
Q_DECLARE_METATYPE(ReadEnd)

class TestExecuteQuery : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_config;
    db::ConnectionRecord m_record;
    std::unique_ptr<ProgramState> m_state;
    RecordingWindow m_window;

    bool run(const QString& statement) {
        return executeQueryAndWait(*m_state, m_window, statement);
    }

private slots:
    void init() {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        m_window = RecordingWindow();
    }

    void initBackend(const QString& backend) {
        m_record = db::ConnectionRecord();
        m_record.adoConnection = std::make_unique<db::Connection>();
        QVERIFY(testdb::open(*m_record.adoConnection, backend));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS q"));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE q (id INTEGER, name VARCHAR(10))")));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO q VALUES (1, 'a'), (2, 'b')")));
        m_state = std::make_unique<ProgramState>(m_record);
    }

    void selectsAreBound_data() { testdb::addBackendRows(); }
    void selectsAreBound() {
        QFETCH(QString, backend);
        initBackend(backend);
        QVERIFY(run(QStringLiteral("\r\n  select * from q order by id")));
        QVERIFY(m_state->resultOpen);
        QCOMPARE(m_window.statuses.last(), QStringLiteral("2件のデータが処理されました"));
        QCOMPARE(m_window.bound, m_state->resultSet);
        QCOMPARE(m_window.calls.mid(m_window.calls.size() - 2), QStringList({"clear", "prepare"}));
        // A statement that starts with a tab or a parenthesis is not a SELECT, yet its rows show.
        QVERIFY(run(QStringLiteral("\tselect name from q order by id")));
        QCOMPARE(m_window.boundColumn(0), QStringList({"a", "b"}));
        QCOMPARE(m_window.statuses.last(), QStringLiteral("2件のデータが処理されました"));
        // Empty statements run nothing and leave the status alone.
        const int statuses = int(m_window.statuses.size());
        QVERIFY(run(QStringLiteral("   ")));
        QCOMPARE(m_window.statuses.size(), statuses);
    }

    // A change says how many rows it changed, counted by the database (MariaDB's driver counts
    // the rows matched), and runs once: the rows read again afterwards show it done once.
    void changesShowThePreviousResultAgain_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("ids");   // the previous result read again
        QTest::addColumn<QStringList>("names"); // the same
        struct Change {
            const char* name;
            const char* sql;
            QString status;
            QStringList ids, names;
        };
        const QList<Change> changes = {
            {"update one",
             "update q set name = 'z' where id = 2",
             "1" + kRowsUpdated,
             {"1", "2"},
             {"a", "z"}},
            {"update none",
             "update q set name = 'z' where id = 99",
             "0" + kRowsUpdated,
             {"1", "2"},
             {"a", "b"}},
            {"update many",
             "update q set id = id + 10",
             "2" + kRowsUpdated,
             {"11", "12"},
             {"a", "b"}},
            {"delete", "delete from q where id = 1", "1" + kRowsDeleted, {"2"}, {"b"}},
            {"delete none",
             "DELETE FROM q WHERE id < 0",
             "0" + kRowsDeleted,
             {"1", "2"},
             {"a", "b"}},
            {"insert select",
             "insert into q select id + 2, name from q",
             "2" + kRowsInserted,
             {"1", "2", "3", "4"},
             {"a", "b", "a", "b"}},
            {"insert values",
             "\r\n  INSERT INTO q VALUES (5, 'e')",
             "1" + kRowsInserted,
             {"1", "2", "5"},
             {"a", "b", "e"}},
            // Statements that change no rows keep the plain text.
            {"create table", "create table q2 (x integer)", kQueryDone, {"1", "2"}, {"a", "b"}},
        };
        for (const testdb::Backend& b : testdb::backendsForRows())
            for (const Change& c : changes)
                QTest::newRow(qPrintable(b.name + QLatin1Char('/') + QLatin1String(c.name)))
                    << b.name << QString::fromLatin1(c.sql) << c.status << c.ids << c.names;
    }
    void changesShowThePreviousResultAgain() {
        QFETCH(QString, backend);
        QFETCH(QString, statement);
        QFETCH(QString, status);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, names);
        initBackend(backend);
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS q2"));
        QVERIFY(run(QStringLiteral("select * from q order by id")));
        QVERIFY(run(statement));
        QCOMPARE(m_window.statuses.last(), status);
        QVERIFY(m_state->resultOpen);
        QCOMPARE(m_window.boundColumn(0), ids);
        QCOMPARE(m_window.boundColumn(1), names);
        QCOMPARE(m_state->resultSet->Source(), QStringLiteral("select * from q order by id"));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS q2"));
    }

    void deletesAreConfirmed_data() { testdb::addBackendRows(); }
    void deletesAreConfirmed() {
        QFETCH(QString, backend);
        initBackend(backend);
        QVERIFY(run(QStringLiteral("select * from q order by id")));
        m_window.answers = {PanelAnswer::Cancel};
        QVERIFY(run(QStringLiteral("DELETEx from q"))); // only six letters are compared
        QCOMPARE(m_window.prompts, QStringList{kDeleteQuestion});
        QCOMPARE(m_window.statuses.last(), kQueryNotRun);
        QCOMPARE(m_window.boundColumn(0), QStringList({"1", "2"}));
        QVERIFY(run(QStringLiteral("delete from q where id = 1")));
        QCOMPARE(m_window.prompts.size(), 2);
        QCOMPARE(m_window.boundColumn(0), QStringList{"2"});
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Delete"), QStringLiteral("False"));
        QVERIFY(run(QStringLiteral("Delete from q")));
        QCOMPARE(m_window.prompts.size(), 2);
        QCOMPARE(m_state->resultSet->RecordCount(), 0);
    }

    void failuresAreReported_data() { testdb::addBackendRows(); }
    void failuresAreReported() {
        QFETCH(QString, backend);
        initBackend(backend);
        QVERIFY(run(QStringLiteral("select * from q order by id")));
        const auto shown = m_window.bound;
        QVERIFY(!run(QStringLiteral("select * from nowhere")));
        QCOMPARE(m_window.statuses.last(), QStringLiteral("ERROR"));
        QCOMPARE(m_window.prompts.size(), 1);
        QVERIFY(m_window.prompts.front().startsWith(QStringLiteral("   VB Error # ")));
        // The grid keeps the old rows; the current record set is an unseen copy of them.
        QCOMPARE(m_window.bound, shown);
        QVERIFY(m_state->resultOpen);
        QVERIFY(m_state->resultSet != shown);
        QCOMPARE(m_state->resultSet->Source(), QStringLiteral("select * from q order by id"));
        QCOMPARE(m_window.boundColumn(1), QStringList({"a", "b"}));
        // A failing change leaves the grid empty.
        QVERIFY(!run(QStringLiteral("update nowhere set x = 1")));
        QVERIFY(!m_window.bound);
        QVERIFY(!m_state->resultOpen);
    }

    void lostConnectionIsReported_data() {
        QTest::addColumn<QString>("backend");
        for (const testdb::Backend& b : testdb::backendsForRows())
            if (testdb::isServer(b.kind)) QTest::newRow(qPrintable(b.name)) << b.name;
    }
    void lostConnectionIsReported() {
        QFETCH(QString, backend);
        // MariaDB's client reports the killed session as "server has gone away" (2006) or
        // "lost connection" (2013) under HY000, psqlODBC under a state of class 08.
        const bool maria = testdb::isMariaDb(testdb::backend(backend).kind);
        initBackend(backend);
        QVERIFY(run(QStringLiteral("select * from q order by id")));
        db::Recordset pid;
        QVERIFY(pid.Open(maria ? QStringLiteral("select connection_id()")
                               : QStringLiteral("select pg_backend_pid()"),
                         m_record.adoConnection.get()));
        db::Connection admin;
        QVERIFY(testdb::open(admin, backend));
        QVERIFY(testdb::exec(admin, (maria ? QStringLiteral("kill connection %1")
                                           : QStringLiteral("select pg_terminate_backend(%1)"))
                                        .arg(pid.text(0, 0))));
        qsizetype reports = 1;
        if (maria) {
            // MariaDB's driver asks the server whether the session still lives: the layer logs
            // in again before the next statement, which then runs once, without a report.
            QVERIFY(run(QStringLiteral("insert into q values (3, 'c')")));
            QVERIFY2(m_window.prompts.isEmpty(), qPrintable(m_window.prompts.join('\n')));
            QVERIFY(run(QStringLiteral("select count(*), connection_id() from q")));
            QCOMPARE(m_state->resultSet->text(0, 0), QStringLiteral("3"));
            QVERIFY(m_state->resultSet->text(0, 1) != pid.text(0, 0));
            reports = 0;
        } else {
            // The statement that meets the ended session reports it and does not end the
            // program; the next one runs in a new session.
            QVERIFY(!run(QStringLiteral("select * from q")));
            QCOMPARE(m_window.statuses.last(), QStringLiteral("ERROR"));
            QCOMPARE(m_window.prompts.size(), 1);
            QVERIFY(m_window.prompts.last().startsWith(QStringLiteral("   VB Error # ")));
        }
        QVERIFY(run(QStringLiteral("update q set name = 'x'")));
        QCOMPARE(m_window.prompts.size(), reports);
        QVERIFY(run(QStringLiteral("select name from q")));
        QCOMPARE(m_state->resultSet->text(0, 0), QStringLiteral("x"));
    }

    // A statement that never ends by itself on each backend.
    static QString endless(const QString& backend) {
        if (testdb::isPostgres(testdb::backend(backend).kind))
            return QStringLiteral("select pg_sleep(1000)");
        // Its driver cancels by KILL QUERY from a second session; the sleep then ends early.
        if (testdb::isMariaDb(testdb::backend(backend).kind))
            return QStringLiteral("select sleep(1000)");
        return QStringLiteral("select count(*) from (with recursive r(i) as (select 1 union all "
                              "select i + 1 from r) select i from r)");
    }

    void cancelStopsARunawayStatement_data() { testdb::addBackendRows(); }
    void cancelStopsARunawayStatement() {
        QFETCH(QString, backend);
        initBackend(backend);
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("0"));
        QVERIFY(run(QStringLiteral("select * from q order by id")));
        const auto shown = m_window.bound;
        m_window.calls.clear();

        // The statement goes on without anybody waiting for it, and ends from the event
        // loop, where the window's own events go on; one of them cancels it.
        int ticks = 0;
        bool cancelled = false;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (++ticks == 5) {
                QVERIFY(m_state->statements.isRunning());
                cancelled = true;
                CancelRunningStatement(*m_state);
            }
        });
        ticker.start(50);
        bool ended = false, ok = true;
        ExecuteQuery(*m_state, m_window, endless(backend), [&](bool result) {
            ended = true;
            ok = result;
        });
        QVERIFY(m_state->statements.isRunning());
        QVERIFY(!ended);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 60000);
        QVERIFY(!ok);
        ticker.stop();
        QVERIFY(ticks >= 5);
        // The statement never ends by itself: that it came back at all is the cancel's doing,
        // and the status below names the cancel.
        QVERIFY(cancelled);
        QVERIFY(!m_state->statements.isRunning());
        QVERIFY(m_window.calls.contains(QStringLiteral("cancel=1")));
        QCOMPARE(m_window.calls.filter(QStringLiteral("cancel=")).last(),
                 QStringLiteral("cancel=0"));

        // The user asked for it: said in the status bar, no report; the state is that of a
        // failed SELECT.
        QCOMPARE(m_window.statuses.last(), kQueryCancelled);
        QCOMPARE(m_window.prompts, QStringList());
        QCOMPARE(m_window.bound, shown);
        QVERIFY(m_state->resultOpen);
        QCOMPARE(m_state->resultSet->Source(), QStringLiteral("select * from q order by id"));
        QCOMPARE(m_state->resultSet->RecordCount(), 2);

        // The connection is whole: the next statements run, and a cancel with nothing running
        // is not kept for them.
        CancelRunningStatement(*m_state);
        QVERIFY(run(QStringLiteral("update q set name = 'y' where id = 1")));
        QVERIFY(run(QStringLiteral("select name from q order by id")));
        QCOMPARE(m_window.boundColumn(0), QStringList({"y", "b"}));
        QCOMPARE(m_window.prompts, QStringList());
    }

    // A session the server ended is opened again by the next statement, before that one is
    // handed to its worker: a cancel meanwhile reaches the new session, never a freed one
    // (the race detector's build runs this).
    void cancelWhileLoggingInAgain() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        initBackend(QStringLiteral("postgres-odbc"));
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("0"));
        QVERIFY(run(QStringLiteral("select * from q order by id")));
        db::Recordset pid;
        QVERIFY(pid.Open(QStringLiteral("select pg_backend_pid()"), m_record.adoConnection.get()));
        const QString before = pid.text(0, 0);
        db::Connection admin;
        QVERIFY(testdb::open(admin, QStringLiteral("postgres-odbc")));
        QVERIFY(testdb::exec(admin, QStringLiteral("select pg_terminate_backend(%1)").arg(before)));
        QVERIFY(!run(QStringLiteral("select 1"))); // meets the ended session
        QCOMPARE(m_window.prompts.size(), 1);

        // Cancel at once and again while it runs, from the window's own events.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            ++ticks;
            CancelRunningStatement(*m_state);
        });
        ticker.start(0);
        QVERIFY(!run(QStringLiteral("select pg_sleep(1000)")));
        ticker.stop();
        QVERIFY(ticks > 0);
        QCOMPARE(m_window.prompts.size(), 1);
        QCOMPARE(m_window.statuses.last(), kQueryCancelled);
        QVERIFY(run(QStringLiteral("select pg_backend_pid()")));
        QVERIFY(m_state->resultSet->text(0, 0) != before);
        QCOMPARE(m_window.prompts.size(), 1);
    }

    // The rows of a long result are handed over block by block and read here while the worker
    // reads on (the race detector's build runs this): each block whole, in order, the count
    // exact at the end. When the application quits while they arrive, no loop is left to take
    // them: its owner stops the run (the window does as it goes), and the worker, which waits
    // for room, stops instead of waiting for ever; nobody is told.
    void rowsArriveWhileRead_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<ReadEnd>("end");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QTest::newRow(qPrintable(b.name)) << b.name << ReadEnd::Read;
            QTest::newRow(qPrintable(b.name + QStringLiteral(" cancel")))
                << b.name << ReadEnd::Cancel;
            QTest::newRow(qPrintable(b.name + QStringLiteral(" quit"))) << b.name << ReadEnd::Quit;
        }
    }
    void rowsArriveWhileRead() {
        QFETCH(QString, backend);
        QFETCH(ReadEnd, end);
        initBackend(backend);
        const int rows = 300000;
        QString sql;
        switch (testdb::backend(backend).kind) {
        case testdb::Kind::PostgresOdbc:
        case testdb::Kind::PostgresNative:
            sql = QStringLiteral("select i from generate_series(1, %1) i");
            break;
        case testdb::Kind::MariaDbOdbc:
        case testdb::Kind::MariaDbNative:
            sql = QStringLiteral("select seq as i from seq_1_to_%1");
            break;
        default:
            sql = QStringLiteral("select i from (with recursive r(i) as (select 1 union all "
                                 "select i + 1 from r limit %1) select i from r)");
        }
        sql = sql.arg(rows);
        if (end == ReadEnd::Cancel) {
            m_window.onRows = [this] {
                m_state->statements.cancel();
                // As a repeated Escape does, while the worker still reads the block it is in.
                for (int i = 0; i < 2000; ++i)
                    m_record.adoConnection->cancel();
            };
            QVERIFY(!run(sql));
            QCOMPARE(m_window.prompts, QStringList());
            QCOMPARE(m_window.statuses.last(), kQueryCancelled);
            m_window = RecordingWindow();
            QVERIFY(run(QStringLiteral("select count(*) from q")));
            QCOMPARE(m_state->resultSet->text(0, 0), QStringLiteral("2"));
            return;
        }
        if (end == ReadEnd::Quit) {
            m_window.onRows = [] { QCoreApplication::exit(0); };
            QVERIFY(!run(sql));
            QVERIFY(m_state->statements.isRunning());
            m_state->statements.stop();
            QVERIFY(!m_state->statements.isRunning());
            QVERIFY(m_window.bound == nullptr);
            QCOMPARE(m_window.prompts, QStringList());
            // Nested loops work again only once the application's own loop has run.
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            QCoreApplication::exec();
            m_window = RecordingWindow();
            QVERIFY(run(QStringLiteral("select count(*) from q")));
            QCOMPARE(m_state->resultSet->text(0, 0), QStringLiteral("2"));
            return;
        }
        QVERIFY2(run(sql), qPrintable(m_window.prompts.join(QLatin1Char(10))));
        QVERIFY2(m_window.arrived.size() >= 2,
                 qPrintable(QString::number(m_window.arrived.size())));
        QVERIFY(std::is_sorted(m_window.arrived.begin(), m_window.arrived.end()));
        QVERIFY(m_window.arrived.front() < rows);
        QVERIFY(m_window.arrivedIntact);
        QCOMPARE(m_state->resultSet->RecordCount(), rows);
        QCOMPARE(m_window.bound, m_state->resultSet);
        QCOMPARE(m_state->resultSet->text(rows - 1, 0), QString::number(rows));
    }

    // A text of several statements runs on the worker like any other; where the driver cannot
    // take one (the SQLite ODBC driver, MariaDB's, which would leave the connection waiting for
    // ever on any other thread) it is refused, nothing runs, and the next statement works.
    void severalStatementsOnTheWorker_data() { testdb::addBackendRows(); }
    void severalStatementsOnTheWorker() {
        QFETCH(QString, backend);
        initBackend(backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        const bool refused = kind == testdb::Kind::SqliteOdbc || kind == testdb::Kind::MariaDbOdbc;
        const bool ran =
            run(QStringLiteral("insert into q values (3, 'c'); select name from q order by id"));
        QCOMPARE(ran, !refused);
        QCOMPARE(m_window.prompts.size(), refused ? 1 : 0);
        if (!refused) QCOMPARE(m_window.boundColumn(0), QStringList({"a", "b", "c"}));
        QVERIFY(run(QStringLiteral("select count(*) from q")));
        QCOMPARE(m_state->resultSet->text(0, 0),
                 refused ? QStringLiteral("2") : QStringLiteral("3"));
    }

    void timeoutSetting_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("timeout"); // -1: the run fails
        QTest::newRow("number") << "12" << 12;
        QTest::newRow("not a number") << "abc" << 30;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("rounded") << "2.5" << 2;
        QTest::newRow("out of range") << "70000" << -1;
    }
    void timeoutSetting() {
        QFETCH(QString, setting);
        QFETCH(int, timeout);
        initBackend(QStringLiteral("sqlite"));
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), setting);
        const bool ok = run(QStringLiteral("select * from q"));
        QCOMPARE(ok, timeout >= 0);
        if (timeout >= 0) {
            QCOMPARE(m_record.adoConnection->CommandTimeout(), timeout);
        } else {
            QCOMPARE(m_window.statuses.last(), QStringLiteral("ERROR"));
            QVERIFY(m_window.prompts.front().contains(QStringLiteral("Overflow")));
        }
    }

    void executeCommandAndRefresh() {
        initBackend(QStringLiteral("sqlite"));
        QStringList history;
        auto add = [&](const QString& s) { history << s; };
        executeQueryBoxAndWait(*m_state, m_window, QStringLiteral("select 1\r\nselect * from q"),
                               QStringLiteral("select * from q"), add);
        QCOMPARE(history, QStringList{"select * from q"});
        QCOMPARE(m_window.calls.front(), QStringLiteral("enabled=0"));
        QCOMPARE(m_window.calls.back(), QStringLiteral("enabled=1"));
        // A selection of blanks and line breaks runs the whole text; a failed run is kept too.
        executeQueryBoxAndWait(*m_state, m_window, QStringLiteral("select * from nowhere"),
                               QStringLiteral(" \r\n "), add);
        QCOMPARE(history.last(), QStringLiteral("select * from nowhere"));
        executeQueryBoxAndWait(*m_state, m_window, QStringLiteral("  "), QString(), add);
        QCOMPARE(history.size(), 2);

        QVERIFY(run(QStringLiteral("select * from q")));
        QVERIFY(
            testdb::exec(*m_record.adoConnection, QStringLiteral("INSERT INTO q VALUES (3, 'c')")));
        m_window.bound.reset();
        requeryResultAndWait(*m_state, m_window);
        QCOMPARE(m_state->resultSet->RecordCount(), 3);
        // The grid shows the record set just read, whichever it showed before.
        QCOMPARE(m_window.bound, m_state->resultSet);
    }
};

QTEST_GUILESS_MAIN(TestExecuteQuery)
#include "tst_executequery.moc"
