// The export of all tables with its batch file, and the round trip through it: export every
// table of the sample database, load the batch file, import into an empty copy, compare.
#include "RecordingBatchFeedback.h"
#include "TestBackends.h"
#include "batch/BatchFileLoader.h"
#include "batch/BatchRunners.h"
#include "batch/ExportAll.h"
#include "db/AdoType.h"
#include "db/ConnectionRecord.h"
#include "db/IdentifierQuoting.h"
#include "db/Recordset.h"
#include "query/TableListRetrieval.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using Entry = RecordingBatchFeedback::LogEntry;

class TestExportAll : public QObject {
    Q_OBJECT
    QTemporaryDir m_files;

    static QByteArray readFile(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString newFolder(const QString& name) {
        const QString dir = m_files.filePath(name);
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        return dir;
    }
    static QString jet(const QString& path) {
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=%1;"
                              "Persist Security Info=True")
            .arg(path);
    }
    static bool openRecord(db::ConnectionRecord& record, const testdb::Backend& backend,
                           db::ConnectionKind kind) {
        record.adoConnection = std::make_unique<db::Connection>();
        testdb::configure(*record.adoConnection, backend);
        record.kind = kind;
        if (record.adoConnection->Open()) return true;
        qWarning("%s", qPrintable(testdb::describe(record.adoConnection->Errors())));
        return false;
    }
    // The sample's tables, parents before children so that foreign keys hold on import.
    static QStringList sampleTables() {
        return {"customers", "products", "orders", "order_lines", "sales targets"};
    }
    // The sample's CREATE TABLE statements, in the dialect of the backend.
    static QStringList sampleSchema(testdb::Kind kind) {
        QFile f(QStringLiteral(TOLVAN_SOURCE_DIR "/resources/sample.sql"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QString script = QString::fromUtf8(f.readAll());
        static const QRegularExpression create(QStringLiteral("CREATE TABLE [^;]*;"));
        QStringList statements;
        for (const QRegularExpressionMatch& m : create.globalMatch(script)) {
            QString s = m.captured();
            if (testdb::isPostgres(kind) || testdb::isMariaDb(kind))
                s.replace(QStringLiteral("NVARCHAR"), QStringLiteral("VARCHAR"));
            if (testdb::isMariaDb(kind))
                s.replace(QStringLiteral("\"sales targets\""), QStringLiteral("`sales targets`"));
            statements << s;
        }
        return statements;
    }
    // Tables shaped like a public sample database and of its size, made by the test: names
    // with blanks and letters beyond ASCII, a self-reference, trailing blanks, Null beside the
    // empty text, NUMERIC(10,2) at its limits, doubles, dates with and without a time, long
    // texts and every Unicode plane.
    static QStringList generatedTables() { return {"社員 list", "Umsätze 2024"}; }
    static constexpr int kStaff = 300;
    static constexpr int kSales = 2500;
    static QStringList generatedSchema(testdb::Kind kind) {
        const auto q = [&](const char* name) {
            return testdb::quoteName(kind, QString::fromUtf8(name));
        };
        const bool maria = testdb::isMariaDb(kind);
        const QString stamp = maria ? QStringLiteral("DATETIME") : QStringLiteral("TIMESTAMP");
        const QString longText = maria ? QStringLiteral("LONGTEXT") : QStringLiteral("TEXT");
        return {QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, %2 VARCHAR(40), "
                               "reports_to INTEGER REFERENCES %1 (id), hired DATE)")
                    .arg(q("社員 list"), q("full name")),
                QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, %2 VARCHAR(40), city "
                               "VARCHAR(20), amount NUMERIC(10,2), discount %5, quantity "
                               "SMALLINT, stamped %3, notes %4, planes %4)")
                    .arg(q("Umsätze 2024"), q("Company Name"), stamp, longText,
                         testdb::doubleType(kind))};
    }
    // Rows for them, as literals of the backend's dialect, a hundred to a statement. The
    // values come from a fixed sequence, with the edges at fixed rows.
    static QStringList generatedRows(testdb::Kind kind) {
        const auto q = [&](const char* name) {
            return testdb::quoteName(kind, QString::fromUtf8(name));
        };
        quint32 seed = 20241209;
        const auto next = [&](quint32 n) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % n;
        };
        const auto text = [](const QString& t) {
            return QLatin1Char('\'') + QString(t).replace(QLatin1Char('\''), QStringLiteral("''")) +
                   QLatin1Char('\'');
        };
        const QStringList people = {"Müller", "O'Brien", "山田 太郎", "Nguyễn", "Søren",
                                    "Ελένη",  "Иван",    "Ève",       "李",     "Åsa"};
        const QStringList cities = {"NULL",     "''",       "'Edinburgh '", "'São Paulo'",
                                    "'東京都'", "'Zürich'", "' Bergen'",    "'Québec'"};
        const QStringList planes = {QString::fromUtf8("A é あ 😀 𠀀 󠀁 󰀀 􏿽"),
                                    QString::fromUtf8("𝄞 ﬁ ㈱ ｶﾀｶﾅ"), QString()};
        const QString longText =
            QString(QStringLiteral("長い文章 line\r\n")).repeated(700) + QStringLiteral("end\n");
        const QStringList stamps = {"'2019-10-27 02:30:00'", "'2020-02-29 00:00:00'",
                                    "'1900-01-01 00:00:00'", "'9999-12-31 23:59:59'",
                                    "'2000-01-01 12:00:01'", "NULL"};
        QStringList out;
        QStringList values;
        const auto flush = [&](const char* table) {
            if (values.isEmpty()) return;
            out << QStringLiteral("INSERT INTO %1 VALUES %2")
                       .arg(q(table), values.join(QStringLiteral(",\n")));
            values.clear();
        };
        for (int i = 1; i <= kStaff; ++i) {
            const QString name = people[int(next(10))] + QStringLiteral(" %1").arg(i) +
                                 (i % 6 == 0 ? QStringLiteral("  ") : QString());
            const QString boss = i == 1 ? QStringLiteral("NULL") : QString::number(1 + next(i - 1));
            const QString hired = i % 5 == 0 ? QStringLiteral("NULL")
                                             : QStringLiteral("'%1-%2-%3'")
                                                   .arg(1950 + next(81))
                                                   .arg(1 + next(12), 2, 10, QLatin1Char('0'))
                                                   .arg(1 + next(28), 2, 10, QLatin1Char('0'));
            values << QStringLiteral("(%1, %2, %3, %4)").arg(i).arg(text(name), boss, hired);
            if (values.size() == 100) flush("社員 list");
        }
        flush("社員 list");
        for (int i = 1; i <= kSales; ++i) {
            const QString company =
                i % 9 == 0 ? QStringLiteral("''")
                           : text(QStringLiteral("  %1 \"%2\", Ltd.%3")
                                      .arg(people[int(next(10))])
                                      .arg(i)
                                      .arg(i % 4 == 0 ? QStringLiteral("  ") : QString()));
            const QStringList edges = {"99999999.99", "-99999999.99", "-0.01", "0", "NULL"};
            const QString amount = i % 50 < int(edges.size())
                                       ? edges[i % 50]
                                       : QStringLiteral("%1%2.%3")
                                             .arg(next(2) ? QStringLiteral("-") : QString())
                                             .arg(next(10000000))
                                             .arg(next(100), 2, 10, QLatin1Char('0'));
            const QStringList discounts = {"0", "0.05", "0.15", "0.2", "0.25", "1e-7", "NULL"};
            const QString stamped = i % 7 < int(stamps.size())
                                        ? stamps[i % 7]
                                        : QStringLiteral("'%1-%2-%3 %4:%5:%6'")
                                              .arg(1990 + next(40))
                                              .arg(1 + next(12), 2, 10, QLatin1Char('0'))
                                              .arg(1 + next(28), 2, 10, QLatin1Char('0'))
                                              .arg(next(24), 2, 10, QLatin1Char('0'))
                                              .arg(next(60), 2, 10, QLatin1Char('0'))
                                              .arg(next(60), 2, 10, QLatin1Char('0'));
            const QString notes = i % 50 == 7   ? text(longText)
                                  : i % 11 == 0 ? QStringLiteral("NULL")
                                  : i % 13 == 0
                                      ? QStringLiteral("''")
                                      : text(QStringLiteral("note %1\r\nline two ").arg(i));
            const QString plane = planes[i % 3];
            values << QStringLiteral("(%1, %2, %3, %4, %5, %6, %7, %8, %9)")
                          .arg(i)
                          .arg(company, cities[int(next(8))], amount, discounts[int(next(7))],
                               QString::number(int(next(65536)) - 32768), stamped, notes,
                               plane.isEmpty() ? QStringLiteral("NULL") : text(plane));
            if (values.size() == 100) flush("Umsätze 2024");
        }
        flush("Umsätze 2024");
        return out;
    }
    // The rows of a table that are in one copy and not in the other, found by the database
    // (EXCEPT ALL; SQLite's EXCEPT with the counts beside it). Null and the empty text are
    // two values, in the file too.
    static QStringList differences(db::Connection& c, testdb::Kind kind, const QString& table,
                                   const QString& from, const QString& in) {
        db::Recordset shape;
        if (!shape.Open(QStringLiteral("select * from %1%2 where 1 = 0").arg(from, table), &c))
            return {testdb::describe(shape.Errors())};
        QStringList columns;
        for (int f = 0; f < shape.FieldCount(); ++f)
            columns << testdb::quoteName(kind, shape.Fields(f).Name());
        const bool sqlite = !testdb::isServer(kind);
        const QString side = QStringLiteral("select %1 from %2%3").arg(columns.join(", "));
        db::Recordset rs;
        const QString sql =
            QStringLiteral("%1 %2 %3")
                .arg(side.arg(from, table),
                     sqlite ? QStringLiteral("except") : QStringLiteral("except all"),
                     side.arg(in, table));
        if (!rs.Open(sql, &c)) return {testdb::describe(rs.Errors())};
        QStringList out;
        for (qint32 r = 0; r < rs.RecordCount() && r < 5; ++r) {
            QStringList cells;
            for (int col = 0; col < rs.FieldCount(); ++col)
                cells << rs.text(r, col).left(60);
            out << cells.join(QLatin1Char('|'));
        }
        db::Recordset counts;
        if (sqlite &&
            counts.Open(QStringLiteral("select (select count(*) from %1%3), (select count(*) "
                                       "from %2%3)")
                            .arg(from, in, table),
                        &c) &&
            counts.text(0, 0) != counts.text(0, 1))
            out << QStringLiteral("count %1 against %2").arg(counts.text(0, 0), counts.text(0, 1));
        return out;
    }
    // Every row and value of a table, in key order, Null apart from the empty text.
    static QStringList rows(db::Connection& c, const QString& table) {
        db::Recordset rs;
        if (!rs.Open(QStringLiteral("select * from %1 order by 1, 2, 3").arg(table), &c))
            return {
                QStringLiteral("<cannot read %1: %2>").arg(table, testdb::describe(rs.Errors()))};
        QStringList out;
        for (qint32 r = 0; r < rs.RecordCount(); ++r) {
            QStringList cells;
            for (int col = 0; col < rs.FieldCount(); ++col)
                cells << (rs.isNull(r, col) ? QStringLiteral("<NULL>") : rs.text(r, col));
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

private slots:
    void threeTablesOfWhichTheSecondFails() {
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        for (const char* t : {"ea_one", "ea_three"}) {
            testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(t)));
            QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE %1 (id INTEGER, name VARCHAR(10))")
                                        .arg(QLatin1String(t))));
            QVERIFY(testdb::exec(
                c,
                QStringLiteral("INSERT INTO %1 VALUES (1, 'a'), (2, 'b')").arg(QLatin1String(t))));
        }
        const QString dir = newFolder(QStringLiteral("three"));
        RecordingBatchFeedback fb;
        // Lines left from an earlier run are joined into one, without blanks between.
        fb.command = dir.left(5) + QStringLiteral("\r\n") + dir.mid(5, 3) + QStringLiteral("\n") +
                     dir.mid(8);
        ExportAllCSV(c, {"ea_one", "ea_missing", "ea_three"}, fb);
        QCOMPARE(fb.command, dir + QLatin1Char('/'));
        QCOMPARE(fb.calls, (QStringList{"running", "disable", "enable", "idle"}));
        QCOMPARE(fb.log.size(), 3);
        QCOMPARE(fb.log[0], (Entry{dir + QStringLiteral("/ea_one.csvに2件のデータが出力されました"),
                                   QString(), true}));
        QCOMPARE(fb.log[1].subject, QStringLiteral("ea_missing"));
        QVERIFY(!fb.log[1].success);
        QVERIFY2(fb.log[1].detail.startsWith(QStringLiteral("VB Error # ")),
                 qPrintable(fb.log[1].detail));
        QCOMPARE(fb.log[2],
                 (Entry{dir + QStringLiteral("/ea_three.csvに2件のデータが出力されました"),
                        QString(), true}));
        QCOMPARE(readFile(dir + QStringLiteral("/ea_three.csv")),
                 QByteArray("1,\"a\"\r\n2,\"b\"\r\n"));
        QCOMPARE(readFile(dir + QStringLiteral("/ImportAllCSV.txt")),
                 QStringLiteral("ea_one, %1/ea_one.csv\r\nea_three, %1/ea_three.csv\r\n\r\n")
                     .arg(dir)
                     .toUtf8());
    }

    // A stop confirmed half way through the second table: its file keeps the rows written,
    // counted in the log, it stays out of the batch file, and the third table is not written.
    void stopEndsTheRunAfterTheRowsSoFar() {
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        for (const char* t : {"es_one", "es_big", "es_three"}) {
            testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(t)));
            QVERIFY(testdb::exec(
                c, QStringLiteral("CREATE TABLE %1 (id INTEGER)").arg(QLatin1String(t))));
        }
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO es_one VALUES (1)")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO es_three VALUES (1)")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO es_big SELECT i FROM %1")
                                    .arg(testdb::numbers(testdb::Kind::SqliteNative, 300))));
        const QString dir = newFolder(QStringLiteral("stop"));
        RecordingBatchFeedback fb;
        fb.command = dir;
        fb.stopAtProgress = 50;
        ExportAllCSV(c, {"es_one", "es_big", "es_three"}, fb);
        QCOMPARE(fb.questions, QStringList{QStringLiteral("処理を中断しますか？")});
        QCOMPARE(fb.log.size(), 3);
        QCOMPARE(fb.log[0], (Entry{dir + QStringLiteral("/es_one.csvに1件のデータが出力されました"),
                                   QString(), true}));
        const int written = int(readFile(dir + QStringLiteral("/es_big.csv")).count("\r\n"));
        QVERIFY2(written > 0 && written < 300, qPrintable(QString::number(written)));
        QCOMPARE(
            fb.log[1],
            (Entry{QStringLiteral("es_big"),
                   QStringLiteral("処理を中断しました。%1/es_big.csvに%2件のデータが出力されました")
                       .arg(dir)
                       .arg(written),
                   false}));
        QCOMPARE(fb.log[2],
                 (Entry{QStringLiteral("中断したため、残りのバッチ命令は実行されませんでした"),
                        QString(), true}));
        QVERIFY(!QFile::exists(dir + QStringLiteral("/es_three.csv")));
        QCOMPARE(readFile(dir + QStringLiteral("/ImportAllCSV.txt")),
                 QStringLiteral("es_one, %1/es_one.csv\r\n\r\n").arg(dir).toUtf8());
        QCOMPARE(fb.calls, (QStringList{"running", "disable", "enable", "idle"}));
    }

    void emptyTableListWritesOnlyALineEnd() {
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        const QString dir = newFolder(QStringLiteral("empty")) + QLatin1Char('/');
        RecordingBatchFeedback fb;
        fb.command = dir;
        ExportAllTAB(c, {}, fb);
        // Typed with its separator: left as typed.
        QCOMPARE(fb.command, dir);
        QVERIFY(fb.log.isEmpty());
        QCOMPARE(readFile(dir + QStringLiteral("ImportAllTab.txt")), QByteArray("\r\n"));
        QVERIFY(!QFile::exists(dir + QStringLiteral("ImportAllCSV.txt")));
    }

    // Names that one file name would serve ("/" becomes "_" in it) and a name with a comma:
    // each table its own file and a batch line its import takes, so every table gets its own
    // rows back.
    void awkwardNames_data() { testdb::addBackendRows(); }
    void awkwardNames() {
        QFETCH(QString, backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        db::Connection c;
        QVERIFY(testdb::open(c, backend));
        const QStringList names{"ea/x", "ea_x", "ea,x"};
        QStringList entries;
        for (const QString& name : names) {
            const QString quoted = testdb::quoteName(kind, name);
            entries << quoted;
            c.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + quoted);
            QVERIFY(testdb::exec(
                c, QStringLiteral("CREATE TABLE %1 (id INTEGER, name VARCHAR(10), n INTEGER)")
                       .arg(quoted)));
        }
        const auto dropAll = qScopeGuard([&] {
            for (const QString& entry : entries)
                c.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + entry);
        });
        for (qsizetype i = 0; i < entries.size(); ++i)
            QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO %1 VALUES (%2, '%3', %2)")
                                        .arg(entries[i])
                                        .arg(i + 1)
                                        .arg(names[i])));
        const QString dir = newFolder(QStringLiteral("awkward_") + backend);
        RecordingBatchFeedback exportAll;
        exportAll.command = dir;
        ExportAllCSV(c, entries, exportAll);
        QCOMPARE(exportAll.log.size(), entries.size());
        for (const Entry& e : exportAll.log)
            QVERIFY2(e.success, qPrintable(e.subject + QLatin1Char(' ') + e.detail));
        // One file per table.
        QCOMPARE(QDir(dir).entryList({QStringLiteral("*.csv")}, QDir::Files).size(),
                 entries.size());

        for (const QString& entry : entries)
            QVERIFY(testdb::exec(c, QStringLiteral("DELETE FROM ") + entry));
        RecordingBatchFeedback importAll;
        importAll.fileAnswer = dir + QStringLiteral("/ImportAllCSV.txt");
        ReadBatchFile(importAll, QStringLiteral("/"));
        BatchImportCSV(c, importAll);
        QCOMPARE(importAll.log.size(), entries.size());
        for (const Entry& e : importAll.log)
            QVERIFY2(e.success, qPrintable(e.subject + QLatin1Char(' ') + e.detail));
        for (qsizetype i = 0; i < entries.size(); ++i)
            QCOMPARE(rows(c, entries[i]),
                     QStringList{QStringLiteral("%1|%2|%1").arg(i + 1).arg(names[i])});
    }

    void folderMustExist_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString enter = QStringLiteral(
            "テキストボックスに出力ファイルを保存するディレクトリを記入してください");
        const QString missing = QStringLiteral("入力されたディレクトリは存在しません");
        QTest::newRow("empty") << "" << enter;
        QTest::newRow("blanks and line breaks") << "  \r\n  " << enter;
        QTest::newRow("missing") << "/nonexistent/folder" << missing;
        QTest::newRow("a file") << "/etc/hostname" << missing;
    }
    void folderMustExist() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        db::Connection c;
        QVERIFY(testdb::open(c, QStringLiteral("sqlite")));
        RecordingBatchFeedback fb;
        fb.command = typed;
        ExportAllCSV(c, {"ea_one"}, fb);
        QCOMPARE(fb.log, (QList<Entry>{{message, QString(), true}}));
        QCOMPARE(fb.calls, (QStringList{"running", "disable", "enable", "idle"}));
        QCOMPARE(fb.command, QString(typed).remove(QLatin1Char('\r')).remove(QLatin1Char('\n')));
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("tab");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            if (b.kind == testdb::Kind::SqliteOdbc) continue; // one shared file: no room for a copy
            QTest::newRow(qPrintable(b.name + QStringLiteral(" CSV"))) << b.name << false;
            QTest::newRow(qPrintable(b.name + QStringLiteral(" TAB"))) << b.name << true;
        }
    }
    void roundTrip() {
        QFETCH(QString, backend);
        QFETCH(bool, tab);
        const testdb::Kind kind = testdb::backend(backend).kind;
        const QString tag = QString::fromLatin1(QTest::currentDataTag())
                                .replace(QLatin1Char(' '), QLatin1Char('_'));

        // The sample database itself, always built by its script on SQLite.
        db::ConnectionRecord sample;
        const QString samplePath = testdb::newSqliteFile(tag + QStringLiteral("_sample.db"));
        QVERIFY(openRecord(sample, {QString(), testdb::Kind::SqliteNative, jet(samplePath)},
                           db::ConnectionKind::Access));
        QFile script(QStringLiteral(TOLVAN_SOURCE_DIR "/resources/sample.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        QVERIFY(testdb::exec(*sample.adoConnection, QString::fromUtf8(script.readAll())));

        db::ConnectionRecord source, copy;
        QString copyPath;
        QStringList entries;
        const bool maria = testdb::isMariaDb(kind);
        if (testdb::isServer(kind)) {
            // Source and copy are two schemas of the test database (on MariaDB two databases);
            // the source is filled from the sample through a batch import.
            QVERIFY(openRecord(source, testdb::backend(backend), db::ConnectionKind::Odbc));
            QVERIFY(openRecord(copy, testdb::backend(backend), db::ConnectionKind::Odbc));
            for (const char* schema : {"batch_source", "batch_copy"}) {
                const QString name =
                    (maria ? QStringLiteral("tolvan_") : QString()) + QLatin1String(schema);
                QVERIFY(testdb::exec(
                    *source.adoConnection,
                    maria ? QStringLiteral("DROP DATABASE IF EXISTS ") + name
                          : QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(name)));
                QVERIFY(
                    testdb::exec(*source.adoConnection, (maria ? QStringLiteral("CREATE DATABASE ")
                                                               : QStringLiteral("CREATE SCHEMA ")) +
                                                            name));
            }
            QVERIFY(testdb::exec(*source.adoConnection,
                                 maria ? QStringLiteral("USE tolvan_batch_source")
                                       : QStringLiteral("SET search_path TO batch_source")));
            QVERIFY(testdb::exec(*copy.adoConnection,
                                 maria ? QStringLiteral("USE tolvan_batch_copy")
                                       : QStringLiteral("SET search_path TO batch_copy")));
            for (const QString& s : sampleSchema(kind))
                QVERIFY(testdb::exec(*source.adoConnection, s));

            const QString seed = newFolder(tag + QStringLiteral("_seed"));
            RecordingBatchFeedback exportSample;
            exportSample.command = seed;
            QStringList sampleEntries;
            for (const QString& t : sampleTables())
                sampleEntries << db::AddTableName(t, sample);
            ExportAllCSV(*sample.adoConnection, sampleEntries, exportSample);
            RecordingBatchFeedback fill;
            for (const QString& t : sampleTables())
                fill.command += db::AddTableName(t, source) + QStringLiteral(", ") + seed +
                                QLatin1Char('/') + db::AddTableName(t, sample) +
                                QStringLiteral(".csv\r\n");
            BatchImportCSV(*source.adoConnection, fill);
            for (const Entry& e : fill.log)
                QVERIFY2(e.success, qPrintable(e.subject + QLatin1Char(' ') + e.detail));
        } else {
            source.adoConnection = std::move(sample.adoConnection);
            source.kind = sample.kind;
            copyPath = testdb::newSqliteFile(tag + QStringLiteral("_copy.db"));
            QVERIFY(openRecord(copy, {QString(), testdb::Kind::SqliteNative, jet(copyPath)},
                               db::ConnectionKind::Access));
        }
        for (const QString& s : sampleSchema(kind) + generatedSchema(kind))
            QVERIFY(testdb::exec(*copy.adoConnection, s));
        for (const QString& s : generatedSchema(kind) + generatedRows(kind))
            QVERIFY(testdb::exec(*source.adoConnection, s));
        // Names as the table list shows them: bracketed, or in the database's own quotes.
        for (const QString& t : sampleTables() + generatedTables())
            entries << db::AddTableName(t, source);

        const QString dir = newFolder(tag);
        RecordingBatchFeedback exportAll;
        exportAll.command = dir;
        if (tab)
            ExportAllTAB(*source.adoConnection, entries, exportAll);
        else
            ExportAllCSV(*source.adoConnection, entries, exportAll);
        QCOMPARE(exportAll.log.size(), entries.size());
        for (const Entry& e : exportAll.log)
            QVERIFY2(e.success, qPrintable(e.subject + QLatin1Char(' ') + e.detail));

        RecordingBatchFeedback importAll;
        importAll.fileAnswer =
            dir + (tab ? QStringLiteral("/ImportAllTab.txt") : QStringLiteral("/ImportAllCSV.txt"));
        ReadBatchFile(importAll, QStringLiteral("/"));
        QVERIFY(importAll.messages.isEmpty());
        QCOMPARE(importAll.command.count(QStringLiteral("\r\n")), entries.size());
        if (tab)
            BatchImportTAB(*copy.adoConnection, importAll);
        else
            BatchImportCSV(*copy.adoConnection, importAll);
        // One entry per table; the empty last line writes none.
        QCOMPARE(importAll.log.size(), entries.size());
        QVERIFY2(std::all_of(importAll.log.begin(), importAll.log.end(),
                             [](const Entry& e) { return e.success; }),
                 qPrintable(importAll.log.first().subject + QLatin1Char(' ') +
                            importAll.log.first().detail));
        for (const Entry& e : importAll.log)
            QVERIFY2(e.success, qPrintable(e.subject + QLatin1Char(' ') + e.detail));

        for (const QString& entry : entries) {
            const QStringList original = rows(*source.adoConnection, entry);
            QVERIFY2(original.size() > 1, qPrintable(entry));
            // orders.note holds a line feed, which comes back as it was.
            QCOMPARE(rows(*copy.adoConnection, entry), original);
        }
        // And as the database itself tells values apart.
        QString from = QStringLiteral("main."), in = QStringLiteral("copy.");
        if (testdb::isPostgres(kind)) {
            from = QStringLiteral("batch_source.");
            in = QStringLiteral("batch_copy.");
        } else if (maria) {
            from = QStringLiteral("tolvan_batch_source.");
            in = QStringLiteral("tolvan_batch_copy.");
        } else {
            QVERIFY(testdb::exec(*source.adoConnection,
                                 QStringLiteral("ATTACH DATABASE '%1' AS copy").arg(copyPath)));
        }
        for (const QString& entry : entries) {
            const QStringList notBack = differences(*source.adoConnection, kind, entry, from, in);
            QVERIFY2(notBack.isEmpty(), qPrintable(entry + QStringLiteral(" not back:\n") +
                                                   notBack.join(QLatin1Char('\n'))));
            const QStringList instead = differences(*source.adoConnection, kind, entry, in, from);
            QVERIFY2(instead.isEmpty(), qPrintable(entry + QStringLiteral(" came back instead:\n") +
                                                   instead.join(QLatin1Char('\n'))));
        }
        QCOMPARE(rows(*copy.adoConnection, entries.last()).size(), kSales);
        if (testdb::isPostgres(kind))
            testdb::exec(
                *source.adoConnection,
                QStringLiteral("DROP SCHEMA batch_source CASCADE; DROP SCHEMA batch_copy CASCADE"));
        if (maria)
            for (const char* database : {"tolvan_batch_source", "tolvan_batch_copy"})
                testdb::exec(*source.adoConnection,
                             QStringLiteral("DROP DATABASE ") + QLatin1String(database));
    }
};

QTEST_GUILESS_MAIN(TestExportAll)
#include "tst_exportall.moc"
