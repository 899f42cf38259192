// The CSV and TAB export against real databases, through the recording window. An export
// meeting a fault (a full disk, a failing statement) is a row of tst_exportfaults.
#include "TransferFixture.h"
#include "options/SettingsKeys.h"
#include "transfer/TableTransfer.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"

#include <QDir>
#include <sys/stat.h>

namespace {
int fileMode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}
QString status(int n) {
    return QString::number(n) + kRowsHandled;
}
} // namespace

class TestExport : public QObject {
    Q_OBJECT
    std::unique_ptr<TransferFixture> f;

    bool fixture(const QString& backend) {
        f = std::make_unique<TransferFixture>();
        if (!f->open(backend)) return false;
        f->dropTable(QStringLiteral("x"));
        return f->exec(
            QStringLiteral(
                "CREATE TABLE x (seq INTEGER, id INTEGER, code VARCHAR(20), name %1, qty INTEGER)")
                .arg(testdb::nvarchar(f->kind, 40)));
    }
    // n rows with ids 1..n.
    bool fill(int n) {
        QStringList values;
        for (int i = 1; i <= n; ++i)
            values << QStringLiteral("(%1, %1, 'c%1', 'n%1', %1)").arg(i);
        return f->exec(QStringLiteral("INSERT INTO x VALUES ") + values.join(QLatin1Char(',')));
    }
    // n rows with seq, id and qty 1..n, in order, in one statement.
    bool fillMany(int n) {
        const auto text = [&](const char* prefix) {
            return testdb::prefixed(f->kind, QString::fromLatin1(prefix), QStringLiteral("i"));
        };
        return f->exec(QStringLiteral("insert into x select i, i, %1, %2, i from %3")
                           .arg(text("c"), text("n"), testdb::numbers(f->kind, n)));
    }
    // The lines fillMany's rows give, from the first on.
    static QByteArray manyLines(int first, int count) {
        QByteArray out;
        for (int i = first; i < first + count; ++i) {
            const QByteArray k = QByteArray::number(i);
            out += k + ',' + k + ",\"c" + k + "\",\"n" + k + "\"," + k + "\r\n";
        }
        return out;
    }
    // The files of the fixture's folder other than the target: what an export left beside it.
    QStringList besides(const QString& target) const {
        QStringList names = QDir(f->path(QString())).entryList(QDir::Files | QDir::System);
        names.removeAll(QFileInfo(target).fileName());
        return names;
    }
    void exportTo(const QString& path, const QString& separator = kComma) {
        f->window.dialogPaths << path;
        ExportTextCommand(f->result(), &f->connection(), f->window, separator);
    }

private slots:
    void cleanup() { f.reset(); }

