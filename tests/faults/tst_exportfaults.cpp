// An export that meets a fault, one body for every fault and writer: a full disk (a small
// tmpfs) under the text export of the window, the table writer of the batch window, the export
// of all tables and the Excel and HTML output; the PostgreSQL and the MariaDB server stopped,
// restarted, or restarted and logged in again while the text export or the table writer reads;
// the SQLite file of an open result deleted or cut short; a statement that fails in the middle,
// on every backend. Each row checks the report, the whole lines kept in order, an earlier file
// left byte for byte, and a count never above the lines written.
#include "FaultControl.h"
#include "OutputWindow.h"
#include "QueryWait.h"
#include "RecordingBatchFeedback.h"
#include "TransferFixture.h"
#include "batch/ExportAll.h"
#include "transfer/ExcelExport.h"
#include "transfer/HtmlExport.h"
#include "transfer/TableTransfer.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <map>
#include <unistd.h>

namespace {
enum class Fault {
    DiskFull,
    ServerStopped,
    ServerRestarted,
    NewSession,
    FileDeleted,
    FileTruncated,
    StatementFails
};
enum class Writer { CsvWindow, TableWriter, ExportAll, Excel, Html };

constexpr qint64 kDiskBytes = 256 * 1024;
constexpr int kBigRows = 20000;    // about 1.3 MB of CSV
constexpr int kSourceRows = 30000; // three server fetches of psqlODBC's declare/fetch cursor
// The fault strikes at this event of a text export, with rows written and rows still to read.
constexpr int kStrikeAt = 100;
// The failing statement's rows, and the row it fails at.
constexpr int kManyRows = 30000;
constexpr int kFailingRow = 20000;

const QByteArray kEarlier("earlier\r\ncontent, not ours\r\n\x82\xa0");

// The lines of a written file; cut when the last line is short.
QList<QByteArray> wholeLines(const QByteArray& bytes, bool& cut) {
    QList<QByteArray> lines = bytes.split('\n');
    cut = !lines.isEmpty() && !lines.last().isEmpty();
    if (!cut && !lines.isEmpty()) lines.removeLast();
    return lines;
}

// Where the rows of a failed export are: the target itself when there was no earlier file;
// else the earlier file is unchanged and they are in the one new file beside it that the
// report names (none, an empty path, when no row was written).
QString rowsFile(const QString& folder, const QString& target, bool earlier,
                 const QString& report) {
    if (!earlier) return folder + target;
    if (fileBytes(folder + target) != kEarlier) return QStringLiteral("<earlier file changed>");
    QStringList kept = QDir(folder).entryList(QDir::Files);
    kept.removeAll(target);
    kept = kept.filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(target) +
                                          QLatin1Char('.')));
    if (kept.isEmpty()) return QString();
    if (kept.size() != 1) return QStringLiteral("<%1 files beside it>").arg(kept.size());
    if (!report.contains(folder + kept.front()))
        return QStringLiteral("<not named in the report: %1>").arg(report);
    return folder + kept.front();
}

bool onServer(Fault fault) {
    return fault == Fault::ServerStopped || fault == Fault::ServerRestarted ||
           fault == Fault::NewSession;
}
bool onFile(Fault fault) {
    return fault == Fault::FileDeleted || fault == Fault::FileTruncated;
}

// A fixture of its own on a SQLite file of this many rows, connected as the window connects.
bool openFile(TransferFixture& f, const QString& file, int rows) {
    if (!faults::numberedSqliteTable(file, QStringLiteral("big"), rows)) return false;
    qputenv("XDG_CONFIG_HOME", f.config->path().toUtf8());
    f.record.adoConnection = std::make_unique<db::Connection>();
    f.record.adoConnection->setConnectionString(faults::sqliteConnectionString(file));
    if (!f.record.adoConnection->Open()) return false;
    f.state = std::make_unique<ProgramState>(f.record);
    return true;
}
} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Writer)

class tst_ExportFaults : public QObject {
    Q_OBJECT

    // One fixture per backend, made when its first row runs.
    std::map<QString, std::unique_ptr<TransferFixture>> m_fixtures;

