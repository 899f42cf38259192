// Workbooks made by other programs' libraries (openpyxl, xlsxwriter, xlwt), imported against
// real databases through the recording window and the batch's table import.
#include "TransferFixture.h"
#include "options/SettingsKeys.h"
#include "options/SettingsStore.h"
#include "transfer/ClipboardCells.h"
#include "transfer/FileDrop.h"
#include "transfer/SheetValues.h"
#include "transfer/TableTransfer.h"
#include "transfer/TransferTexts.h"
#include "transfer/WorkbookReader.h"
#include "transfer/XmlScanner.h"

#include <QProcess>
#include <algorithm>
#include <cstring>

namespace {
const QString kNull = QStringLiteral("<null>");

QString timestampType(testdb::Kind kind) {
    if (testdb::isPostgres(kind)) return QStringLiteral("TIMESTAMP(3)");
    if (testdb::isMariaDb(kind)) return QStringLiteral("DATETIME(3)");
    return QStringLiteral("TIMESTAMP");
}
} // namespace

class TestWorkbookImport : public QObject {
    Q_OBJECT
    std::unique_ptr<TransferFixture> f;
    QTemporaryDir m_books;

    QString book(const QString& name) const { return m_books.filePath(name); }
    bool fixture(const QString& backend) {
        f = std::make_unique<TransferFixture>();
        if (!f->open(backend)) return false;
        f->dropTable(QStringLiteral("w"));
        return f->exec(
            QStringLiteral("CREATE TABLE w (id INTEGER, a VARCHAR(60), b %1, n VARCHAR(40))")
                .arg(testdb::nvarchar(f->kind, 60)));
    }

private slots:
    void initTestCase() {
        QProcess maker;
        maker.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(TOLVAN_SOURCE_DIR "/tests/transfer/make_workbooks.py"),
                     m_books.path()});
        QVERIFY(maker.waitForFinished(60000));
        QVERIFY2(maker.exitCode() == 0, maker.readAllStandardError().constData());
    }
    void cleanup() { f.reset(); }

    void numbers_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.1") << "0.1"
                             << "0.1";
        QTest::newRow("float drift") << "0.30000000000000004"
                                     << "0.3";
        QTest::newRow("17 digits") << "12345.678901234567"
                                   << "12345.6789012346";
        QTest::newRow("carry") << "9.9999999999999999"
                               << "10";
        QTest::newRow("half away") << "-1.0000000000000050"
                                   << "-1.00000000000001";
        QTest::newRow("exponent") << "1.234567890123457e+17"
                                  << "123456789012346000";
        QTest::newRow("small") << "-1e-06"
                               << "-0.000001";
        QTest::newRow("far out") << "1.5E-300"
                                 << "1.5E-300";
        QTest::newRow("huge") << "1e+22"
                              << "1E22";
        QTest::newRow("zero") << "-0"
                              << "0";
        QTest::newRow("integer") << "42"
                                 << "42";
        QTest::newRow("no number") << "1,5"
                                   << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void numbers() {
        QFETCH(QString, stored);
        QFETCH(QString, text);
        QCOMPARE(sheet_value::numberText(stored.toStdString()), text);
    }

    void dates_data() {
        using sheet_value::DateParts;
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("from1904");
        QTest::addColumn<int>("parts");
        QTest::addColumn<QString>("text");
        const int date = int(DateParts::Date);
        const int time = int(DateParts::Time);
        const int both = int(DateParts::DateTime);
        QTest::newRow("leap day") << "45351" << false << date << "2024-02-29";
        QTest::newRow("before the false leap day") << "59" << false << date << "1900-02-28";
        QTest::newRow("after it") << "61" << false << date << "1900-03-01";
        QTest::newRow("false leap day") << "60" << false << date << "";
        QTest::newRow("1904") << "0" << true << date << "1904-01-01";
        QTest::newRow("time only") << "0.5732667824074074" << false << time << "13:45:30.250";
        QTest::newRow("date format with a time")
            << "45382.104166666664" << false << date << "2024-03-31 02:30:00";
        QTest::newRow("rounds to the next day")
            << "45382.9999999999" << false << both << "2024-04-01 00:00:00";
        QTest::newRow("elapsed time past a day") << "1.5" << false << time << "1900-01-01 12:00:00";
        QTest::newRow("year 9999") << "2958465" << false << date << "9999-12-31";
        QTest::newRow("no number") << "x" << false << date << "";
    }
    void dates() {
        QFETCH(QString, serial);
        QFETCH(bool, from1904);
        QFETCH(int, parts);
        QFETCH(QString, text);
        const auto system =
            from1904 ? sheet_value::DateSystem::From1904 : sheet_value::DateSystem::From1900;
        QCOMPARE(
            sheet_value::serialDateText(serial.toStdString(), system, sheet_value::DateParts(parts))
                .value_or(QString()),
            text);
    }

    void formats_data() {
        using sheet_value::DateParts;
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("parts");
        QTest::newRow("built-in date") << 14 << "" << int(DateParts::Date);
        QTest::newRow("built-in time") << 21 << "" << int(DateParts::Time);
        QTest::newRow("built-in Japanese date") << 31 << "" << int(DateParts::Date);
        QTest::newRow("built-in number") << 2 << "" << int(DateParts::None);
        QTest::newRow("custom date time")
            << 165 << "yyyy-mm-dd h:mm:ss" << int(DateParts::DateTime);
        QTest::newRow("minutes") << 166 << "mm:ss" << int(DateParts::Time);
        QTest::newRow("elapsed") << 167 << "[h]:mm" << int(DateParts::Time);
        QTest::newRow("Japanese era")
            << 168 << "[$-411]ggge\"年\"m\"月\"d\"日\"" << int(DateParts::Date);
        QTest::newRow("quoted letters") << 169 << "0\"days\"" << int(DateParts::None);
        QTest::newRow("scientific") << 170 << "0.00E+00" << int(DateParts::None);
        QTest::newRow("colour and general") << 171 << "[Red]General" << int(DateParts::None);
        QTest::newRow("escaped") << 172 << "#,##0\\d" << int(DateParts::None);
    }
    void formats() {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(int, parts);
        QCOMPARE(int(sheet_value::formatDateParts(id, code)), parts);
    }

    // The scanner of big parts: tokens as "<name r=...>", "</name>", "text", "!failure".
    void xmlScanner_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("tokens");
        QTest::newRow("prefixed, empty, attributes")
            << QByteArray(
                   "<?xml version=\"1.0\"?><x:row r='5' spans=\"a>b\"><x:c r=\"A5\"/></x:row>")
            << "<row r=5>|<c r=A5>|</c>|</row>";
        QTest::newRow("entities and references")
            << QByteArray("<t r=\"&quot;\">a&lt;b&amp;&#x65E5;&#26412;&apos;</t>")
            << "<t r=\">|a<b&日本'|</t>";
        QTest::newRow("comments and CDATA")
            << QByteArray("<t><!-- x --><![CDATA[<&>]]></t>") << "<t r=>|<&>|</t>";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF<t/>") << "<t r=>|</t>";
        QTest::newRow("unknown entity") << QByteArray("<t>&nbsp;</t>") << "<t r=>|!";
        QTest::newRow("document type") << QByteArray("<!DOCTYPE x [<!ENTITY a \"b\">]><t/>") << "!";
        QTest::newRow("cut short") << QByteArray("<row r=\"1") << "!";
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0t\0/\0>\0", 10) << "!";
    }
    void xmlScanner() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, tokens);
        qint64 at = 0;
        // Three bytes at a time, so that every token spans refills.
        XmlScanner scanner([&](char* data, qint64 max) {
            const qint64 n = std::min<qint64>({max, 3, xml.size() - at});
            std::memcpy(data, xml.constData() + at, size_t(n));
            at += n;
            return n;
        });
        QStringList seen;
        std::string r;
        for (bool more = true; more;) {
            switch (scanner.next()) {
            case XmlScanner::Start:
                r.clear();
                scanner.attribute("r", r);
                seen << QStringLiteral("<%1 r=%2>")
                            .arg(QString::fromStdString(std::string(scanner.name())),
                                 QString::fromStdString(r));
                break;
            case XmlScanner::End:
                seen << QStringLiteral("</%1>").arg(
                    QString::fromStdString(std::string(scanner.name())));
                break;
            case XmlScanner::Text:
                seen << QString::fromStdString(scanner.text());
                break;
            case XmlScanner::Done:
                more = false;
                break;
            case XmlScanner::Failed:
                seen << QStringLiteral("!");
                more = false;
                break;
            }
        }
        QCOMPARE(seen.join(QLatin1Char('|')), tokens);
    }

    // A spreadsheet's clipboard text, cells joined by "|" and rows by ";".
    void clipboardCells_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cells");
        QTest::newRow("rows") << "a\tb\r\nc\td\r\n"
                              << "a|b;c|d";
        QTest::newRow("quoted") << "\"x\ty\"\t\"two\r\nlines\"\r\n"
                                << "x\ty|two\r\nlines";
        QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\"\r\n"
                                        << "say \"hi\"";
        QTest::newRow("a quote that does not close the cell") << "5\" pipe\t\"open\r\n"
                                                              << "5\" pipe|\"open";
        QTest::newRow("blanks and empty cells kept") << " a \t\t\r\n\r\nb\r\n\r\n"
                                                     << " a ||;;b";
        QTest::newRow("no line end") << "z"
                                     << "z";
        QTest::newRow("LF only") << "1\n2"
                                 << "1;2";
    }
    void clipboardCells() {
        QFETCH(QString, text);
        QFETCH(QString, cells);
        QStringList rows;
        for (const std::vector<QString>& row : spreadsheetCells(text))
            rows << QStringList(row.begin(), row.end()).join(QLatin1Char('|'));
        QCOMPARE(rows.join(QLatin1Char(';')), cells);
    }

    // Every kind of cell, compared in the database after the import the window runs.
    void cellsByKind_data() { testdb::addBackendRows(); }
    void cellsByKind() {
        QFETCH(QString, backend);
        QVERIFY(fixture(backend));
        QVERIFY(f->show(QStringLiteral("select * from w")));
        f->window.choice = 0;
        f->importFile(f->window, book(QStringLiteral("types.xlsx")), kComma);
        // Several sheets: the user is asked which.
        QCOMPARE(f->window.choices, QList<QStringList>({{kSheetChoice, "データ", "エラー"}}));
        QVERIFY2(f->window.prompts.isEmpty(), qPrintable(f->window.prompts.join('\n')));
        QCOMPARE(f->rows(QStringLiteral("select id, a, b, n from w order by id")),
                 QStringList({"1|007|日本語テキスト|0.1", "2|0.3|日本語テキスト|1234.567891",
                              "3|2024-02-29|13:45:30.250|-0.000001",
                              "4|2024-03-31 02:30:00|True|12345.6789012346",
                              // Empty cells before the last are empty texts in text columns.
                              "5|||0", "7|123456789012346000|False|0.0000001",
                              "9|  blanks kept  |tab\tand\nbreak|-5",
                              "10|3/4|a\rb|100000000000000000000"}));
        QCOMPARE(f->window.statuses.last(), QString::number(8) + kRowsHandled);
        QCOMPARE(f->state->resultSet->RecordCount(), 8);

        // Shared strings, rich text and formulas by their cached values.
        QVERIFY(f->exec(QStringLiteral("DELETE FROM w")));
        f->importFile(f->window, book(QStringLiteral("shared.xlsx")), kComma);
        QCOMPARE(f->rows(QStringLiteral("select id, a, b from w order by id")),
                 QStringList({"1|007|繰り返し", "2|前半太字後半|繰り返し",
                              "3|0.333333333333333|式の値", "4||True"}));

        // The older format.
        QVERIFY(f->exec(QStringLiteral("DELETE FROM w")));
        f->window.choices.clear();
        f->window.choice = -1;
        f->importFile(f->window, book(QStringLiteral("old.xls")), kComma);
        QCOMPARE(f->window.choices.size(), 1);
        QCOMPARE(f->rows(QStringLiteral("select count(*) from w")), QStringList{"0"});
        f->window.choice = 0;
        f->importFile(f->window, book(QStringLiteral("old.xls")), kTab);
        QCOMPARE(f->rows(QStringLiteral("select id, a, b, n from w order by id")),
                 QStringList({"1|007|日本語|0.1", "2|2024-02-29||1234.5"}));
    }

    // Dates into date columns, in both date systems.
    void typedColumns_data() { testdb::addBackendRows(); }
    void typedColumns() {
        QFETCH(QString, backend);
        QVERIFY(fixture(backend));
        f->dropTable(QStringLiteral("wd"));
        QVERIFY(f->exec(QStringLiteral("CREATE TABLE wd (id INTEGER, d DATE, ts %1, n "
                                       "DECIMAL(18,6))")
                            .arg(timestampType(f->kind))));
        qint32 rows = 0;
        QString error;
        QVERIFY2(ImportTableText(f->connection(), kComma, QStringLiteral("wd"),
                                 book(QStringLiteral("mac.xlsx")), rows, error),
                 qPrintable(error));
        QCOMPARE(rows, 1);
        QCOMPARE(f->rows(QStringLiteral("select id from wd where d = '2001-02-03' and ts = "
                                        "'1904-01-01 06:00:00' and n = 1")),
                 QStringList{"1"});
    }

    // An error cell refuses its row, named by its sheet row; ErrorHandling passes it over.
    void errorCells_data() { testdb::addBackendRows(); }
    void errorCells() {
        QFETCH(QString, backend);
        QVERIFY(fixture(backend));
        QVERIFY(f->show(QStringLiteral("select * from w")));
        f->window.choice = 1;
        f->importFile(f->window, book(QStringLiteral("types.xlsx")), kComma);
        QCOMPARE(f->window.prompts.size(), 1);
        QVERIFY2(f->window.prompts[0].contains(QStringLiteral("2行目: セルの値 #N/A")),
                 qPrintable(f->window.prompts[0]));
        QCOMPARE(f->rows(QStringLiteral("select id from w order by id")), QStringList{"1"});
        QCOMPARE(f->window.statuses.last(), QString::number(1) + kRowsHandled);

        WriteBoolSetting(keys::ImportErrorHandling, true);
        QVERIFY(f->exec(QStringLiteral("DELETE FROM w")));
        f->window.prompts.clear();
        f->importFile(f->window, book(QStringLiteral("types.xlsx")), kComma);
        QCOMPARE(f->window.prompts,
                 QStringList{QStringLiteral("1件のデータはデータベースに登録されませんでした\r\n"
                                            "2行目: セルの値 #N/A はインポートできません")});
        QCOMPARE(f->rows(QStringLiteral("select id from w order by id")), QStringList({"1", "3"}));
        QCOMPARE(f->window.statuses.last(), QString::number(2) + kRowsHandled);
    }

    // Files the reader cannot take fail as files do, with nothing stored.
    void unreadableWorkbooks_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("detail");
        QTest::newRow("no zip") << QByteArray("a,b\r\n") << "Invalid file format";
        QTest::newRow("cut short") << QByteArray("PK\x03\x04\x14\x00", 6) << "Invalid file format";
    }
    void unreadableWorkbooks() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, detail);
        QVERIFY(fixture(QStringLiteral("sqlite")));
        const QString path = f->path(QStringLiteral("bad.xlsx"));
        QVERIFY(writeBytes(path, bytes));
        qint32 rows = -1;
        QString error;
        QVERIFY(!ImportTableText(f->connection(), kComma, QStringLiteral("w"), path, rows, error));
        QVERIFY2(error.contains(detail), qPrintable(error));
        QCOMPARE(rows, 0);
    }

    // The dialog offers workbooks beside the text files, and a dropped workbook is taken.
    void dialogAndDrop() {
        QVERIFY(fixture(QStringLiteral("sqlite")));
        QVERIFY(f->show(QStringLiteral("select * from w")));
        f->window.dialogPaths << book(QStringLiteral("shared.xlsx"));
        f->importTextCommand(f->window, kTab);
        QCOMPARE(f->window.dialogs.size(), 1);
        QVERIFY(f->window.dialogs[0].contains(
            QStringLiteral("TABファイル (*.tab)|*.tab|テキストファイル (*.txt)|*.txt|EXCELファイル "
                           "(*.xlsx;*.xls)|*.xlsx;*.xls")));
        QCOMPARE(f->rows(QStringLiteral("select count(*) from w")), QStringList{"4"});
        QCOMPARE(dropSeparator(QStringLiteral("/tmp/Book1.XLSX")), kComma);
        QCOMPARE(dropSeparator(QStringLiteral("/tmp/old.xls")), kComma);
        QVERIFY(dropSeparator(QStringLiteral("/tmp/old.xlsm")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWorkbookImport)
#include "tst_workbookimport.moc"
