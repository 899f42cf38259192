// The Excel output against real databases, read back from the .xlsx it hands over: cell
// types, the header's look, the borders, the column cap, the failure paths.
#include "OutputWindow.h"
#include "QueryWait.h"
#include "TestBackends.h"
#include "XlsxReader.h"
#include "options/SettingsKeys.h"
#include "query/modExecuteQuery.h"
#include "transfer/ExcelApplication.h"
#include "transfer/ExcelExport.h"
#include "transfer/TransferTexts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Every edge of the cell drawn thin.
bool framed(const XlsxCell& c) {
    return c.left == QLatin1String("thin") && c.right == QLatin1String("thin") &&
           c.top == QLatin1String("thin") && c.bottom == QLatin1String("thin");
}
} // namespace

class TestExcelExport : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dirs;
    // The result on screen, as the window hands it to the outputs.
    db::Recordset* result() const {
        return m_state->resultOpen ? m_state->resultSet.get() : nullptr;
    }
    db::ConnectionRecord m_record;
    std::unique_ptr<ProgramState> m_state;
    OutputWindow m_window;
    QString m_folder;

    void openBackend(const QString& backend) {
        m_record = db::ConnectionRecord();
        m_record.adoConnection = std::make_unique<db::Connection>();
        QVERIFY(testdb::open(*m_record.adoConnection, backend));
        m_state = std::make_unique<ProgramState>(m_record);
    }
    void exec(const QString& sql) { QVERIFY(testdb::exec(*m_record.adoConnection, sql)); }
    void select(const QString& sql) {
        QVERIFY(executeQueryAndWait(*m_state, m_window, sql));
        m_window = OutputWindow();
    }
    QString exportExcel() {
        return ExportExcel(result(), m_record.adoConnection.get(), m_window, m_folder);
    }
    // The folder holds nothing but workbooks handed over.
    QStringList leftInFolder() { return QDir(m_folder).entryList(QDir::Files); }
    void expectFailure(const QString& number) {
        QCOMPARE(m_window.prompts.size(), 1);
        QVERIFY2(m_window.prompts.front().startsWith(QStringLiteral("   VB Error # ") + number),
                 qPrintable(m_window.prompts.front()));
        QCOMPARE(m_window.statuses, QStringList{kStatusError});
        QVERIFY(m_window.enabled);
        QCOMPARE(m_window.calls.back(), QStringLiteral("enabled=1"));
        QVERIFY(leftInFolder().isEmpty());
    }
    XlsxSheet read(const QString& path) {
        XlsxSheet sheet;
        QString error;
        if (!readXlsx(path, sheet, error)) qWarning("%s", qPrintable(error));
        return sheet;
    }