    TransferFixture* fixture(const QString& backend) {
        std::unique_ptr<TransferFixture>& made = m_fixtures[backend];
        if (made) return made.get();
        made = std::make_unique<TransferFixture>();
        TransferFixture& f = *made;
        if (!f.open(backend)) return nullptr;
        if (backend == QLatin1String("sqlite")) {
            f.dropTable(QStringLiteral("big"));
            f.dropTable(QStringLiteral("small"));
            if (!f.exec(QStringLiteral("create table big (id integer primary key, txt "
                                       "varchar(60))")) ||
                !f.exec(QStringLiteral("with recursive s(i) as (select 1 union all select i + 1 "
                                       "from s where i < %1) insert into big select i, 'row ' || "
                                       "i || ' of the table that does not fit' from s")
                            .arg(kBigRows)) ||
                !f.exec(QStringLiteral("create table small (id integer, txt varchar(10))")) ||
                !f.exec(QStringLiteral("insert into small values (1, 'a'), (2, 'b'), (3, 'c')")))
                return nullptr;
            return &f;
        }
        f.dropTable(QStringLiteral("big"));
        if (!f.exec(QStringLiteral("create table big (id integer primary key, txt varchar(40))")))
            return nullptr;
        const bool filled = f.exec(
            backend == QLatin1String("mariadb-odbc")
                ? QStringLiteral("insert into big with recursive g(i) as (select 1 union all "
                                 "select i + 1 from g where i < %1) select i, concat('row ', i) "
                                 "from g")
                      .arg(kSourceRows)
                : QStringLiteral("insert into big select g, 'row ' || g from "
                                 "generate_series(1, %1) g")
                      .arg(kSourceRows));
        return filled ? &f : nullptr;
    }

    // The rows a failing statement reads, made once per backend.
    TransferFixture* failingFixture(const QString& backend) {
        std::unique_ptr<TransferFixture>& made = m_fixtures[QStringLiteral("fails ") + backend];
        if (made) return made.get();
        made = std::make_unique<TransferFixture>();
        TransferFixture& f = *made;
        if (!f.open(backend)) return nullptr;
        f.dropTable(QStringLiteral("fx"));
        const auto text = [&](const char* prefix) {
            return testdb::prefixed(f.kind, QString::fromLatin1(prefix), QStringLiteral("i"));
        };
        if (!f.exec(QStringLiteral("create table fx (seq integer, id integer, code varchar(20), "
                                   "name %1, qty integer)")
                        .arg(testdb::nvarchar(f.kind, 40))) ||
            !f.exec(QStringLiteral("insert into fx select i, i, %1, %2, i from %3")
                        .arg(text("c"), text("n"), testdb::numbers(f.kind, kManyRows))))
            return nullptr;
        return &f;
    }

    static qint64 count(TransferFixture& f) {
        const QStringList r = f.rows(QStringLiteral("select count(*) from big"));
        return r.isEmpty() ? -1 : r.front().toLongLong();
    }

private slots:
    void cleanup() {
        // Whatever a row did, the servers run for the next one and the rest of the suite.
        for (faults::Server s : {faults::Server::Postgres, faults::Server::MariaDb})
            if (faults::serverConfigured(s) && !faults::serverRunning(s))
                QVERIFY(faults::startServer(s));
    }

    void cleanupTestCase() {
        for (auto& [backend, fixture] : m_fixtures)
            if (fixture->state) {
                fixture->dropTable(QStringLiteral("big"));
                fixture->dropTable(QStringLiteral("fx"));
            }
    }

