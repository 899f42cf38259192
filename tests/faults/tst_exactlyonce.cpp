// Nothing runs that nobody asked for: a result whose statement changed data is never read again
// by running it, a batch line's table name never becomes a second statement, and a failed
// export leaves an earlier file as it was. Counted on every backend.
#include "OutputWindow.h"
#include "QueryWait.h"
#include "RecordingBatchFeedback.h"
#include "TransferFixture.h"
#include "batch/BatchRunners.h"
#include "transfer/ExcelExport.h"
#include "transfer/HtmlExport.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QDir>

namespace {
using testdb::Kind;
const QString kNotAName = QStringLiteral("テーブル名が不正です。");

struct ChangingText {
    const char* name;
    QString sql;
    bool returnsRows;
};

// Texts that store one row in "once" (or take one from "source") and return rows, as each
// backend runs them.
QList<ChangingText> changingTexts(Kind kind) {
    QList<ChangingText> list;
    // The SQLite ODBC driver runs INSERT ... RETURNING without handing back its rows.
    list.push_back(
        {"insert returning",
         QStringLiteral("insert into once (id, name) values (1, 'r') returning id, name"),
         kind != Kind::SqliteOdbc});
    // These refuse a text of several statements.
    if (kind == Kind::SqliteOdbc || kind == Kind::MariaDbOdbc) return list;
    list.push_back(
        {"several statements",
         QStringLiteral("insert into once (id, name) values (1, 'r'); select id, name from once"),
         true});
    list.push_back({"delete returning",
                    QStringLiteral("delete from source where id = 1 returning id, name"), true});
    if (!testdb::isPostgres(kind)) return list;
    list.push_back({"with insert",
                    QStringLiteral("with n as (insert into once (id, name) values (1, 'r') "
                                   "returning id, name) select * from n"),
                    true});
    list.push_back({"procedure call", QStringLiteral("call once_proc(null)"), true});
    return list;
}
} // namespace

class tst_ExactlyOnce : public QObject {
    Q_OBJECT
    std::unique_ptr<TransferFixture> f;

    bool setUp(const QString& backend) {
        f = std::make_unique<TransferFixture>();
        if (!f->open(backend)) return false;
        for (const char* t : {"once", "source", "canary"})
            f->dropTable(QString::fromLatin1(t));
        if (!f->exec(QStringLiteral("CREATE TABLE once (id INTEGER, name VARCHAR(20))")) ||
            !f->exec(QStringLiteral("CREATE TABLE source (id INTEGER, name VARCHAR(20))")) ||
            !f->exec(QStringLiteral("INSERT INTO source VALUES (1, 'a'), (2, 'b'), (3, 'c')")) ||
            !f->exec(QStringLiteral("CREATE TABLE canary (id INTEGER)")) ||
            !f->exec(QStringLiteral("INSERT INTO canary VALUES (1), (2)")))
            return false;
        if (testdb::isPostgres(f->kind) &&
            !f->exec(QStringLiteral(
                "CREATE OR REPLACE PROCEDURE once_proc(INOUT n integer) LANGUAGE plpgsql AS "
                "$$ BEGIN INSERT INTO once (id, name) VALUES (1, 'r'); n := 1; END $$")))
            return false;
        return true;
    }
    // Rows stored by the statement plus rows taken by it: exactly one after one run.
    qint64 runs() {
        const QStringList stored = f->rows(QStringLiteral("select count(*) from once"));
        const QStringList left = f->rows(QStringLiteral("select count(*) from source"));
        if (stored.size() != 1 || left.size() != 1) return -1;
        return stored[0].toLongLong() + 3 - left[0].toLongLong();
    }

private slots:
    void cleanup() { f.reset(); }

