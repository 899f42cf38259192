// The PostgreSQL and the MariaDB server stopped in the middle of a query, an import, an
// export and a batch run, then started again: each operation ends with its report, keeps
// every row it wrote, counts them exactly, and the next statement works once the server is
// back.
#include "FaultControl.h"
#include "QueryWait.h"
#include "RecordingBatchFeedback.h"
#include "TransferFixture.h"
#include "batch/BatchRunners.h"
#include "batch/BatchTexts.h"
#include "options/SettingsKeys.h"
#include "transfer/TableTransfer.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QTest>
#include <QTimer>
#include <map>

namespace {
constexpr int kSourceRows = 30000; // three server fetches of psqlODBC's declare/fetch cursor

QByteArray csvRows(int first, int count) {
    QByteArray out;
    for (int i = first; i < first + count; ++i)
        out += QByteArray::number(i) + ",\"row " + QByteArray::number(i) + "\"\r\n";
    return out;
}

// The lines of a written file; fails when the last line is cut short.
QList<QByteArray> wholeLines(const QByteArray& bytes, bool& cut) {
    QList<QByteArray> lines = bytes.split('\n');
    cut = !lines.isEmpty() && !lines.last().isEmpty();
    if (!cut && !lines.isEmpty()) lines.removeLast();
    return lines;
}

// A batch window that can stop or start the server as the runners go.
class FaultBatchFeedback : public RecordingBatchFeedback {
public:
    std::function<void()> onEvents;
    std::function<void(const LogEntry&)> onLog;
    void doEvents() override {
        RecordingBatchFeedback::doEvents();
        if (onEvents) onEvents();
    }
    void AppendLog(const QString& subject, const QString& detail, bool success) override {
        RecordingBatchFeedback::AppendLog(subject, detail, success);
        if (onLog) onLog(log.back());
    }
};
} // namespace

class tst_ServerLoss : public QObject {
    Q_OBJECT

    // One fixture per server, made when its first case runs.
    std::map<QString, std::unique_ptr<TransferFixture>> m_fixtures;
    TransferFixture* f = nullptr;
    faults::Server m_server = faults::Server::Postgres;
    bool m_maria = false;
    QString m_backend;

    qint64 count(const QString& table) {
        const QStringList r = f->rows(QStringLiteral("select count(*) from ") + table);
        return r.isEmpty() ? -1 : r.front().toLongLong();
    }

    // True when the server shows a session of this test running the statement.
    bool serverRuns(db::Connection& admin, const QString& statement) {
        db::Recordset rs;
        const QString sql =
            m_maria ? QStringLiteral("select count(*) from information_schema.processlist where "
                                     "info like '%%1%' and id <> connection_id()")
                          .arg(statement)
                    : QStringLiteral("select count(*) from pg_stat_activity where query like "
                                     "'%%1%' and state = 'active' and pid <> pg_backend_pid()")
                          .arg(statement);
        return rs.Open(sql, &admin) && rs.text(0, 0).toInt() > 0;
    }

private slots:
    void initTestCase_data() {
        QTest::addColumn<QString>("backend");
        QTest::newRow("postgres-odbc") << QStringLiteral("postgres-odbc");
        QTest::newRow("mariadb-odbc") << QStringLiteral("mariadb-odbc");
    }

    void init() {
        QFETCH_GLOBAL(QString, backend);
        m_backend = backend;
        m_maria = backend == QLatin1String("mariadb-odbc");
        m_server = m_maria ? faults::Server::MariaDb : faults::Server::Postgres;
        TESTDB_NEED_SERVERS(faults::serverConfigured(m_server) &&
                            !testdb::backend(backend).name.isEmpty());
        std::unique_ptr<TransferFixture>& made = m_fixtures[backend];
        f = made.get();
        if (f) return;
        made = std::make_unique<TransferFixture>();
        f = made.get();
        QVERIFY(faults::serverRunning(m_server));
        QVERIFY(f->open(backend));
        f->dropTable(QStringLiteral("loss_src"));
        QVERIFY(f->exec(QStringLiteral("create table loss_src (id integer primary key, "
                                       "txt varchar(40))")));
        QVERIFY(f->exec(
            m_maria ? QStringLiteral("insert into loss_src with recursive g(i) as (select 1 union "
                                     "all select i + 1 from g where i < %1) select i, "
                                     "concat('row ', i) from g")
                          .arg(kSourceRows)
                    : QStringLiteral("insert into loss_src select g, 'row ' || g from "
                                     "generate_series(1, %1) g")
                          .arg(kSourceRows)));
    }

    void cleanup() {
        // Whatever a case did, the server runs for the next one and the rest of the suite.
        if (faults::serverConfigured(m_server) && !faults::serverRunning(m_server))
            QVERIFY(faults::startServer(m_server));
    }