private slots:
    void init() {
        m_dirs = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dirs->filePath(QStringLiteral("config")).toUtf8());
        m_folder = m_dirs->filePath(QStringLiteral("cache/"));
        QVERIFY(QDir().mkpath(m_folder));
        m_window = OutputWindow();
    }

    // A cell holds the value text the grid and the CSV export show: a 4-byte float as its own
    // shortest text, not the digits of the double it is held in.
    void floatCells_data() { testdb::addBackendRows(); }
    void floatCells() {
        QFETCH(QString, backend);
        openBackend(backend);
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS xf"));
        exec(QStringLiteral("CREATE TABLE xf (v REAL)"));
        exec(QStringLiteral("INSERT INTO xf VALUES (1.1)"));
        select(QStringLiteral("select v from xf"));
        QCOMPARE(result()->text(0, 0), QStringLiteral("1.1"));
        const XlsxSheet sheet = read(exportExcel());
        // Without the field names the value is the first row.
        const std::optional<XlsxCell> cell = sheet.cell(1, 1);
        QVERIFY(cell);
        QCOMPARE(cell->kind, XlsxCell::Number);
        QCOMPARE(cell->value, QStringLiteral("1.1"));
        c.Execute(QStringLiteral("DROP TABLE xf"));
    }

    void cellsHeaderAndBorders_data() { testdb::addBackendRows(); }
    void cellsHeaderAndBorders() {
        QFETCH(QString, backend);
        openBackend(backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS x"));
        exec(QStringLiteral("CREATE TABLE x (id INTEGER, code VARCHAR(20), amount %1, note %2)")
                 .arg(testdb::doubleType(kind), testdb::nvarchar(kind, 40)));
        exec(QStringLiteral("INSERT INTO x VALUES (1, '007', 3.5, '  padded  ')"));
        exec(QStringLiteral("INSERT INTO x VALUES (2, '0', -12, NULL)"));
        exec(QStringLiteral("INSERT INTO x VALUES (3, ' 12 ', NULL, '日本語テキスト')"));
        exec(QStringLiteral("INSERT INTO x VALUES (4, NULL, 0, '''quoted')"));
        exec(QStringLiteral("INSERT INTO x VALUES (5, '0.5', 1000, '<b>')"));
        WriteBoolSetting(keys::ExportField, true);
        select(QStringLiteral("select id, code as \" code \", amount, note from x order by id"));

        const QString path = exportExcel();
        QCOMPARE(m_window.opened, QStringList{path});
        QCOMPARE(path, m_folder + QStringLiteral("Book1.xlsx"));
        QCOMPARE(m_window.calls,
                 QStringList({"enabled=0", "progress=1", "busy 00", "open", "hide", "enabled=1"}));
        QCOMPARE(m_window.progress, QList<int>({20, 40, 60, 80, 100}));
        QCOMPARE(leftInFolder(), QStringList{"Book1.xlsx"});

        const XlsxSheet sheet = read(path);
        QCOMPARE(sheet.sheetNames, QStringList{"Sheet1"});
        QCOMPARE(sheet.maxRow, 6);
        QCOMPARE(sheet.maxColumn, 4);
        const QStringList names{"id", "code", "amount", "note"};
        for (int c = 1; c <= 4; ++c) {
            const XlsxCell h = *sheet.cell(1, c);
            QCOMPARE(h.kind, XlsxCell::Text);
            QCOMPARE(h.value, names[c - 1]);
            QCOMPARE(h.fill, QStringLiteral("FFFFCC"));
            QCOMPARE(h.horizontal, QStringLiteral("center"));
        }
        struct Expect {
            int row, col;
            XlsxCell::Kind kind;
            const char* value;
        } const expected[] = {
            {2, 1, XlsxCell::Number, "1"},     {2, 2, XlsxCell::Text, "007"},
            {2, 3, XlsxCell::Number, "3.5"},   {2, 4, XlsxCell::Text, "padded"},
            {3, 2, XlsxCell::Number, "0"},     {3, 3, XlsxCell::Number, "-12"},
            {3, 4, XlsxCell::Blank, ""},       {4, 2, XlsxCell::Number, "12"},
            {4, 3, XlsxCell::Blank, ""},       {4, 4, XlsxCell::Text, "日本語テキスト"},
            {5, 2, XlsxCell::Blank, ""},       {5, 3, XlsxCell::Number, "0"},
            {5, 4, XlsxCell::Text, "'quoted"}, {6, 2, XlsxCell::Text, "0.5"},
            {6, 3, XlsxCell::Number, "1000"},  {6, 4, XlsxCell::Text, "<b>"},
        };
        for (const Expect& e : expected) {
            const auto cell = sheet.cell(e.row, e.col);
            QVERIFY2(cell, qPrintable(columnName(e.col) + QString::number(e.row)));
            QCOMPARE(cell->kind, e.kind);
            QCOMPARE(cell->value, QString::fromUtf8(e.value));
        }
        for (int r = 1; r <= 6; ++r)
            for (int c = 1; c <= 4; ++c) {
                const auto cell = sheet.cell(r, c);
                QVERIFY2(cell && framed(*cell), qPrintable(columnName(c) + QString::number(r)));
                if (r > 1) QVERIFY(cell->fill.isEmpty() && cell->horizontal.isEmpty());
            }
        // Fitted widths: the Japanese text counts double and is the widest.
        QVERIFY(sheet.widths.value(4) >= 14);
        QVERIFY(sheet.widths.value(1) < sheet.widths.value(2));
        QVERIFY(sheet.widths.value(2) < sheet.widths.value(4));

        // A second output takes the next workbook.
        m_window = OutputWindow();
        QCOMPARE(exportExcel(), m_folder + QStringLiteral("Book2.xlsx"));
    }

    // A workbook must be valid UTF-8: text bytes that are not show as U+FFFD there.
    void bytesThatAreNotUtf8() {
        openBackend(QStringLiteral("sqlite"));
        exec(QStringLiteral("CREATE TABLE nb (t TEXT)"));
        exec(QStringLiteral("INSERT INTO nb VALUES (CAST(x'41FF42E697A5' AS TEXT))"));
        WriteBoolSetting(keys::ExportField, true);
        select(QStringLiteral("select t from nb"));
        const XlsxSheet sheet = read(exportExcel());
        const auto cell = sheet.cell(2, 1);
        QVERIFY(cell);
        QCOMPARE(cell->value, QStringLiteral("A\uFFFDB日"));
    }

    void atMost256Columns() {
        openBackend(QStringLiteral("sqlite"));
        QStringList columns, values;
        for (int c = 1; c <= 300; ++c) {
            columns << QStringLiteral("c%1 INTEGER").arg(c);
            values << QString::number(c);
        }
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS wide"));
        exec(QStringLiteral("CREATE TABLE wide (%1)").arg(columns.join(QLatin1Char(','))));
        exec(QStringLiteral("INSERT INTO wide VALUES (%1)").arg(values.join(QLatin1Char(','))));
        select(QStringLiteral("select * from wide"));
        const XlsxSheet sheet = read(exportExcel());
        QCOMPARE(sheet.maxRow, 1);
        QCOMPARE(sheet.maxColumn, 256);
        QCOMPARE(sheet.cell(1, 256)->value, QStringLiteral("256"));
        QVERIFY(framed(*sheet.cell(1, 256)));
        QVERIFY(!sheet.cells.contains(QStringLiteral("IW1")));
    }

    void emptyResult_data() { testdb::addBackendRows(); }
    void emptyResult() {
        QFETCH(QString, backend);
        openBackend(backend);
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS e"));
        exec(QStringLiteral("CREATE TABLE e (a INTEGER, b VARCHAR(5))"));
        select(QStringLiteral("select * from e"));
        // With the header: the header alone, framed.
        WriteBoolSetting(keys::ExportField, true);
        const XlsxSheet sheet = read(exportExcel());
        QCOMPARE(sheet.maxRow, 1);
        QCOMPARE(sheet.maxColumn, 2);
        QVERIFY(framed(*sheet.cell(1, 1)) && framed(*sheet.cell(1, 2)));
        QVERIFY(m_window.prompts.isEmpty());
        // Without it the table has no rows to frame: the failure path, nothing left behind.
        for (const QString& f : leftInFolder())
            QFile::remove(m_folder + f);
        WriteBoolSetting(keys::ExportField, false);
        m_window = OutputWindow();
        QCOMPARE(exportExcel(), QString());
        expectFailure(QStringLiteral("1004"));
        QVERIFY(m_window.opened.isEmpty());
    }

    void nullEverywhereIsAFramedEmptyTable() {
        openBackend(QStringLiteral("sqlite"));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS z"));
        exec(QStringLiteral("CREATE TABLE z (a INTEGER, b VARCHAR(5))"));
        exec(QStringLiteral("INSERT INTO z VALUES (NULL, NULL), (NULL, NULL), (NULL, NULL)"));
        select(QStringLiteral("select * from z"));
        const XlsxSheet sheet = read(exportExcel());
        QCOMPARE(sheet.maxRow, 3);
        QCOMPARE(sheet.maxColumn, 2);
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 2; ++c) {
                QCOMPARE(sheet.cell(r, c)->kind, XlsxCell::Blank);
                QVERIFY(framed(*sheet.cell(r, c)));
            }
    }

    void noSpreadsheetApplication() {
        openBackend(QStringLiteral("sqlite"));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS n"));
        exec(QStringLiteral("CREATE TABLE n (a INTEGER)"));
        exec(QStringLiteral("INSERT INTO n VALUES (1), (2)"));
        select(QStringLiteral("select * from n"));
        m_window.desktopHasHandler = false;
        // Nothing opens it: the workbook is offered for saving and kept, with its rows.
        const QString saved = m_dirs->filePath(QStringLiteral("saved.xlsx"));
        m_window.dialogPaths = {saved};
        QCOMPARE(exportExcel(), QString());
        QCOMPARE(m_window.opened.size(), 1);
        QCOMPARE(m_window.dialogs,
                 QStringList{kSaveWorkbookTitle + QLatin1Char('|') + kWorkbookFilter});
        QCOMPARE(m_window.prompts, QStringList{kWorkbookKeptIn + saved});
        QVERIFY(!QFile::exists(m_window.opened.front()));
        XlsxSheet sheet;
        QString error;
        QVERIFY2(readXlsx(saved, sheet, error), qPrintable(error));
        QCOMPARE(sheet.maxRow, 2);

        // Its dialog cancelled, it stays where it was written, named in the report.
        m_window = OutputWindow();
        m_window.desktopHasHandler = false;
        QCOMPARE(exportExcel(), QString());
        QCOMPARE(m_window.prompts, QStringList{kWorkbookKeptIn + m_window.opened.front()});
        QVERIFY(QFile::exists(m_window.opened.front()));
    }

    void noResultOrNoFolder() {
        openBackend(QStringLiteral("sqlite"));
        QCOMPARE(exportExcel(), QString());
        QCOMPARE(m_window.prompts, QStringList{kNothingToExport});
        QCOMPARE(m_window.calls, QStringList({"enabled=0", "progress=1", "prompt", "enabled=1"}));
        QVERIFY(leftInFolder().isEmpty());

        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS n"));
        exec(QStringLiteral("CREATE TABLE n (a INTEGER)"));
        exec(QStringLiteral("INSERT INTO n VALUES (1)"));
        select(QStringLiteral("select * from n"));
        // A folder that is a plain file takes nothing, even for root.
        QFile plain(m_dirs->filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(ExportExcel(result(), m_record.adoConnection.get(), m_window,
                             plain.fileName() + QLatin1Char('/')),
                 QString());
        expectFailure(QStringLiteral("75"));
        m_window = OutputWindow();
        QCOMPARE(ExportExcel(result(), m_record.adoConnection.get(), m_window, QString()),
                 QString());
        expectFailure(QStringLiteral("429"));
    }

    void resultBeyondTheSheetIsRefused() {
        openBackend(QStringLiteral("sqlite"));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS big"));
        exec(QStringLiteral("CREATE TABLE big (a INTEGER)"));
        exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1048576) "
            "INSERT INTO big SELECT i FROM n"));
        select(QStringLiteral("select * from big"));
        // 1,048,576 rows fit; with the header row they do not.
        WriteBoolSetting(keys::ExportField, true);
        QCOMPARE(exportExcel(), QString());
        expectFailure(QStringLiteral("1004"));
        QVERIFY(m_window.prompts.front().contains(QStringLiteral("1048576")));
        QVERIFY(m_window.opened.isEmpty());
    }

    // Dates and times go in as a spreadsheet takes them typed: serial numbers of the 1900
    // system, shown in the program's date form; what the system cannot hold stays text.
    void datesGoInAsDates_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("serial"); // -1: text
        QTest::addColumn<QString>("format");
        QTest::newRow("date") << "2024/04/01" << 45383.0 << "yyyy/mm/dd";
        QTest::newRow("date and time")
            << "2024/04/01 10:30:00" << 45383.4375 << "yyyy/mm/dd hh:mm:ss";
        QTest::newRow("fraction of a second")
            << "2024/04/01 10:30:00.5" << 45383.4375 + 0.5 / 86400 << "yyyy/mm/dd hh:mm:ss";
        QTest::newRow("time") << "10:30:00" << 0.4375 << "hh:mm:ss";
        QTest::newRow("first day") << "1900/01/01" << 1.0 << "yyyy/mm/dd";
        QTest::newRow("before the day that never was") << "1900/02/28" << 59.0 << "yyyy/mm/dd";
        QTest::newRow("after it") << "1900/03/01" << 61.0 << "yyyy/mm/dd";
        QTest::newRow("last day") << "9999/12/31" << 2958465.0 << "yyyy/mm/dd";
        QTest::newRow("before 1900") << "1899/12/31" << -1.0 << "";
        QTest::newRow("no such day") << "2024/02/30" << -1.0 << "";
        QTest::newRow("no such hour") << "2024/04/01 24:00:00" << -1.0 << "";
        QTest::newRow("no blank between") << "2024/04/0110:30:00" << -1.0 << "";
        QTest::newRow("with dashes, as a database writes it")
            << "2024-04-01 10:30:00" << 45383.4375 << "yyyy/mm/dd hh:mm:ss";
        QTest::newRow("two kinds of separator") << "2024/04-01" << -1.0 << "";
        QTest::newRow("marked as text") << "'2024/04/01" << -1.0 << "";
    }
    void datesGoInAsDates() {
        QFETCH(QString, typed);
        QFETCH(double, serial);
        QFETCH(QString, format);
        db::Error error;
        QStringList opened;
        auto excel = ExcelApplication::Create(
            m_folder, [&](const QString& p) { return opened << p, true; }, error);
        QVERIFY(excel && excel->WorkbooksAdd() && excel->Worksheets(QStringLiteral("Sheet1")));
        QVERIFY(excel->PutCell(1, 1, typed));
        QVERIFY(excel->SetBorderWeight({1, 1, 1, 1}, xl::BorderTop, xl::Thin));
        QVERIFY(excel->SetVisible(true));
        const XlsxSheet sheet = read(opened.value(0));
        const XlsxCell cell = *sheet.cell(1, 1);
        // The cell keeps the look its range gives it beside its number format.
        QCOMPARE(cell.top, QStringLiteral("thin"));
        if (serial < 0) {
            QCOMPARE(cell.kind, XlsxCell::Text);
            QCOMPARE(cell.numberFormat, QString());
            return;
        }
        QCOMPARE(cell.kind, XlsxCell::Number);
        QVERIFY2(qAbs(cell.value.toDouble() - serial) < 1e-9, qPrintable(cell.value));
        QCOMPARE(cell.numberFormat, format);
        excel.reset();
    }

    // Through the output: a time of day before ten is a time, not a number with a leading zero
    // kept as text; a code with one stays text.
    void timesBeforeTen() {
        openBackend(QStringLiteral("sqlite"));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS tm"));
        exec(QStringLiteral("CREATE TABLE tm (t TIME, code VARCHAR(10))"));
        exec(QStringLiteral("INSERT INTO tm VALUES ('09:05:07', '007')"));
        select(QStringLiteral("select t, code from tm"));
        const XlsxSheet sheet = read(exportExcel());
        QCOMPARE(sheet.cell(1, 1)->kind, XlsxCell::Number);
        QCOMPARE(sheet.cell(1, 1)->numberFormat, QStringLiteral("hh:mm:ss"));
        QCOMPARE(sheet.cell(1, 2)->kind, XlsxCell::Text);
        QCOMPARE(sheet.cell(1, 2)->value, QStringLiteral("007"));
    }

    void standInRefusesWhatASheetCannotHold() {
        db::Error error;
        QStringList opened;
        auto excel = ExcelApplication::Create(
            m_folder, [&](const QString& p) { return opened << p, true; }, error);
        QVERIFY(excel);
        QVERIFY(!excel->PutCell(1, 1, QStringLiteral("x"))); // no workbook yet
        QVERIFY(excel->WorkbooksAdd());
        QVERIFY(!excel->Worksheets(QStringLiteral("Sheet2")));
        QCOMPARE(excel->lastError().Number, 9);
        QVERIFY(excel->Worksheets(QStringLiteral("Sheet1")));
        QVERIFY(excel->PutCell(1, 2, QStringLiteral("a\x01\tb")));
        QVERIFY(!excel->PutCell(1, 1, QStringLiteral("late")));
        QVERIFY(!excel->PutCell(2, 1, QString(xl::MaxCellCharacters + 1, QLatin1Char('x'))));
        QVERIFY(excel->PutCell(2, 1, QString(xl::MaxCellCharacters, QLatin1Char('x'))));
        QVERIFY(excel->PutCell(3, 1, QStringLiteral("1e999"))); // beyond numbers: kept as typed
        QVERIFY(excel->PutCell(3, 2, QStringLiteral("-.5e2")));
        QVERIFY(!excel->PutCell(xl::MaxRows + 1, 1, QStringLiteral("1")));
        QVERIFY(!excel->SetInteriorColorIndex({1, 1, 1, 1}, 57));
        QVERIFY(!excel->SetBorderWeight({1, 1, 1, 1}, 5, xl::Thin));
        QVERIFY(!excel->BorderAround({1, 1, 0, 1}, xl::Thin));
        QVERIFY(!excel->AutoFitColumns(QStringLiteral("B:A")));
        QVERIFY(excel->SetVisible(true));
        const XlsxSheet sheet = read(opened.value(0));
        QCOMPARE(sheet.cell(1, 2)->value, QStringLiteral("a\x01\tb"));
        QCOMPARE(sheet.cell(2, 1)->value.size(), xl::MaxCellCharacters);
        QCOMPARE(sheet.cell(3, 1)->kind, XlsxCell::Text);
        QCOMPARE(sheet.cell(3, 2)->kind, XlsxCell::Number);
        QCOMPARE(sheet.cell(3, 2)->value, QStringLiteral("-50"));
        excel.reset();
        // Handed over: the workbook outlives the object; nothing else is left.
        QCOMPARE(leftInFolder(), QStringList{"Book1.xlsx"});
    }
};

QTEST_GUILESS_MAIN(TestExcelExport)
#include "tst_excelexport.moc"
