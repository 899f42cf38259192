// SQLite files in trouble: locked by a writer of another process, corrupt, and two program
// processes importing into one table at once. A file deleted or cut short under an export is a
// row of tst_exportfaults.
#include "FaultControl.h"
#include "QueryWait.h"
#include "TransferFixture.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QProcess>
#include <QTest>

namespace {
using faults::sqliteExec;

QString connectionStringFor(const QString& file) {
    return faults::sqliteConnectionString(file);
}

QByteArray csvRows(int first, int count) {
    QByteArray out;
    for (int i = first; i < first + count; ++i)
        out += QByteArray::number(i) + ",\"row " + QByteArray::number(i) + "\"\r\n";
    return out;
}

// Another process holding a transaction on the file until it is told to end it: a writer, or
// a reader whose shared lock lets others write but not commit.
class LockingWriter {
public:
    bool start(const QString& file, const QString& begin,
               const QString& hold = QStringLiteral("insert into t values (999, 'held')")) {
        m_process.start(QStringLiteral("sqlite3"), {file});
        if (!m_process.waitForStarted(10000)) return false;
        m_process.write(
            (begin + QStringLiteral(";\n") + hold + QStringLiteral(";\nselect 'locked';\n"))
                .toUtf8());
        // The writer answers once its transaction holds the lock. One silent for this long
        // is stuck: the bound guards against a hang and measures nothing.
        QByteArray out;
        while (!out.contains("locked")) {
            if (!m_process.waitForReadyRead(30000)) return false;
            out += m_process.readAllStandardOutput();
        }
        return true;
    }
    void release() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.write("rollback;\n.quit\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    ~LockingWriter() { release(); }

private:
    QProcess m_process;
};

struct SqliteFile {
    TransferFixture f;
    QString file;
    bool open(const QString& name, int rows) {
        file = f.path(name);
        if (!faults::numberedSqliteTable(file, QStringLiteral("t"), rows)) return false;
        qputenv("XDG_CONFIG_HOME", f.config->path().toUtf8());
        f.record.adoConnection = std::make_unique<db::Connection>();
        f.record.adoConnection->setConnectionString(connectionStringFor(file));
        if (!f.record.adoConnection->Open()) return false;
        f.state = std::make_unique<ProgramState>(f.record);
        return true;
    }
};
} // namespace

class tst_SqliteFaults : public QObject {
    Q_OBJECT

private slots:
    void lockedByWriter_data() {
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("hold");
        QTest::addColumn<bool>("readsBlocked");
        const QString write = QStringLiteral("insert into t values (999, 'held')");
        QTest::newRow("reserved") << QStringLiteral("begin immediate") << write << false;
        QTest::newRow("exclusive") << QStringLiteral("begin exclusive") << write << true;
        // The import's rows go in, and their commit is refused: none of them is counted.
        QTest::newRow("shared") << QStringLiteral("begin")
                                << QStringLiteral("select count(*) from t") << false;
    }
    void lockedByWriter() {
        QFETCH(QString, begin);
        QFETCH(QString, hold);
        QFETCH(bool, readsBlocked);
        SqliteFile s;
        QVERIFY(s.open(QStringLiteral("locked.db"), 10));
        QVERIFY(s.f.show(QStringLiteral("select * from t")));
        LockingWriter writer;
        QVERIFY(writer.start(s.file, begin, hold));

        // Reading: blocked only by an exclusive lock, and then reported after the busy wait.
        RecordingWindow query;
        const bool read = executeQueryAndWait(*s.f.state, query, QStringLiteral("select * from t"));
        QCOMPARE(read, !readsBlocked);
        if (readsBlocked) {
            QCOMPARE(query.statuses.last(), QStringLiteral("ERROR"));
            QVERIFY2(query.prompts.value(0).contains(QStringLiteral("database is locked")),
                     qPrintable(query.prompts.value(0)));
        } else {
            QCOMPARE(s.f.state->resultSet->RecordCount(), 10);
        }

        // Writing: an import is refused after the same bounded wait, with its report.
        QVERIFY(writeBytes(s.f.path(QStringLiteral("in.csv")), csvRows(100, 50)));
        if (readsBlocked) QVERIFY(s.f.state->resultOpen);
        RecordingWindow import;
        s.f.importFile(import, s.f.path(QStringLiteral("in.csv")), kComma);
        QCOMPARE(import.prompts.size(), 1);
        QVERIFY2(import.prompts[0].contains(QStringLiteral("database is locked")),
                 qPrintable(import.prompts[0]));
        QVERIFY(import.statuses.contains(kStatusError));
        QCOMPARE(import.statuses.last(), QStringLiteral("0") + kRowsHandled);
        qInfo("%s: %s", qPrintable(begin),
              qPrintable(import.prompts[0].split(QStringLiteral("\r\n")).last()));

        // An edit in the grid is refused the same way and leaves the row as it was.
        if (!readsBlocked) {
            QVERIFY(!s.f.state->resultSet->setValue(0, 1, db::Value(QStringLiteral("edited"))));
            QCOMPARE(s.f.state->resultSet->text(0, 1), QStringLiteral("row 1"));
        }

        writer.release();
        RecordingWindow after;
        QVERIFY(executeQueryAndWait(*s.f.state, after, QStringLiteral("select count(*) from t")));
        QCOMPARE(s.f.state->resultSet->text(0, 0), QStringLiteral("10"));
        QVERIFY(s.f.show(QStringLiteral("select * from t")));
        s.f.importFile(after, s.f.path(QStringLiteral("in.csv")), kComma);
        QVERIFY2(after.prompts.isEmpty(), qPrintable(after.prompts.join(QLatin1Char('\n'))));
        QVERIFY(executeQueryAndWait(*s.f.state, after, QStringLiteral("select count(*) from t")));
        QCOMPARE(s.f.state->resultSet->text(0, 0), QStringLiteral("60"));
    }