    void cleanupTestCase() {
        for (auto& [backend, fixture] : m_fixtures) {
            if (!fixture->state) continue;
            fixture->dropTable(QStringLiteral("loss_src"));
            fixture->dropTable(QStringLiteral("loss_dst"));
            fixture->dropTable(QStringLiteral("loss_dst2"));
        }
    }

    void queryInFlight() {
        faults::ServerGuard guard(m_server);
        RecordingWindow window;
        // The server goes once it shows the statement running, however late that starts.
        const QString statement =
            m_maria ? QStringLiteral("select sleep(20)") : QStringLiteral("select pg_sleep(20)");
        db::Connection admin;
        QVERIFY(testdb::open(admin, m_backend));
        bool stopped = false, runningWhenStopped = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (stopped || !serverRuns(admin, statement)) return;
            poll.stop();
            runningWhenStopped = f->state->statements.isRunning();
            stopped = faults::stopServer(m_server);
        });
        poll.start(50);
        const bool ok = executeQueryAndWait(*f->state, window, statement);
        poll.stop();
        QVERIFY(runningWhenStopped);
        QVERIFY(stopped);
        // The statement would have ended well by itself: the loss ended it.
        QVERIFY(!ok);
        QCOMPARE(window.statuses.last(), QStringLiteral("ERROR"));
        QCOMPARE(window.prompts.size(), 1);
        QVERIFY2(window.prompts.front().startsWith(QStringLiteral("   VB Error # ")),
                 qPrintable(window.prompts.front()));
        qInfo("server stopped during a query: %s",
              qPrintable(window.prompts.front().split(QStringLiteral("\r\n")).last()));

        // While the server is down a statement fails with its report, again without a hang.
        RecordingWindow down;
        QVERIFY(
            !executeQueryAndWait(*f->state, down, QStringLiteral("select count(*) from loss_src")));
        QCOMPARE(down.statuses.last(), QStringLiteral("ERROR"));

        QVERIFY(faults::startServer(m_server));
        RecordingWindow back;
        QVERIFY(
            executeQueryAndWait(*f->state, back, QStringLiteral("select count(*) from loss_src")));
        QVERIFY2(back.prompts.isEmpty(), qPrintable(back.prompts.join(QLatin1Char('\n'))));
        QCOMPARE(f->state->resultSet->text(0, 0), QString::number(kSourceRows));
    }

    void importInFlight_data() {
        QTest::addColumn<bool>("skipFailures");
        QTest::newRow("errors end the import") << false;
        QTest::newRow("errors skipped") << true;
    }
    void importInFlight() {
        QFETCH(bool, skipFailures);
        faults::ServerGuard guard(m_server);
        f->dropTable(QStringLiteral("loss_dst"));
        QVERIFY(f->exec(QStringLiteral("create table loss_dst (id integer, txt varchar(40))")));
        // Long enough that batches of held rows have been stored before the server goes.
        constexpr int kRows = 1000000;
        constexpr int kStopAfterRecords = 120000;
        QVERIFY(writeBytes(f->path(QStringLiteral("in.csv")), csvRows(1, kRows)));
        WriteSetting(keys::ImportErrorHandling,
                     skipFailures ? QStringLiteral("True") : QStringLiteral("False"));
        QVERIFY(f->show(QStringLiteral("select * from loss_dst")));

        RecordingWindow window;
        // The importer lets events run after every record it reads: stopping past the second
        // batch the connection stores leaves rows stored and rows still to come.
        bool stopped = false;
        int records = 0;
        window.onEvents = [&] {
            if (!stopped && ++records == kStopAfterRecords) stopped = faults::stopServer(m_server);
        };
        f->importFile(window, f->path(QStringLiteral("in.csv")), kComma);
        QVERIFY(stopped);
        QCOMPARE(window.prompts.size(), 1);
        QVERIFY2(window.prompts.front().startsWith(QStringLiteral("   VB Error # ")),
                 qPrintable(window.prompts.front()));
        QVERIFY(window.statuses.contains(kStatusError));
        // The count shown last is the count of rows the table holds.
        const QString last = window.statuses.last();
        QVERIFY2(last.endsWith(kRowsHandled), qPrintable(last));
        const qint64 shown = last.chopped(kRowsHandled.size()).toLongLong();

        QVERIFY(faults::startServer(m_server));
        const qint64 held = count(QStringLiteral("loss_dst"));
        qInfo("import: %lld rows shown, %lld in the table", shown, held);
        QCOMPARE(held, shown);
        QVERIFY(held > 0 && held < kRows);
        // The rows kept are the first ones of the file, each once.
        QCOMPARE(f->rows(QStringLiteral("select min(id), max(id), count(distinct id) from "
                                        "loss_dst")),
                 QStringList{QStringLiteral("1|%1|%1").arg(held)});
        WriteSetting(keys::ImportErrorHandling, QStringLiteral("False"));
    }

    // One table transfer per line: the server goes away during the first, comes back before
    // the second, which then runs normally.
    void batchRun_data() {
        QTest::addColumn<bool>("import");
        QTest::newRow("import") << true;
        QTest::newRow("export") << false;
    }
    void batchRun() {
        QFETCH(bool, import);
        faults::ServerGuard guard(m_server);
        f->dropTable(QStringLiteral("loss_dst"));
        f->dropTable(QStringLiteral("loss_dst2"));
        QVERIFY(f->exec(QStringLiteral("create table loss_dst (id integer, txt varchar(40))")));
        QVERIFY(f->exec(QStringLiteral("create table loss_dst2 (id integer, txt varchar(40))")));
        QVERIFY(f->exec(QStringLiteral("insert into loss_dst2 values (1, 'one'), (2, 'two')")));
        const QString big = f->path(QStringLiteral("big.csv"));
        const QString small = f->path(QStringLiteral("small.csv"));
        QVERIFY(writeBytes(big, csvRows(1, 20000)));
        QVERIFY(writeBytes(small, csvRows(1, 3)));

        FaultBatchFeedback batch;
        batch.command = import ? QStringLiteral("loss_dst, %1\r\nloss_dst2, %2").arg(big, small)
                               : QStringLiteral("loss_src, %1\r\nloss_dst2, %2")
                                     .arg(f->path(QStringLiteral("out1.csv")),
                                          f->path(QStringLiteral("out2.csv")));
        bool stopped = false, restarted = false;
        int calls = 0;
        batch.onEvents = [&] {
            // The runner lets events run before each line, the transfer after its first row
            // (and then time-sliced): stop there, in the middle of the first table.
            if (++calls == 2) stopped = faults::stopServer(m_server);
        };
        batch.onLog = [&](const RecordingBatchFeedback::LogEntry&) {
            if (stopped && !restarted) restarted = faults::startServer(m_server);
        };
        if (import)
            BatchImportCSV(f->connection(), batch);
        else
            BatchExportCSV(f->connection(), batch);
        QVERIFY(stopped);
        QVERIFY(restarted);
        QCOMPARE(batch.log.size(), 2);
        if (m_maria && !import) {
            // The driver had read the whole table when the statement ran: every row reached
            // the file, the server's stop notwithstanding.
            QVERIFY2(batch.log[0].success, qPrintable(batch.log[0].detail));
            QCOMPARE(batch.log[0].subject, f->path(QStringLiteral("out1.csv")) + batchtext::kTo +
                                               QString::number(kSourceRows) +
                                               batchtext::kRowsWritten);
            QVERIFY2(batch.log[1].success, qPrintable(batch.log[1].detail));
            return;
        }
        QVERIFY(!batch.log[0].success);
        QVERIFY2(batch.log[0].detail.startsWith(QStringLiteral("VB Error # ")),
                 qPrintable(batch.log[0].detail));
        QVERIFY2(batch.log[1].success, qPrintable(batch.log[1].detail));
        QCOMPARE(batch.calls.last(), QStringLiteral("idle"));
        if (import) {
            QCOMPARE(batch.log[1].subject, QStringLiteral("loss_dst2") + batchtext::kTo +
                                               QStringLiteral("3") + batchtext::kRowsAdded);
            // Rows still held for the next batch statement when the session went are not in
            // the table; those stored before are, each once.
            const qint64 held = count(QStringLiteral("loss_dst"));
            QVERIFY(held < 20000);
            if (held > 0)
                QCOMPARE(f->rows(QStringLiteral("select min(id), max(id), count(distinct id) from "
                                                "loss_dst")),
                         QStringList{QStringLiteral("1|%1|%1").arg(held)});
            QCOMPARE(count(QStringLiteral("loss_dst2")), qint64(5));
            qInfo("batch import: %lld of 20000 rows kept; %s", held,
                  qPrintable(batch.log[0].detail));
        } else {
            QCOMPARE(batch.log[1].subject, f->path(QStringLiteral("out2.csv")) + batchtext::kTo +
                                               QStringLiteral("2") + batchtext::kRowsWritten);
            bool cut = false;
            const QList<QByteArray> lines =
                wholeLines(fileBytes(f->path(QStringLiteral("out1.csv"))), cut);
            QVERIFY(!cut);
            QVERIFY(lines.size() < kSourceRows);
            for (int i = 0; i < lines.size(); ++i)
                QVERIFY(lines[i].startsWith(QByteArray::number(i + 1) + ','));
            qInfo("batch export: %lld of %d rows in the file; %s", qint64(lines.size()),
                  kSourceRows, qPrintable(batch.log[0].detail));
        }
    }
};

QTEST_GUILESS_MAIN(tst_ServerLoss)
#include "tst_serverloss.moc"