    void writesTheFormat_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("separator");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            QTest::newRow(qPrintable(b.name + QStringLiteral(" csv"))) << b.name << kComma;
            QTest::newRow(qPrintable(b.name + QStringLiteral(" tab"))) << b.name << kTab;
        }
    }
    void writesTheFormat() {
        QFETCH(QString, backend);
        QFETCH(QString, separator);
        QVERIFY(fixture(backend));
        QVERIFY(f->exec(QStringLiteral(
            "INSERT INTO x VALUES (1, 1, 'a\"b', '  abc  ', NULL), (2, NULL, '', NULL, 5), "
            "(3, 3, 'l1\r\nl2', '日本語,タブ\t', -7)")));
        QVERIFY(f->show(QStringLiteral("select id, code, name, qty from x order by seq")));
        const QString out = f->path(QStringLiteral("out.csv"));
        exportTo(out, separator);
        QCOMPARE(f->window.prompts, QStringList());
        const QString expected = QStringLiteral("1,\"a\"\"b\",\"  abc  \",\r\n"
                                                ",\"\",,5\r\n"
                                                "3,\"l1\r\nl2\",\"日本語,タブ\t\",-7\r\n");
        QString sepExpected = expected;
        if (separator == kTab) {
            // Only the separators change; the comma inside the quoted value stays.
            sepExpected = QStringLiteral("1\t\"a\"\"b\"\t\"  abc  \"\t\r\n"
                                         "\t\"\"\t\t5\r\n"
                                         "3\t\"l1\r\nl2\"\t\"日本語,タブ\t\"\t-7\r\n");
        }
        QCOMPARE(QString::fromUtf8(fileBytes(out)), sepExpected);
        // The window was locked and its progress bar shown for the run only.
        QCOMPARE(f->window.calls.front(), QStringLiteral("enabled=0"));
        QCOMPARE(f->window.calls.back(), QStringLiteral("enabled=1"));
        QVERIFY(!f->window.progressVisible);
        QCOMPARE(f->window.progress, QList<int>({33, 66, 100}));
    }

    // The text of a value in the file is the text the grid shows (the same value text), and
    // holds the value: text as stored but for the padding of fixed-width columns, numbers in
    // full, a 4-byte float in the shortest text that reads back as it.
    void valueTexts_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("written");
        using K = testdb::Kind;
        struct Case {
            K kind; // SqliteNative stands for both SQLite backends
            const char* name;
            const char* type;
            const char* literal;
            const char* written;
        };
        const QList<Case> cases = {
            {K::SqliteNative, "nvarchar", "NVARCHAR(40)", "'Edinburgh '", "\"Edinburgh \""},
            {K::SqliteNative, "char kept as stored", "CHAR(10)", "' abc  '", "\" abc  \""},
            {K::SqliteNative, "infinity", "REAL", "9e999", "Infinity"},
            {K::PostgresOdbc, "varchar", "VARCHAR(40)", "' Edinburgh '", "\" Edinburgh \""},
            {K::PostgresOdbc, "char padding", "CHAR(10)", "' abc'", "\" abc\""},
            {K::PostgresOdbc, "real", "REAL", "1.1", "1.1"},
            {K::PostgresOdbc, "minus zero", "DOUBLE PRECISION", "'-0'", "-0"},
            {K::PostgresOdbc, "money", "MONEY", "1234567890123456.78", "1234567890123456.78"},
            {K::PostgresOdbc, "negative money", "MONEY", "-0.5", "-0.5"},
            {K::MariaDbOdbc, "varchar", "VARCHAR(40)", "'Edinburgh '", "\"Edinburgh \""},
            {K::MariaDbOdbc, "float", "FLOAT", "1.1", "1.1"},
            {K::MariaDbOdbc, "bigint unsigned", "BIGINT UNSIGNED", "18446744073709551615",
             "18446744073709551615"},
            {K::MariaDbOdbc, "bit(1)", "BIT(1)", "b'1'", "True"},
        };
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            const K kind = testdb::databaseOf(b.kind);
            for (const Case& c : cases)
                if (c.kind == kind)
                    QTest::newRow(qPrintable(b.name + QLatin1Char(' ') + QLatin1String(c.name)))
                        << b.name << QString::fromLatin1(c.type) << QString::fromLatin1(c.literal)
                        << QString::fromLatin1(c.written);
        }
    }
    void valueTexts() {
        QFETCH(QString, backend);
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(QString, written);
        QVERIFY(fixture(backend));
        f->dropTable(QStringLiteral("vt"));
        QVERIFY(f->exec(QStringLiteral("CREATE TABLE vt (v %1)").arg(type)));
        QVERIFY(f->exec(QStringLiteral("INSERT INTO vt VALUES (%1)").arg(literal)));
        QVERIFY(f->show(QStringLiteral("select v from vt")));
        const QString out = f->path(QStringLiteral("vt.csv"));
        exportTo(out);
        QCOMPARE(f->window.prompts, QStringList());
        QCOMPARE(QString::fromUtf8(fileBytes(out)), written + QStringLiteral("\r\n"));
        QString shown = written;
        if (shown.startsWith(QLatin1Char('"'))) shown = shown.mid(1, shown.size() - 2);
        // The grid shows what the database holds, the filling of a padded CHAR too.
        QString inGrid = f->result()->text(0, 0);
        if (f->result()->column(0).padded)
            while (inGrid.endsWith(QLatin1Char(' ')))
                inGrid.chop(1);
        QCOMPARE(inGrid, shown);
    }

    void statusEveryIntervalRows_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("expected");
        // The count of every interval, then the rows written at the end.
        QTest::newRow("default 100")
            << QString()
            << QStringList{status(0), status(0), status(100), status(200), status(250)};
        QStringList everyRow{status(0)};
        for (int i = 0; i < 250; ++i)
            everyRow << status(i);
        everyRow << status(250);
        // 0 would end every export at its first row: it counts as 1.
        QTest::newRow("zero") << QStringLiteral("0") << everyRow;
        QTest::newRow("negative") << QStringLiteral("-5") << everyRow;
        QTest::newRow("not a number")
            << QStringLiteral("abc")
            << QStringList{status(0), status(0), status(100), status(200), status(250)};
    }
    void statusEveryIntervalRows() {
        QFETCH(QString, setting);
        QFETCH(QStringList, expected);
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(fill(250));
        if (!setting.isEmpty()) WriteSetting(keys::ImportRefresh, setting);
        QVERIFY(f->show(QStringLiteral("select * from x")));
        const QString out = f->path(QStringLiteral("s.csv"));
        exportTo(out);
        QCOMPARE(f->window.statuses, expected);
        QCOMPARE(fileBytes(out).count("\r\n"), 250);
        QCOMPARE(f->window.progress.size(), 250);
        QCOMPARE(f->window.progress.last(), 100);
        QVERIFY(std::is_sorted(f->window.progress.begin(), f->window.progress.end()));
    }

    void refreshBeyondSixteenBits() {
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(fill(3));
        WriteSetting(keys::ImportRefresh, QStringLiteral("40000"));
        QVERIFY(f->show(QStringLiteral("select * from x")));
        exportTo(f->path(QStringLiteral("o.csv")));
        QCOMPARE(f->window.prompts.size(), 1);
        QVERIFY(f->window.prompts[0].contains(QStringLiteral("Overflow")));
        QCOMPARE(f->window.statuses.last(), kStatusError);
    }

    void abortQuestion_data() {
        QTest::addColumn<PanelAnswer>("answer");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("earlier");
        QTest::newRow("OK stops") << PanelAnswer::Ok << 10 << false;
        QTest::newRow("Cancel goes on") << PanelAnswer::Cancel << 250 << false;
        // Stopped by the user, the export still ends: its rows replace the earlier file.
        QTest::newRow("OK stops, earlier file") << PanelAnswer::Ok << 10 << true;
        QTest::newRow("Cancel goes on, earlier file") << PanelAnswer::Cancel << 250 << true;
    }
    void abortQuestion() {
        QFETCH(PanelAnswer, answer);
        QFETCH(int, lines);
        QFETCH(bool, earlier);
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(fill(250));
        QVERIFY(f->show(QStringLiteral("select * from x order by seq")));
        int rows = 0;
        // Escape pressed while the tenth row is written.
        f->window.onEvents = [&] {
            if (++rows == 10) f->window.abort = true;
        };
        f->window.answers << answer;
        const QString out = f->path(QStringLiteral("a.csv"));
        if (earlier) {
            QVERIFY(writeBytes(out, QByteArray(100000, 'e')));
            QCOMPARE(::chmod(QFile::encodeName(out).constData(), 0640), 0);
        }
        exportTo(out);
        QCOMPARE(f->window.prompts, QStringList{kAbortQuestion});
        // Nothing left beside it, and the earlier file's permissions kept.
        QCOMPARE(besides(out), QStringList());
        if (earlier) QCOMPARE(fileMode(out), 0640);
        const QByteArray bytes = fileBytes(out);
        QCOMPARE(bytes.count("\r\n"), lines);
        QVERIFY(bytes.endsWith(QStringLiteral("%1,\"c%1\",\"n%1\",%1\r\n").arg(lines).toUtf8()));
        QVERIFY(!f->window.abort || answer == PanelAnswer::Ok);
        // Going on shows the busy panel with its Cancel button again.
        QCOMPARE(f->window.calls.count(QStringLiteral("busy 01")),
                 answer == PanelAnswer::Cancel ? 2 : 1);
    }

    void nothingToExport() {
        QVERIFY(fixture(QStringLiteral("sqlite")));
        ExportTextCommand(f->result(), &f->connection(), f->window, kComma);
        QCOMPARE(f->window.prompts, QStringList{kNothingToExport});
        QVERIFY(f->window.dialogs.isEmpty());
        // An open but empty result: nothing at all.
        f->window = RecordingWindow();
        QVERIFY(f->show(QStringLiteral("select * from x")));
        ExportTextCommand(f->result(), &f->connection(), f->window, kComma);
        QVERIFY(f->window.prompts.isEmpty());
        QVERIFY(f->window.dialogs.isEmpty());
        QVERIFY(f->window.statuses.isEmpty());
    }

    void dialogAndSavedFolder() {
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(fill(2));
        QVERIFY(f->show(QStringLiteral("select * from x")));
        const QString saved = f->path(QStringLiteral("saved")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(saved));
        WriteSetting(keys::ExportDirCsv, saved);
        // Cancelled: nothing written, the folder stays.
        ExportTextCommand(f->result(), &f->connection(), f->window, kComma);
        QCOMPARE(
            f->window.dialogs,
            QStringList{
                QStringLiteral("save|%1|%2|%3").arg(kCsvDialogTitle, kCsvDialogFilter, saved)});
        QVERIFY(f->window.statuses.isEmpty());
        QCOMPARE(ReadSetting(keys::ExportDirCsv), saved);

        const QString other = f->path(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(other));
        exportTo(other + QStringLiteral("/t.tab"), kTab);
        QCOMPARE(f->window.dialogs.last(),
                 QStringLiteral("save|%1|%2|").arg(kTabDialogTitle, kTabDialogFilter));
        QCOMPARE(ReadSetting(keys::ExportDirTab), other + QLatin1Char('/'));
        QCOMPARE(ReadSetting(keys::ExportDirCsv), saved);
        // A saved folder that is gone opens the dialog nowhere in particular.
        QVERIFY(QDir(other).removeRecursively());
        ExportTextCommand(f->result(), &f->connection(), f->window, kTab);
        QCOMPARE(f->window.dialogs.last(),
                 QStringLiteral("save|%1|%2|").arg(kTabDialogTitle, kTabDialogFilter));
    }

    void unwritableTargets_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("a folder") << QStringLiteral("folder");
        QTest::newRow("a missing folder") << QStringLiteral("missing/x.csv");
    }
    void unwritableTargets() {
        QFETCH(QString, target);
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(fill(2));
        QVERIFY(QDir().mkpath(f->path(QStringLiteral("folder"))));
        QVERIFY(f->show(QStringLiteral("select * from x")));
        const QString path = f->path(target);
        const QFileInfo before(path);
        exportTo(path);
        // What was there stays what it was.
        QCOMPARE(QFileInfo(path).isDir(), before.isDir());
        QCOMPARE(QFileInfo(path).isFile(), before.isFile());
        QCOMPARE(besides(path).filter(QStringLiteral("x.csv")), QStringList());
        // Never a silent success: the report, then "ERROR".
        QCOMPARE(f->window.prompts.size(), 1);
        QVERIFY(f->window.prompts[0].startsWith(QStringLiteral("   VB Error # ")));
        QVERIFY(f->window.prompts[0].contains(path));
        QCOMPARE(f->window.statuses.last(), kStatusError);
        QCOMPARE(f->window.calls.mid(f->window.calls.size() - 3),
                 QStringList({"prompt", "hide", "enabled=1"}));
    }

    void localeCharacterSet() {
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(f->exec(QStringLiteral("INSERT INTO x VALUES (1, 1, 'あ', '愛', 1)")));
        QVERIFY(f->show(QStringLiteral("select code, name from x")));
        const QByteArray saved = qgetenv("LC_ALL");
        qputenv("LC_ALL", "ja_JP.SJIS");
        exportTo(f->path(QStringLiteral("sjis.csv")));
        saved.isEmpty() ? qunsetenv("LC_ALL") : qputenv("LC_ALL", saved);
        QCOMPARE(fileBytes(f->path(QStringLiteral("sjis.csv"))),
                 QByteArray("\"\x82\xa0\",\"\x88\xa4\"\r\n"));
    }

    // Many blocks, each read on a worker while the one before is written.
    void everyRowInOrder_data() { testdb::addBackendRows(); }
    void everyRowInOrder() {
        QFETCH(QString, backend);
        QVERIFY(fixture(backend));
        const int n = 30000;
        QVERIFY(fillMany(n));
        QVERIFY(f->show(QStringLiteral("select * from x order by seq")));
        const QString out = f->path(QStringLiteral("many.csv"));
        exportTo(out);
        QCOMPARE(f->window.prompts, QStringList());
        QVERIFY(fileBytes(out) == manyLines(1, n));
        QCOMPARE(f->window.progress.last(), 100);

        qint32 rows = -1;
        QString error;
        const QString table = f->path(QStringLiteral("table.csv"));
        QVERIFY2(ExportTableText(f->connection(), kComma, QStringLiteral("x"), table, rows, error),
                 qPrintable(error));
        QCOMPARE(rows, n);
        QVERIFY(fileBytes(table) == manyLines(1, n));
    }

    // Escape in the middle, while the next block is being read: the rows written stay, the
    // read stops and the connection is free at once.
    void abortInTheMiddle_data() { testdb::addBackendRows(); }
    void abortInTheMiddle() {
        QFETCH(QString, backend);
        QVERIFY(fixture(backend));
        const int n = 30000, stop = 6000;
        QVERIFY(fillMany(n));
        QVERIFY(f->show(QStringLiteral("select * from x order by seq")));
        int rows = 0;
        f->window.onEvents = [&] {
            if (++rows == stop) f->window.abort = true;
        };
        f->window.answers << PanelAnswer::Ok;
        const QString out = f->path(QStringLiteral("abort.csv"));
        exportTo(out);
        QCOMPARE(f->window.prompts, QStringList{kAbortQuestion});
        QVERIFY(fileBytes(out) == manyLines(1, stop));
        QCOMPARE(f->rows(QStringLiteral("select count(*) from x")), QStringList{"30000"});
    }

    void tableExport_data() { testdb::addBackendRows(); }
    void tableExport() {
        QFETCH(QString, backend);
        QVERIFY(fixture(backend));
        qint32 rows = -1;
        QString error;
        QList<int> bar;
        TableTransferHooks hooks{[&](int v) { bar << v; }, {}};
        const QString empty = f->path(QStringLiteral("empty.csv"));
        QVERIFY(ExportTableText(f->connection(), kComma, QStringLiteral("x"), empty, rows, error,
                                hooks));
        QCOMPARE(rows, 0);
        QVERIFY(error.isEmpty());
        QVERIFY(QFileInfo::exists(empty));
        QCOMPARE(QFileInfo(empty).size(), 0);

        QVERIFY(fill(4));
        const QString full = f->path(QStringLiteral("full.tab"));
        bar.clear();
        QVERIFY(
            ExportTableText(f->connection(), kTab, QStringLiteral("x"), full, rows, error, hooks));
        QCOMPARE(rows, 4);
        QCOMPARE(fileBytes(full).count("\r\n"), 4);
        QVERIFY(fileBytes(full).contains("\t\"c4\"\t"));
        // Set before each row is counted: never 100.
        QCOMPARE(bar, QList<int>({0, 0, 25, 50, 75}));

        const QString missing = f->path(QStringLiteral("missing.csv"));
        QVERIFY(!ExportTableText(f->connection(), kComma, QStringLiteral("no_such_table"), missing,
                                 rows, error, hooks));
        QVERIFY2(error.startsWith(QStringLiteral("VB Error # ")), qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
        QCOMPARE(rows, 0);
        // A table that cannot be read creates no file (and leaves an earlier one as it was).
        QVERIFY(!QFileInfo::exists(missing));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
