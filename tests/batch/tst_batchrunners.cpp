// The four line-driven runners against every backend, with real files and the real table
// transfers; the window is the recording fake.
#include "RecordingBatchFeedback.h"
#include "TestBackends.h"
#include "batch/BatchRunners.h"
#include "db/Recordset.h"
#include "transfer/TransferTexts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Entry = RecordingBatchFeedback::LogEntry;

class TestBatchRunners : public QObject {
    Q_OBJECT
    QTemporaryDir m_files;
    QString m_savedCwd;

    QString path(const QString& name) const { return m_files.filePath(name); }
    QString writeFile(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(name));
        f.write(bytes);
        return path(name);
    }
    static QByteArray readFile(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static qint32 count(db::Connection& c, const QString& table) {
        db::Recordset rs;
        if (!rs.Open(QStringLiteral("select * from ") + table, &c)) return -1;
        return rs.RecordCount();
    }
    // A table "bt_<name>" with n rows (id, name).
    static bool makeTable(db::Connection& c, testdb::Kind kind, const QString& name, int rows) {
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ") + name);
        if (!testdb::exec(c, QStringLiteral("CREATE TABLE %1 (id INTEGER, name %2)")
                                 .arg(name, testdb::nvarchar(kind, 20))))
            return false;
        for (int i = 1; i <= rows; ++i)
            if (!testdb::exec(c,
                              QStringLiteral("INSERT INTO %1 VALUES (%2, 'n%2')").arg(name).arg(i)))
                return false;
        return true;
    }
    static QStringList runCalls() { return {"running", "disable", "enable", "idle"}; }

private slots:
    void initTestCase() {
        m_savedCwd = QDir::currentPath();
        // Relative file names are resolved against the working folder.
        QDir::setCurrent(m_files.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_savedCwd); }

    void emptyCommandTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("entries");
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("blanks") << "    " << 1;
        QTest::newRow("blanks and line breaks") << "  \r\n \r\n\r\n" << 0;
    }
    void emptyCommandTexts() {
        QFETCH(QString, text);
        QFETCH(int, entries);
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        for (auto runner : {BatchImportCSV, BatchImportTAB, BatchExportCSV, BatchExportTAB}) {
            RecordingBatchFeedback fb;
            fb.command = text;
            runner(c, fb);
            QCOMPARE(fb.calls, runCalls());
            QCOMPARE(fb.command, text);
            QCOMPARE(fb.log.size(), entries);
            if (entries)
                QCOMPARE(fb.log[0],
                         (Entry{QStringLiteral(
                                    "テキストボックスにバッチ命令を記入してください（テーブル名, "
                                    "ファイル名)"),
                                QString(), true}));
        }
    }

    void workedExample_data() { testdb::addBackendRows(); }
    void workedExample() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        QVERIFY(makeTable(c, testdb::backend(backend).kind, QStringLiteral("bt_customers"), 120));
        const QString dir = path(QStringLiteral("data/"));
        QVERIFY(QDir().mkpath(dir));
        RecordingBatchFeedback fb;
        fb.command =
            QStringLiteral(
                "bt_customers, %1customers.csv\r\nOrders %1orders.csv\r\n, %1x.csv\r\nItems, %1")
                .arg(dir);
        BatchExportCSV(c, fb);
        const QList<Entry> expected = {
            {dir + QStringLiteral("customers.csvに120件のデータが出力されました"), QString(), true},
            {QStringLiteral("Orders %1orders.csv").arg(dir), QStringLiteral("入力形式が不正です。"),
             false},
            {QStringLiteral(", %1x.csv").arg(dir),
             QStringLiteral("テーブル名が入力されていません。"), false},
            {QStringLiteral("Items, %1").arg(dir), QStringLiteral("ファイル名が不正です。"), false},
        };
        QCOMPARE(fb.log, expected);
        QCOMPARE(fb.calls, runCalls());
        const QByteArray written = readFile(dir + QStringLiteral("customers.csv"));
        QCOMPARE(written.count("\r\n"), 120);
        QVERIFY(written.startsWith("1,\"n1\"\r\n"));
        QVERIFY(!QFile::exists(dir + QStringLiteral("x.csv")));
        QVERIFY(!fb.progress.isEmpty());
    }

    void importSubjects_data() { testdb::addBackendRows(); }
    void importSubjects() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        QVERIFY(makeTable(c, testdb::backend(backend).kind, QStringLiteral("bt_target"), 0));
        writeFile(QStringLiteral("five.csv"),
                  "1,\"a\"\r\n2,\"b\"\r\n\r\n3,\"c\"\r\n4,\"d\"\r\n5,\"e\"\r\n");
        writeFile(QStringLiteral("five.tab"),
                  "6\t\"f\"\r\n7\t\"g\"\r\n8\t\"h\"\r\n9\t\"i\"\r\n10\t\"j\"\r\n");
        RecordingBatchFeedback csv;
        // Blanks around both names; a relative file name.
        csv.command = QStringLiteral("   bt_target   ,   five.csv   ");
        BatchImportCSV(c, csv);
        QCOMPARE(csv.log, (QList<Entry>{{QStringLiteral("bt_targetに5件のデータが追加されました"),
                                         QString(), true}}));
        RecordingBatchFeedback tab;
        tab.command = QStringLiteral("bt_target, five.tab");
        BatchImportTAB(c, tab);
        QCOMPARE(tab.log, (QList<Entry>{{QStringLiteral("bt_targetに5件のデータが追加されました。"),
                                         QString(), true}}));
        QCOMPARE(count(c, QStringLiteral("bt_target")), 10);
    }

    // Text that is not valid UTF-8, Japanese text and blobs leave a table by the batch
    // export and come back by the batch import byte for byte.
    void keptBytesRoundTrip() {
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        for (const char* table : {"bt_bytes", "bt_bytes_back"}) {
            testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS ") + QLatin1String(table));
            QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE %1 (id INTEGER, a TEXT, b BLOB)")
                                        .arg(QLatin1String(table))));
        }
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO bt_bytes VALUES (1, '日本語のテキスト', x'00ff'), "
                              "(2, CAST(x'41ff82a0e38182' AS TEXT), x'e3'), "
                              "(3, CAST(x'c0222c80' AS TEXT), x'0d0a')")));
        RecordingBatchFeedback out;
        out.command = QStringLiteral("bt_bytes, bytes.tab");
        BatchExportTAB(c, out);
        QCOMPARE(out.log.size(), 1);
        QVERIFY(out.log[0].success);
        RecordingBatchFeedback in;
        in.command = QStringLiteral("bt_bytes_back, bytes.tab");
        BatchImportTAB(c, in);
        QCOMPARE(in.log.size(), 1);
        QVERIFY2(in.log[0].success, qPrintable(in.log[0].detail));
        const auto rows = [&c](const QString& table) {
            db::Recordset rs;
            QStringList out;
            if (!rs.Open(QStringLiteral("select id, hex(a), typeof(a), hex(b), typeof(b) from %1 "
                                        "order by id")
                             .arg(table),
                         &c))
                return out;
            for (; !rs.Eof(); rs.MoveNext()) {
                QStringList cells;
                for (int i = 0; i < rs.FieldCount(); ++i)
                    cells << rs.Fields(i).value().text();
                out << cells.join(QLatin1Char('|'));
            }
            return out;
        };
        const QStringList stored = rows(QStringLiteral("bt_bytes"));
        QCOMPARE(stored.size(), 3);
        QCOMPARE(stored[1], QStringLiteral("2|41FF82A0E38182|text|E3|blob"));
        QCOMPARE(rows(QStringLiteral("bt_bytes_back")), stored);
    }

    void importNeedsAnExistingFile_data() { testdb::addBackendRows(); }
    void importNeedsAnExistingFile() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        QVERIFY(makeTable(c, testdb::backend(backend).kind, QStringLiteral("bt_target"), 0));
        QVERIFY(QDir().mkpath(path(QStringLiteral("adir.csv"))));
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("bt_target, nothere.csv\r\nbt_target, adir.csv");
        BatchImportCSV(c, fb);
        QCOMPARE(fb.log, (QList<Entry>{{QStringLiteral("bt_target, nothere.csv"),
                                        QStringLiteral("ファイルが存在しません。"), false},
                                       {QStringLiteral("bt_target, adir.csv"),
                                        QStringLiteral("ファイルが存在しません。"), false}}));
        QCOMPARE(count(c, QStringLiteral("bt_target")), 0);
    }

    void exportCreatesTheFileAndCountsZeroRows_data() { testdb::addBackendRows(); }
    void exportCreatesTheFileAndCountsZeroRows() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        QVERIFY(makeTable(c, testdb::backend(backend).kind, QStringLiteral("bt_empty"), 0));
        QFile::remove(path(QStringLiteral("a,b.tab")));
        RecordingBatchFeedback fb;
        // Further commas belong to the file name.
        fb.command = QStringLiteral("bt_empty,a,b.tab");
        BatchExportTAB(c, fb);
        QCOMPARE(fb.log, (QList<Entry>{{QStringLiteral("a,b.tabに0件のデータが出力されました"),
                                        QString(), true}}));
        QCOMPARE(readFile(path(QStringLiteral("a,b.tab"))), QByteArray());
    }

    void failingLineBetweenGoodOnes_data() { testdb::addBackendRows(); }
    void failingLineBetweenGoodOnes() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        const testdb::Kind kind = testdb::backend(backend).kind;
        QVERIFY(makeTable(c, kind, QStringLiteral("bt_one"), 3));
        QVERIFY(makeTable(c, kind, QStringLiteral("bt_two"), 4));
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral(
            "bt_one, one.tab\r\n\r\n   \r\nbt_missing, missing.tab\r\nbt_two, two.tab\r\n");
        BatchExportTAB(c, fb);
        QCOMPARE(fb.log.size(), 3);
        QCOMPARE(fb.log[0],
                 (Entry{QStringLiteral("one.tabに3件のデータが出力されました"), QString(), true}));
        QCOMPARE(fb.log[1].subject, QStringLiteral("bt_missing, missing.tab"));
        QVERIFY(!fb.log[1].success);
        QVERIFY2(fb.log[1].detail.startsWith(QStringLiteral("VB Error # ")) &&
                     !fb.log[1].detail.contains(QLatin1Char('\n')),
                 qPrintable(fb.log[1].detail));
        QCOMPARE(fb.log[2],
                 (Entry{QStringLiteral("two.tabに4件のデータが出力されました"), QString(), true}));
        QCOMPARE(readFile(path(QStringLiteral("two.tab"))).count("\r\n"), 4);
        QVERIFY(readFile(path(QStringLiteral("one.tab"))).startsWith("1\t\"n1\"\r\n"));
        QCOMPARE(fb.calls, runCalls());
    }

    void failingImportKeepsGoing_data() { testdb::addBackendRows(); }
    void failingImportKeepsGoing() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        QVERIFY(makeTable(c, testdb::backend(backend).kind, QStringLiteral("bt_target"), 0));
        writeFile(QStringLiteral("good.csv"), "1,\"a\"\r\n");
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("bt_nosuch, good.csv\r\nbt_target, good.csv");
        BatchImportCSV(c, fb);
        QCOMPARE(fb.log.size(), 2);
        QVERIFY(!fb.log[0].success);
        QVERIFY(fb.log[0].detail.startsWith(QStringLiteral("VB Error # ")));
        QCOMPARE(fb.log[1], (Entry{QStringLiteral("bt_targetに1件のデータが追加されました"),
                                   QString(), true}));

        // A last value whose quote never closes is kept to the end, and the log says where.
        writeFile(QStringLiteral("open.csv"), "2,\"b\"\r\n3,\"c\r\nd");
        fb.log.clear();
        fb.command = QStringLiteral("bt_target, open.csv");
        BatchImportCSV(c, fb);
        QCOMPARE(fb.log,
                 (QList<Entry>{
                     {QStringLiteral("bt_targetに2件のデータが追加されました"), QString(), true},
                     {QStringLiteral("open.csv: ") + kUnclosedQuote.arg(2), QString(), true}}));
    }

    void emptyFieldsOfOtherTypesImportAsNull_data() { testdb::addBackendRows(); }
    void emptyFieldsOfOtherTypesImportAsNull() {
        QFETCH(QString, backend);
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS bt_dates"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE bt_dates (code VARCHAR(10), d DATE, n INTEGER)")));
        writeFile(QStringLiteral("dates.csv"), "\"a\",2015/04/01,1\r\n\"b\",,\r\n\"c\",\"\",2\r\n");
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("bt_dates, dates.csv");
        BatchImportCSV(c, fb);
        QCOMPARE(fb.log.size(), 1);
        // The data layer sends a Null date as "0000-00-00" once its insert statement has
        // carried a date: reported to the data layer.
        QVERIFY2(fb.log[0].success, qPrintable(fb.log[0].detail));
        QCOMPARE(fb.log[0].subject, QStringLiteral("bt_datesに3件のデータが追加されました"));
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select * from bt_dates order by code"), &c));
        QCOMPARE(rs.RecordCount(), 3);
        QVERIFY(!rs.isNull(0, 1));
        QVERIFY(rs.isNull(1, 1));
        QVERIFY(rs.isNull(1, 2));
        QVERIFY(rs.isNull(2, 1));
    }

    void everyLineOfALongTextIsHandled() {
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        QString text;
        for (int i = 0; i < 40000; ++i)
            text +=
                (i % 2 ? QStringLiteral("T%1, f%1/\r\n") : QStringLiteral(", f%1.csv\r\n")).arg(i);
        RecordingBatchFeedback fb;
        fb.command = text;
        BatchImportCSV(c, fb);
        QCOMPARE(fb.log.size(), 40000);
        QCOMPARE(fb.log[39999], (Entry{QStringLiteral("T39999, f39999/"),
                                       QStringLiteral("ファイル名が不正です。"), false}));
        QCOMPARE(fb.log[32768], (Entry{QStringLiteral(", f32768.csv"),
                                       QStringLiteral("テーブル名が入力されていません。"), false}));
        // The window gets its chance to paint throughout.
        QVERIFY(fb.pumps >= 40000);
    }
};

QTEST_GUILESS_MAIN(TestBatchRunners)
#include "tst_batchrunners.moc"