    void corruptFile() {
        SqliteFile s;
        QVERIFY(s.open(QStringLiteral("corrupt.db"), 20000));
        QVERIFY(sqliteExec(s.file, QStringLiteral("create table small (x integer)")));
        // The big table's pages, after the schema page, are overwritten with garbage.
        s.f.connection().Close();
        {
            QFile file(s.file);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const qint64 size = file.size();
            QVERIFY(size > 100000);
            QVERIFY(file.seek(8192));
            QVERIFY(file.write(QByteArray(int(size / 2), char(0xA5))) == size / 2);
        }
        QVERIFY(s.f.connection().Open());
        RecordingWindow window;
        QVERIFY(!executeQueryAndWait(*s.f.state, window, QStringLiteral("select * from t")));
        QCOMPARE(window.statuses.last(), QStringLiteral("ERROR"));
        QVERIFY2(window.prompts.value(0).contains(QStringLiteral("malformed")),
                 qPrintable(window.prompts.value(0)));
        qInfo("corrupt file: %s",
              qPrintable(window.prompts.value(0).split(QStringLiteral("\r\n")).last()));
        // The program goes on: the intact table still answers.
        RecordingWindow next;
        QVERIFY(
            executeQueryAndWait(*s.f.state, next, QStringLiteral("select count(*) from small")));

        // A file that is no database at all is refused when connecting.
        const QString text = s.f.path(QStringLiteral("notes.db"));
        QVERIFY(writeBytes(text, QByteArray(4096, 'x')));
        db::Connection other;
        other.setConnectionString(connectionStringFor(text));
        QVERIFY(!other.Open());
        QVERIFY(other.Errors().front().Description.startsWith(
            QStringLiteral("Unrecognized database format")));
    }

    void twoProcessesImport_data() {
        QTest::addColumn<QString>("mode");
        QTest::newRow("batch reader") << QStringLiteral("batch");
        QTest::newRow("import command") << QStringLiteral("menu");
    }
    void twoProcessesImport() {
        QFETCH(QString, mode);
        TransferFixture f;
        const QString file = f.path(QStringLiteral("shared.db"));
        QVERIFY(sqliteExec(file, QStringLiteral("create table t (id integer, txt varchar(40))")));
        constexpr int kRows = 100000;
        QVERIFY(writeBytes(f.path(QStringLiteral("a.csv")), csvRows(1, kRows)));
        QVERIFY(writeBytes(f.path(QStringLiteral("b.csv")), csvRows(kRows + 1, kRows)));
        qputenv("XDG_CONFIG_HOME", f.config->path().toUtf8());

        QProcess a, b;
        const QString program = QStringLiteral(FAULT_IMPORT_PROGRAM);
        a.start(program, {mode, connectionStringFor(file), QStringLiteral("t"),
                          f.path(QStringLiteral("a.csv"))});
        b.start(program, {mode, connectionStringFor(file), QStringLiteral("t"),
                          f.path(QStringLiteral("b.csv"))});
        QVERIFY(a.waitForFinished(120000));
        QVERIFY(b.waitForFinished(120000));
        const QString outA = QString::fromUtf8(a.readAll());
        const QString outB = QString::fromUtf8(b.readAll());
        QVERIFY2(a.exitCode() == 0, qPrintable(outA));
        QVERIFY2(b.exitCode() == 0, qPrintable(outB));
        if (mode == QLatin1String("batch")) {
            QVERIFY2(outA.startsWith(QStringLiteral("rows=%1").arg(kRows)), qPrintable(outA));
            QVERIFY2(outB.startsWith(QStringLiteral("rows=%1").arg(kRows)), qPrintable(outB));
        } else {
            const QString done = QString::number(kRows) + kRowsHandled;
            QVERIFY2(outA.section(QLatin1Char('\n'), 0, 0).endsWith(done), qPrintable(outA));
            QVERIFY2(outB.section(QLatin1Char('\n'), 0, 0).endsWith(done), qPrintable(outB));
        }

        db::Connection c;
        c.setConnectionString(connectionStringFor(file));
        QVERIFY(c.Open());
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select count(*), count(distinct id) from t"), &c));
        QCOMPARE(rs.text(0, 0), QString::number(2 * kRows));
        QCOMPARE(rs.text(0, 1), QString::number(2 * kRows));
    }
};

QTEST_GUILESS_MAIN(tst_SqliteFaults)
#include "tst_sqlitefaults.moc"