    void exportMeetsAFault_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("earlier");
        const QString sqlite = QStringLiteral("sqlite");
        QTest::newRow("disk full, csv window, new file")
            << Fault::DiskFull << Writer::CsvWindow << sqlite << false;
        QTest::newRow("disk full, csv window, earlier file")
            << Fault::DiskFull << Writer::CsvWindow << sqlite << true;
        QTest::newRow("disk full, table writer, new file")
            << Fault::DiskFull << Writer::TableWriter << sqlite << false;
        QTest::newRow("disk full, table writer, earlier file")
            << Fault::DiskFull << Writer::TableWriter << sqlite << true;
        QTest::newRow("disk full, export all, new file")
            << Fault::DiskFull << Writer::ExportAll << sqlite << false;
        QTest::newRow("disk full, export all, earlier file")
            << Fault::DiskFull << Writer::ExportAll << sqlite << true;
        QTest::newRow("disk full, excel") << Fault::DiskFull << Writer::Excel << sqlite << false;
        QTest::newRow("disk full, html") << Fault::DiskFull << Writer::Html << sqlite << false;
        const struct {
            Fault fault;
            const char* name;
        } serverFaults[] = {{Fault::ServerStopped, "server stopped"},
                            {Fault::ServerRestarted, "server restarted"},
                            {Fault::NewSession, "new session"}};
        QTest::newRow("sqlite file deleted, csv window")
            << Fault::FileDeleted << Writer::CsvWindow << sqlite << false;
        QTest::newRow("sqlite file truncated, csv window")
            << Fault::FileTruncated << Writer::CsvWindow << sqlite << false;
        for (const testdb::Backend& b : testdb::backendsForRows())
            for (Writer writer : {Writer::CsvWindow, Writer::TableWriter})
                for (bool earlier : {false, true})
                    QTest::newRow(qPrintable(QStringLiteral("%1, statement fails, %2, %3")
                                                 .arg(b.name,
                                                      writer == Writer::CsvWindow
                                                          ? QStringLiteral("csv window")
                                                          : QStringLiteral("table writer"),
                                                      earlier ? QStringLiteral("earlier file")
                                                              : QStringLiteral("new file"))))
                        << Fault::StatementFails << writer << b.name << earlier;
        for (const char* backend : {"postgres-odbc", "mariadb-odbc"})
            for (const auto& fault : serverFaults)
                for (Writer writer : {Writer::CsvWindow, Writer::TableWriter})
                    for (bool earlier : {false, true}) {
                        // A stopped server leaves nothing to compare an earlier file after.
                        if (fault.fault == Fault::ServerStopped && earlier) continue;
                        QTest::newRow(qPrintable(
                            QStringLiteral("%1, %2, %3, %4")
                                .arg(QLatin1String(backend), QLatin1String(fault.name),
                                     writer == Writer::CsvWindow ? QStringLiteral("csv window")
                                                                 : QStringLiteral("table writer"),
                                     earlier ? QStringLiteral("earlier file")
                                             : QStringLiteral("new file"))))
                            << fault.fault << writer << QString::fromLatin1(backend) << earlier;
                    }
    }
    void exportMeetsAFault() {
        QFETCH(Fault, fault);
        QFETCH(Writer, writer);
        QFETCH(QString, backend);
        QFETCH(bool, earlier);
        const bool maria = backend == QLatin1String("mariadb-odbc");
        const faults::Server server = maria ? faults::Server::MariaDb : faults::Server::Postgres;
        if (onServer(fault))
            TESTDB_NEED_SERVERS(faults::serverConfigured(server) &&
                                !testdb::backend(backend).name.isEmpty());
        else if (fault == Fault::DiskFull && geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        TransferFixture own;
        TransferFixture* const f = onFile(fault)                    ? &own
                                   : fault == Fault::StatementFails ? failingFixture(backend)
                                                                    : fixture(backend);
        QVERIFY(f);
        const auto dropView = [&] {
            if (fault != Fault::StatementFails) return;
            f->connection().Execute(QStringLiteral("DROP VIEW fxv"));
            f->dropTable(QStringLiteral("fxf"));
        };
        dropView();
        const auto dropViewAgain = qScopeGuard(dropView);
        if (fault == Fault::StatementFails) {
            // A division by zero; SQLite divides by zero into Null, but takes no absolute value
            // of the smallest integer. The failing row is named in another table, so that the
            // rows keep their places.
            const QString value =
                testdb::isPostgres(f->kind)
                    ? QStringLiteral("id / (case when seq = (select s from fxf) then 0 else 1 "
                                     "end)")
                    : QStringLiteral("abs(case when seq = (select s from fxf) then "
                                     "-9223372036854775807 - 1 else qty end)");
            QVERIFY(f->exec(QStringLiteral("CREATE TABLE fxf (s INTEGER)")));
            QVERIFY(f->exec(QStringLiteral("INSERT INTO fxf VALUES (0)")));
            // In the order the rows were stored: a sort would meet the failure before the first
            // row.
            QVERIFY(f->exec(
                QStringLiteral("CREATE VIEW fxv AS SELECT seq, id, %1 AS v FROM fx").arg(value)));
            if (writer == Writer::CsvWindow) QVERIFY(f->show(QStringLiteral("select * from fxv")));
            QVERIFY(f->exec(QStringLiteral("UPDATE fxf SET s = %1").arg(kFailingRow)));
        }
        constexpr int kFileRows = 3000;
        if (onFile(fault)) {
            const QString file = own.path(QStringLiteral("gone.db"));
            QVERIFY(openFile(own, file, kFileRows));
            QVERIFY(own.show(QStringLiteral("select * from big order by id")));
            QCOMPARE(own.state->resultSet->RecordCount(), kFileRows);
            if (fault == Fault::FileTruncated)
                QVERIFY(QFile::resize(file, 0));
            else
                QVERIFY(QFile::remove(file));
            // The rows held stay readable.
            QCOMPARE(own.state->resultSet->text(kFileRows - 1, 1), QStringLiteral("row 3000"));
        }
        faults::ServerGuard guard(server);
        std::unique_ptr<faults::SmallDisk> disk;
        QTemporaryDir files;
        QString folder = files.path() + QLatin1Char('/');
        if (fault == Fault::DiskFull) {
            disk = std::make_unique<faults::SmallDisk>(kDiskBytes);
            QVERIFY2(disk->mounted(), qPrintable(disk->error()));
            folder = disk->folder();
        } else if (onServer(fault)) {
            QVERIFY(faults::serverRunning(server));
        }
        const int total = onServer(fault)                  ? kSourceRows
                          : onFile(fault)                  ? kFileRows
                          : fault == Fault::StatementFails ? kFailingRow
                                                           : kBigRows;
        const QString target = QStringLiteral("big.csv");
        if (earlier) QVERIFY(writeBytes(folder + target, kEarlier));

        int events = 0;
        bool struck = !onServer(fault);
        const auto strike = [&] {
            if (fault == Fault::ServerStopped) {
                struck = faults::stopServer(server);
                return;
            }
            struck = faults::stopServer(server) && faults::startServer(server);
            // The first meets the ended session, the second logs in again.
            if (fault == Fault::NewSession)
                for (int i = 0; i < 2; ++i)
                    f->connection().Execute(QStringLiteral("select 1"));
        };
        const auto onEvent = [&] {
            if (onServer(fault) && ++events == kStrikeAt) strike();
        };

        bool ok = false;
        QString report;
        // Rows the writer says it wrote; -1 where it gives no count.
        qint64 counted = -1;
        switch (writer) {
        case Writer::CsvWindow: {
            if (!onFile(fault) && fault != Fault::StatementFails)
                QVERIFY(f->show(QStringLiteral("select * from big order by id")));
            RecordingWindow window;
            window.dialogPaths << folder + target;
            window.onEvents = onEvent;
            ExportTextCommand(f->result(), &f->connection(), window, kComma);
            ok = window.prompts.isEmpty();
            report = window.prompts.join(QLatin1Char('\n'));
            QCOMPARE(window.statuses.contains(kStatusError), !ok);
            if (!ok) {
                QCOMPARE(window.prompts.size(), 1);
                QVERIFY2(report.startsWith(QStringLiteral("   VB Error # ")), qPrintable(report));
                if (!onServer(fault)) QCOMPARE(window.statuses.last(), kStatusError);
                if (fault == Fault::DiskFull) {
                    QVERIFY2(report.startsWith(QStringLiteral("   VB Error # 61\r\n")),
                             qPrintable(report));
                    QVERIFY(report.contains(QStringLiteral("Disk full")));
                }
            }
            QVERIFY(window.enabled);
            break;
        }
        case Writer::TableWriter: {
            TableTransferHooks hooks;
            if (fault == Fault::ServerStopped)
                // At the writer's first look at events: before the first rows are read.
                hooks.doEvents = [&] {
                    if (!struck) strike();
                };
            else
                hooks.setProgress = [&](int) { onEvent(); }; // after every row
            qint32 rows = -1;
            ok = ExportTableText(f->connection(), kComma,
                                 fault == Fault::StatementFails ? QStringLiteral("fxv")
                                                                : QStringLiteral("big"),
                                 folder + target, rows, report, hooks);
            counted = rows;
            if (!ok) {
                QVERIFY2(report.startsWith(QStringLiteral("VB Error # ")), qPrintable(report));
                QVERIFY(!report.contains(QLatin1Char('\n')));
            }
            if (fault == Fault::DiskFull)
                QVERIFY2(report.startsWith(QStringLiteral("VB Error # 61 Generated by Tolvan "
                                                          "Description  Disk full")),
                         qPrintable(report));
            break;
        }
        case Writer::ExportAll: {
            const QString batchPath = folder + QStringLiteral("ImportAllCSV.txt");
            if (earlier) QVERIFY(writeBytes(batchPath, kEarlier));
            RecordingBatchFeedback batch;
            batch.command = folder;
            ExportAllCSV(f->connection(), {QStringLiteral("small"), QStringLiteral("big")}, batch);
            // The full disk leaves no room for the batch file either: that is reported too.
            QCOMPARE(batch.log.size(), 3);
            QVERIFY(batch.log[0].success);
            QCOMPARE(batch.log[0].subject, folder + QStringLiteral("small.csv") +
                                               QStringLiteral("に3件のデータが出力されました"));
            QCOMPARE(fileBytes(folder + QStringLiteral("small.csv")),
                     QByteArray("1,\"a\"\r\n2,\"b\"\r\n3,\"c\"\r\n"));
            QVERIFY(!batch.log[1].success);
            QCOMPARE(batch.log[1].subject, QStringLiteral("big"));
            QVERIFY2(batch.log[1].detail.startsWith(QStringLiteral("VB Error # 61 ")),
                     qPrintable(batch.log[1].detail));
            QCOMPARE(batch.calls.last(), QStringLiteral("idle"));
            QVERIFY(!batch.log[2].success);
            QCOMPARE(batch.log[2].subject, batchPath);
            QVERIFY2(batch.log[2].detail.startsWith(QStringLiteral("VB Error # 61 ")),
                     qPrintable(batch.log[2].detail));
            // An earlier batch file stays as it was; a new one lists only the table written in
            // full.
            const QByteArray batchFile = fileBytes(batchPath);
            if (earlier) QCOMPARE(batchFile, kEarlier);
            QVERIFY2(!batchFile.contains("big"), batchFile.constData());
            report = batch.log[1].detail;
            break;
        }
        case Writer::Excel:
        case Writer::Html: {
            QVERIFY(f->show(QStringLiteral("select * from big")));
            OutputWindow window;
            if (writer == Writer::Excel) {
                QVERIFY(ExportExcel(f->result(), &f->connection(), window, folder).isEmpty());
            } else {
                QVERIFY(ExportHtml(f->result(), &f->connection(), window, {folder}).isEmpty());
            }
            // Output handed to nobody, one "Disk full" report, ERROR, the window usable again.
            QVERIFY(window.opened.isEmpty());
            QCOMPARE(window.prompts.size(), 1);
            QVERIFY2(window.prompts[0].startsWith(QStringLiteral("   VB Error # 61\r\n")),
                     qPrintable(window.prompts[0]));
            QVERIFY(window.prompts[0].contains(QStringLiteral("Disk full")));
            QCOMPARE(window.statuses.last(), kStatusError);
            QVERIFY(window.enabled);
            report = window.prompts[0];
            if (writer == Writer::Excel) {
                // No half-written workbook and no scratch data stay behind.
                QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
            } else {
                // The part written stays until the window closes, as every temporary page does.
                const QByteArray written = fileBytes(folder + QStringLiteral("temp0.html"));
                QVERIFY(written.startsWith("<html>"));
                QVERIFY(!written.contains("</html>"));
            }
            qInfo("%s", qPrintable(report.split(QStringLiteral("\r\n")).last()));
            return;
        }
        }
        QVERIFY(struck);

        // The text writers: whole lines in order, in the target or, over an earlier file that
        // stays as it was, in the file the report names.
        const QString rowsPath = rowsFile(folder, target, earlier && !ok, report);
        // A file cut short fails the export before its first row, and some drivers read every
        // row before the first is handed over: no file is written then.
        const bool none = rowsPath.isEmpty() ||
                          ((fault == Fault::FileTruncated || fault == Fault::StatementFails) &&
                           !rowsPath.startsWith(QLatin1Char('<')) && !QFileInfo::exists(rowsPath));
        bool cut = true;
        const QList<QByteArray> lines = wholeLines(none ? QByteArray() : fileBytes(rowsPath), cut);
        QVERIFY2(!cut, qPrintable(rowsPath));
        const QByteArray tail = fault == Fault::DiskFull ? " of the table that does not fit" : "";
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray k = QByteArray::number(i + 1);
            if (fault == Fault::StatementFails)
                QVERIFY2(lines[i].startsWith(k + ',' + k + ','), lines[i].constData());
            else
                QCOMPARE(lines[i], k + ",\"row " + k + tail + "\"\r");
        }
        if (counted >= 0) QCOMPARE(counted, qint64(lines.size()));
        if ((maria && onServer(fault) && fault != Fault::NewSession) ||
            fault == Fault::FileDeleted) {
            // MariaDB's driver reads every row of a statement when it runs: the export goes on
            // from them to the last row, as if the server were still there. A deleted file
            // lives on for the connection that holds it open.
            QVERIFY2(ok, qPrintable(report));
            QCOMPARE(qint64(lines.size()), qint64(total));
        } else {
            // The rows the statement still had to give are gone: said so, never a short file
            // passed for a whole one.
            QVERIFY2(!ok, qPrintable(report));
            QVERIFY2(report.contains(QStringLiteral("VB Error # ")), qPrintable(report));
            int least = kStrikeAt;
            if (fault == Fault::DiskFull) least = 1001;
            // A server stopped before the first row is read, a file cut short or a statement
            // whose driver reads every row first may leave no row at all.
            if ((fault == Fault::ServerStopped && writer == Writer::TableWriter) || onFile(fault) ||
                fault == Fault::StatementFails)
                least = 0;
            // A file cut short gives no row at all.
            if (fault == Fault::FileTruncated) QCOMPARE(lines.size(), 0);
            QVERIFY2(lines.size() >= least && lines.size() < total,
                     qPrintable(QString::number(lines.size())));
        }
        qInfo("%lld of %d rows kept whole; %s", qint64(lines.size()), total,
              qPrintable(report.split(QStringLiteral("\r\n")).last()));
        if (onFile(fault)) {
            // A new reading of the file succeeds or reports as the export did.
            RecordingWindow again;
            const bool read =
                executeQueryAndWait(*f->state, again, QStringLiteral("select * from big"));
            QCOMPARE(read, ok);
            if (!read) QCOMPARE(again.statuses.last(), kStatusError);
        }
        if (!onServer(fault)) return;

        // Once the server is back, the table is whole and the writer writes all of it.
        if (!faults::serverRunning(server)) QVERIFY(faults::startServer(server));
        QCOMPARE(count(*f), qint64(kSourceRows));
        qint32 rows = -1;
        QString error;
        QVERIFY2(ExportTableText(f->connection(), kComma, QStringLiteral("big"),
                                 folder + QStringLiteral("again.csv"), rows, error),
                 qPrintable(error));
        QCOMPARE(rows, kSourceRows);
    }
};

QTEST_GUILESS_MAIN(tst_ExportFaults)
#include "tst_exportfaults.moc"