    void changingResultRunsOnce_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("returnsRows");
        for (const testdb::Backend& b : testdb::backendsForRows())
            for (const ChangingText& t : changingTexts(b.kind))
                QTest::newRow(qPrintable(b.name + QLatin1Char('/') + QLatin1String(t.name)))
                    << b.name << t.sql << t.returnsRows;
    }
    void changingResultRunsOnce() {
        QFETCH(QString, backend);
        QFETCH(QString, sql);
        QFETCH(bool, returnsRows);
        QVERIFY(setUp(backend));
        RecordingWindow window;
        QVERIFY(executeQueryAndWait(*f->state, window, sql));
        QCOMPARE(runs(), 1);
        QCOMPARE(f->state->resultOpen, returnsRows);
        if (!returnsRows) return;
        const std::shared_ptr<db::Recordset> held = f->state->resultSet;
        const qint32 count = held->RecordCount();
        QVERIFY(count >= 1);

        // An export writes the rows the result holds.
        RecordingWindow csv;
        csv.dialogPaths = {f->path(QStringLiteral("out.csv"))};
        ExportText(f->result(), &f->connection(), csv, kComma);
        QCOMPARE(csv.prompts, QStringList());
        QCOMPARE(runs(), 1);
        QCOMPARE(fileBytes(f->path(QStringLiteral("out.csv"))).count("\r\n"), count);

        OutputWindow html;
        QVERIFY(!ExportHtml(f->result(), &f->connection(), html, {f->files->path()}).isEmpty());
        QCOMPARE(html.prompts, QStringList());
        QCOMPARE(runs(), 1);
        OutputWindow excel;
        QVERIFY(!ExportExcel(f->result(), &f->connection(), excel, f->files->path()).isEmpty());
        QCOMPARE(excel.prompts, QStringList());
        QCOMPARE(runs(), 1);

        // An import cannot find its table without running the statement: it is refused
        // before any row, and the result is not read again afterwards.
        QVERIFY(writeBytes(f->path(QStringLiteral("in.csv")), "7,\"x\"\r\n"));
        RecordingWindow import;
        f->importFile(import, f->path(QStringLiteral("in.csv")), kComma);
        QCOMPARE(import.prompts, QStringList{kNoImportIntoChange});
        QCOMPARE(runs(), 1);
        QCOMPARE(f->rows(QStringLiteral("select count(*) from once where id = 7")),
                 QStringList{"0"});
        QCOMPARE(f->state->resultSet, held);
        QCOMPARE(held->RecordCount(), count);

        // A failed statement keeps the rows on screen without reading them again.
        RecordingWindow failed;
        QVERIFY(
            !executeQueryAndWait(*f->state, failed, QStringLiteral("select * from no_such_table")));
        QCOMPARE(runs(), 1);
        QVERIFY(f->state->resultOpen);
        QCOMPARE(f->state->resultSet, held);
        QCOMPARE(held->RecordCount(), count);

        // A change that returns nothing leaves the grid empty instead of running it again.
        RecordingWindow change;
        QVERIFY(executeQueryAndWait(*f->state, change,
                                    QStringLiteral("update canary set id = id where id = -1")));
        QCOMPARE(change.statuses.last(), QStringLiteral("0") + kRowsUpdated);
        QCOMPARE(runs(), 1);
        QVERIFY(!f->state->resultOpen);
    }

    // Refresh runs a text that changed data again only when the user says so: it asks, and
    // Cancel, the panel's default, keeps the rows shown. A read-only text is read again.
    void refreshAsksFirst_data() { changingResultRunsOnce_data(); }
    void refreshAsksFirst() {
        QFETCH(QString, backend);
        QFETCH(QString, sql);
        QFETCH(bool, returnsRows);
        if (!returnsRows) QSKIP("no rows to refresh");
        QVERIFY(setUp(backend));
        RecordingWindow window;
        QVERIFY(executeQueryAndWait(*f->state, window, sql));
        const std::shared_ptr<db::Recordset> held = f->state->resultSet;

        RecordingWindow declined;
        requeryResultAndWait(*f->state, declined);
        QCOMPARE(declined.prompts, QStringList{kRerunQuestion});
        QCOMPARE(runs(), 1);
        QCOMPARE(f->state->resultSet, held);
        QVERIFY(declined.enabled);

        RecordingWindow accepted;
        accepted.answers = {PanelAnswer::Ok};
        requeryResultAndWait(*f->state, accepted);
        QCOMPARE(accepted.prompts, QStringList{kRerunQuestion});
        // Run again: one more row stored, or, for the delete, its row already gone.
        const bool deletes = sql.startsWith(QLatin1String("delete"));
        QCOMPARE(runs(), deletes ? 1 : 2);
        QVERIFY(f->state->resultSet != held);
        if (deletes) QCOMPARE(f->state->resultSet->RecordCount(), 0);

        RecordingWindow reads;
        QVERIFY(executeQueryAndWait(*f->state, reads, QStringLiteral("select id from canary")));
        const std::shared_ptr<db::Recordset> shown = f->state->resultSet;
        QVERIFY(f->exec(QStringLiteral("insert into canary values (3)")));
        requeryResultAndWait(*f->state, reads);
        QCOMPARE(reads.prompts, QStringList());
        QCOMPARE(f->state->resultSet->RecordCount(), 3);
        QCOMPARE(runs(), deletes ? 1 : 2);
    }

    void batchNamesAreNames_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("import");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QTest::newRow(qPrintable(b.name + QStringLiteral("/import"))) << b.name << true;
            QTest::newRow(qPrintable(b.name + QStringLiteral("/export"))) << b.name << false;
        }
    }
    void batchNamesAreNames() {
        QFETCH(QString, backend);
        QFETCH(bool, import);
        QVERIFY(setUp(backend));
        const QString data = f->path(QStringLiteral("data.csv"));
        QVERIFY(writeBytes(data, "5,\"e\"\r\n"));
        const QStringList refused{
            QStringLiteral("once; delete from canary"),
            QStringLiteral("once;delete from canary"),
            QStringLiteral("once -- note"),
            QStringLiteral("once/* note */"),
            QStringLiteral("\"once\"; delete from canary"),
            QStringLiteral("[once]; delete from canary"),
            QStringLiteral("once where 1 = 1 union select * from canary"),
            QStringLiteral("\"once"),
            QStringLiteral("once' or '1'='1"),
            QStringLiteral("canary where id = 1"),
        };
        RecordingBatchFeedback batch;
        QStringList lines;
        for (const QString& name : refused)
            lines << name + QStringLiteral(", ") + (import ? data : f->path(QStringLiteral("x")));
        batch.command = lines.join(QStringLiteral("\r\n"));
        import ? BatchImportCSV(f->connection(), batch) : BatchExportCSV(f->connection(), batch);
        QCOMPARE(batch.log.size(), refused.size());
        for (qsizetype i = 0; i < refused.size(); ++i) {
            QVERIFY2(!batch.log[i].success, qPrintable(refused[i]));
            QCOMPARE(batch.log[i].detail, kNotAName);
        }
        QCOMPARE(f->rows(QStringLiteral("select count(*) from canary")), QStringList{"2"});
        QCOMPARE(f->rows(QStringLiteral("select count(*) from once")), QStringList{"0"});
        QVERIFY(!QFile::exists(f->path(QStringLiteral("x"))));

        // Plain and quoted names still work, quoted as the database wants them.
        RecordingBatchFeedback good;
        QStringList names{QStringLiteral("once"), QStringLiteral("\"once\""),
                          QStringLiteral("[once]")};
        lines.clear();
        for (qsizetype i = 0; i < names.size(); ++i)
            lines << names[i] + QStringLiteral(", ") +
                         (import ? data : f->path(QStringLiteral("o%1.csv").arg(i)));
        if (!import) QVERIFY(f->exec(QStringLiteral("INSERT INTO once VALUES (5, 'e')")));
        good.command = lines.join(QStringLiteral("\r\n"));
        import ? BatchImportCSV(f->connection(), good) : BatchExportCSV(f->connection(), good);
        QCOMPARE(good.log.size(), names.size());
        for (const RecordingBatchFeedback::LogEntry& e : good.log)
            QVERIFY2(e.success, qPrintable(e.subject + QLatin1Char(' ') + e.detail));
        if (import)
            QCOMPARE(f->rows(QStringLiteral("select count(*) from once")), QStringList{"3"});
        else
            for (qsizetype i = 0; i < names.size(); ++i)
                QCOMPARE(fileBytes(f->path(QStringLiteral("o%1.csv").arg(i))),
                         QByteArray("5,\"e\"\r\n"));
        QCOMPARE(f->rows(QStringLiteral("select count(*) from canary")), QStringList{"2"});
    }

    void failedExportKeepsTheFile_data() { testdb::addBackendRows(); }
    void failedExportKeepsTheFile() {
        QFETCH(QString, backend);
        QVERIFY(setUp(backend));
        const QString path = f->path(QStringLiteral("kept.csv"));
        const QByteArray before("earlier\r\ncontent, not ours\r\n\x82\xa0");
        QVERIFY(writeBytes(path, before));
        RecordingBatchFeedback batch;
        batch.command = QStringLiteral("no_such_table, ") + path;
        BatchExportCSV(f->connection(), batch);
        QCOMPARE(batch.log.size(), 1);
        QVERIFY(!batch.log[0].success);
        QVERIFY2(batch.log[0].detail.startsWith(QStringLiteral("VB Error # ")),
                 qPrintable(batch.log[0].detail));
        QCOMPARE(fileBytes(path), before);

        // A table that exists replaces the file.
        batch.command = QStringLiteral("source, ") + path;
        BatchExportCSV(f->connection(), batch);
        QVERIFY(batch.log.last().success);
        QCOMPARE(fileBytes(path), QByteArray("1,\"a\"\r\n2,\"b\"\r\n3,\"c\"\r\n"));
    }
};

QTEST_MAIN(tst_ExactlyOnce)
#include "tst_exactlyonce.moc"
