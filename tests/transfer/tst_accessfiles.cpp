// Real Access files made with Microsoft Access, opened through the MDBTools driver as a user
// would: by path (the 8-bit driver Debian registers) and through a data source set up by hand
// (the wide driver). Every table and value is compared with what mdbtools' own tools read;
// the exports work; every write is refused before it is tried and the file stays as it was.
#include "OutputWindow.h"
#include "QueryWait.h"
#include "RecordingBatchFeedback.h"
#include "TransferFixture.h"
#include "XlsxReader.h"
#include "batch/BatchRunners.h"
#include "db/ColumnCatalog.h"
#include "query/TableListRetrieval.h"
#include "query/modExecuteQuery.h"
#include "transfer/ExcelExport.h"
#include "transfer/HtmlExport.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kFixtures = QStringLiteral(TOLVAN_SOURCE_DIR "/../shared/fixtures/access");
const char* const kFiles[] = {"DateTestDatabase.mdb", "ASampleDatabase.accdb"};

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QStringLiteral("<failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The rows of a table as mdb-export reads them: cells split at unit separators, Null as <null>.
QList<QStringList> exported(const QString& file, const QString& table) {
    const QString text = run(QStringLiteral("mdb-export"),
                             {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-d"),
                              QStringLiteral("\x1f"), QStringLiteral("-R"), QStringLiteral("\x1e"),
                              QStringLiteral("-0"), QStringLiteral("\x1d"), QStringLiteral("-T"),
                              QStringLiteral("%Y-%m-%d %H:%M:%S"), file, table});
    QList<QStringList> rows;
    for (const QString& line : text.split(QChar(0x1e), Qt::SkipEmptyParts)) {
        QStringList cells = line.split(QChar(0x1f));
        for (QString& c : cells)
            if (c == QStringLiteral("\x1d")) c = QStringLiteral("<null>");
        rows << cells;
    }
    return rows;
}

// A cell as Tolvan shows it, in mdb-export's forms: dates with their time, numbers without
// mdbtools' four decimal places.
QString comparable(const QString& shown) {
    static const QRegularExpression date(
        QStringLiteral("^\\d{4}/\\d{2}/\\d{2}( \\d{2}:\\d{2}:\\d{2})?$"));
    if (date.match(shown).hasMatch()) {
        const QString full = shown.size() == 10 ? shown + QStringLiteral(" 00:00:00") : shown;
        return QString(full).replace(QLatin1Char('/'), QLatin1Char('-'));
    }
    return shown;
}
QString comparableExport(const QString& cell) {
    static const QRegularExpression money(QStringLiteral("^-?\\d+\\.\\d{4}$"));
    if (!money.match(cell).hasMatch()) return cell;
    QString t = cell;
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    return t;
}
} // namespace

class tst_AccessFiles : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir, m_config;
    db::ConnectionRecord m_record;
    std::unique_ptr<ProgramState> m_state;
    QString m_file;

    // Copies the fixture into a folder whose name has blanks and Japanese letters, and
    // connects to it by path or through the data source. nonAscii renames, in the copy, its
    // first table and a column and changes two values to hold letters beyond ASCII (names
    // are UTF-16 there, short texts Latin-1, so each keeps its length).
    bool connect(const QString& name, bool dataSource, bool nonAscii = false) {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        if (dataSource) {
            m_file = qEnvironmentVariable("TOLVAN_TEST_MDB_DSN_FILE");
            if (m_file.isEmpty()) {
                if (testdb::sqliteOnly())
                    QTest::qSkip("no data source for Access files: run through scripts/test.sh",
                                 __FILE__, __LINE__);
                else
                    testdb::needServers(false);
                return false;
            }
            QFile::remove(m_file);
        } else {
            m_file = m_dir->filePath(QStringLiteral("Access ファイル 2024/") + name);
        }
        QDir().mkpath(QFileInfo(m_file).path());
        if (!QFile::copy(kFixtures + QLatin1Char('/') + name, m_file)) return false;
        if (nonAscii) {
            QFile f(m_file);
            f.setPermissions(f.permissions() | QFileDevice::WriteOwner);
            if (!f.open(QIODevice::ReadWrite)) return false;
            QByteArray bytes = f.readAll();
            const auto utf16 = [](const char16_t* t) {
                return QByteArray(reinterpret_cast<const char*>(t),
                                  qsizetype(std::char_traits<char16_t>::length(t) * 2));
            };
            const std::pair<QByteArray, QByteArray> changes[] = {
                {utf16(u"DateTest"), utf16(u"DäteTest")},
                {utf16(u"ShortTextCol"), utf16(u"ShörtTextCol")},
                {QByteArray("\xff\xfeHello"), QByteArray("\xff\xfeH\xe9llo")},
            };
            for (const auto& [from, to] : changes) {
                const qsizetype at = bytes.indexOf(from);
                if (at < 0) return false;
                bytes.replace(at, from.size(), to);
            }
            if (!f.seek(0) || f.write(bytes) != bytes.size()) return false;
        }
        m_record = db::ConnectionRecord();
        m_record.adoConnection = std::make_unique<db::Connection>();
        if (dataSource) {
            m_record.kind = db::ConnectionKind::Odbc;
            m_record.adoConnection->setConnectionString(
                QStringLiteral("Provider=MSDASQL.1;Password=;Persist Security Info=True;User "
                               "ID=;Data Source=") +
                qEnvironmentVariable("TOLVAN_TEST_MDB_DSN"));
        } else {
            m_record.kind = db::ConnectionKind::Access;
            m_record.adoConnection->setConnectionString(
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=Admin;Data "
                               "Source=") +
                m_file + QStringLiteral(";Persist Security Info=True"));
        }
        m_state = std::make_unique<ProgramState>(m_record);
        if (!m_record.adoConnection->Open()) {
            QTest::qFail(qPrintable(testdb::describe(m_record.adoConnection->Errors())), __FILE__,
                         __LINE__);
            return false;
        }
        return true;
    }
    QStringList tableNames() const {
        return run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), m_file})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    db::Connection* connection() { return m_record.adoConnection.get(); }

private slots:
    void initTestCase() {
        if (QFileInfo::exists(kFixtures)) return;
        // The files stay beside the project, not in it: their collection states no licence.
        const QString needs =
            QStringLiteral("%1 (the mdbtools project's public test files, mdbtestdata/data) at %2")
                .arg(QStringList(std::begin(kFiles), std::end(kFiles)).join(QStringLiteral(", ")),
                     QDir::cleanPath(kFixtures));
        // The test command's reading of CI: there the files are always beside the project.
        if (qEnvironmentVariable("TOLVAN_CI") == QLatin1String("1"))
            QFAIL(qPrintable(QStringLiteral("missing in CI: ") + needs));
        QSKIP(qPrintable(QStringLiteral("needs ") + needs));
    }
    void cleanup() {
        m_state.reset();
        m_record.adoConnection.reset();
    }

    void files_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("dataSource");
        QTest::addColumn<bool>("nonAscii");
        for (const char* f : kFiles) {
            QTest::newRow(qPrintable(QStringLiteral("%1 by path").arg(f))) << f << false << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 as a data source").arg(f)))
                << f << true << false;
        }
        for (const bool dataSource : {false, true})
            QTest::newRow(dataSource ? "names beyond ASCII as a data source"
                                     : "names beyond ASCII by path")
                << QString::fromLatin1(kFiles[0]) << dataSource << true;
    }

    // The table list holds every table; choosing one shows all its rows with mdbtools'
    // values, a date it cannot read as its text; the grid sorts them without SQL.
    void readsEveryTable_data() { files_data(); }
    void readsEveryTable() {
        QFETCH(QString, file);
        QFETCH(bool, dataSource);
        QFETCH(bool, nonAscii);
        if (!connect(file, dataSource, nonAscii)) return;
        const QByteArray before = digest(m_file);
        const QStringList names = tableNames();
        QVERIFY(!names.isEmpty());
        RecordingWindow window;
        const TableList list = RetrieveTableList(*m_state, window);
        QVERIFY(!list.failed);
        QCOMPARE(list.items.size(), names.size());
        // The catalog names each table's columns as its rows come.
        db::ColumnCatalog catalog(connection());
        bool read = false;
        QVERIFY(catalog.read(list.entries, [&] { read = true; }));
        QTRY_VERIFY(read);
        for (qsizetype t = 0; t < names.size(); ++t) {
            const QString& table = names[t];
            QVERIFY2(list.items[t].contains(table), qPrintable(list.items[t]));
            RecordingWindow shown;
            QVERIFY2(executeQueryAndWait(*m_state, shown,
                                         QStringLiteral("select * from ") + list.items[t]),
                     qPrintable(shown.prompts.join(QLatin1Char('\n'))));
            QCOMPARE(shown.prompts, QStringList());
            const db::Recordset& rs = *m_state->resultSet;
            const QList<QStringList> expected = exported(m_file, table);
            QCOMPARE(QString::number(rs.RecordCount()),
                     run(QStringLiteral("mdb-count"), {m_file, table}).trimmed());
            QCOMPARE(rs.RecordCount(), expected.size());
            QStringList fields;
            for (int c = 0; c < rs.FieldCount(); ++c)
                fields << m_state->resultSet->Fields(c).Name();
            QVERIFY(catalog.columns(list.entries[size_t(t)]));
            QCOMPARE(*catalog.columns(list.entries[size_t(t)]), fields);
            for (qint32 r = 0; r < rs.RecordCount(); ++r) {
                QCOMPARE(expected[r].size(), rs.FieldCount());
                for (int c = 0; c < rs.FieldCount(); ++c) {
                    const QString got =
                        rs.isNull(r, c) ? QStringLiteral("<null>") : comparable(rs.text(r, c));
                    QCOMPARE(got, comparableExport(expected[r][c]));
                }
            }
            // Sorted by its first column, descending, in the rows held.
            db::Recordset& sorted = *m_state->resultSet;
            QVERIFY(sorted.sortByFields({{0, true}}));
            for (qint32 r = 1; r < sorted.RecordCount(); ++r)
                QVERIFY(sorted.value(r - 1, 0).isNull() ||
                        !(sorted.text(r - 1, 0).toDouble() < sorted.text(r, 0).toDouble()));
        }
        QCOMPARE(digest(m_file), before);
    }

    // CSV, TAB, the page, the workbook and the batch window's export hold every row.
    void exportsEveryRow_data() { files_data(); }
    void exportsEveryRow() {
        QFETCH(QString, file);
        QFETCH(bool, dataSource);
        QFETCH(bool, nonAscii);
        if (!connect(file, dataSource, nonAscii)) return;
        const QByteArray before = digest(m_file);
        RecordingWindow window;
        const TableList list = RetrieveTableList(*m_state, window);
        const QString table = tableNames().first();
        QVERIFY2(
            executeQueryAndWait(*m_state, window, QStringLiteral("select * from ") + list.items[0]),
            qPrintable(window.prompts.join(QLatin1Char('\n'))));
        const qint32 count = m_state->resultSet->RecordCount();
        const QList<QStringList> expected = exported(m_file, table);
        // One line a row, and one more for each line break inside a value.
        qsizetype lines = count;
        for (const QStringList& row : expected)
            lines += row.join(QString()).count(QStringLiteral("\r\n"));
        for (const QString& separator : {QStringLiteral(","), QStringLiteral("\t")}) {
            RecordingWindow csv;
            const QString out = m_dir->filePath(QStringLiteral("out.txt"));
            csv.dialogPaths = {out};
            ExportText(m_state->resultSet.get(), connection(), csv, separator);
            QCOMPARE(csv.prompts, QStringList());
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            // Every row's first cell, at the start of a line, as mdbtools reads it.
            for (const QStringList& row : expected)
                QVERIFY2(bytes.contains(row[0].toUtf8()), qPrintable(row[0]));
            QCOMPARE(bytes.count("\r\n"), lines);
        }
        OutputWindow html;
        const QString page = ExportHtml(m_state->resultSet.get(), connection(), html,
                                        {m_dir->path() + QLatin1Char('/')});
        QVERIFY2(!page.isEmpty(), qPrintable(html.prompts.join(QLatin1Char('\n'))));
        QFile pageFile(page);
        QVERIFY(pageFile.open(QIODevice::ReadOnly));
        // The names' row comes again after every twentieth row.
        const QByteArray pageBytes = pageFile.readAll();
        const qsizetype fields = m_state->resultSet->FieldCount();
        QCOMPARE(pageBytes.count("<tr>") - pageBytes.count("<th>") / fields, count);

        OutputWindow excel;
        const QString book = ExportExcel(m_state->resultSet.get(), connection(), excel,
                                         m_dir->path() + QLatin1Char('/'));
        QVERIFY2(!book.isEmpty(), qPrintable(excel.prompts.join(QLatin1Char('\n'))));
        XlsxSheet sheet;
        QString error;
        QVERIFY2(readXlsx(book, sheet, error), qPrintable(error));
        QCOMPARE(sheet.maxRow, count); // no names' row unless the options ask for one

        RecordingBatchFeedback batch;
        const QString batchOut = m_dir->filePath(QStringLiteral("batch.csv"));
        batch.command = list.items[0] + QStringLiteral(", ") + batchOut;
        BatchExportCSV(*connection(), batch);
        QCOMPARE(batch.log.size(), 1);
        QVERIFY2(batch.log[0].success, qPrintable(batch.log[0].detail));
        QFile batchFile(batchOut);
        QVERIFY(batchFile.open(QIODevice::ReadOnly));
        QCOMPARE(batchFile.readAll().count("\r\n"), lines);
        QCOMPARE(digest(m_file), before);
    }

    // An edit, a delete and an import are refused with a report before anything is tried.
    void writesAreRefused() {
        if (!connect(QString::fromLatin1(kFiles[1]), false)) return;
        const QByteArray before = digest(m_file);
        RecordingWindow window;
        const TableList list = RetrieveTableList(*m_state, window);
        QVERIFY2(
            executeQueryAndWait(*m_state, window, QStringLiteral("select * from ") + list.items[0]),
            qPrintable(window.prompts.join(QLatin1Char('\n'))));
        db::Recordset& rs = *m_state->resultSet;
        const QString kept = rs.text(0, 1);
        QVERIFY(!rs.setValue(0, 1, db::Value(QStringLiteral("changed"))));
        QCOMPARE(rs.Errors().front().Description, db::errors::kReadOnlyDatabase);
        QCOMPARE(rs.text(0, 1), kept);
        const qint32 count = rs.RecordCount();
        QVERIFY(!rs.deleteRow(0));
        QCOMPARE(rs.Errors().front().Description, db::errors::kReadOnlyDatabase);
        QCOMPARE(rs.RecordCount(), count);

        const QString csv = m_dir->filePath(QStringLiteral("in.csv"));
        QVERIFY(writeBytes(csv, "\"1\",\"x\"\r\n"));
        RecordingWindow import;
        ImportFile(m_state->resultSet.get(), connection(), import, csv, QStringLiteral(","),
                   [] { QFAIL("an import that stored nothing reads nothing again"); });
        QCOMPARE(import.prompts, QStringList{db::errors::kReadOnlyDatabase});

        RecordingBatchFeedback batch;
        batch.command = list.items[0] + QStringLiteral(", ") + csv;
        BatchImportCSV(*connection(), batch);
        QCOMPARE(batch.log.size(), 1);
        QVERIFY(!batch.log[0].success);
        QVERIFY2(batch.log[0].detail.contains(db::errors::kReadOnlyDatabase),
                 qPrintable(batch.log[0].detail));
        QCOMPARE(digest(m_file), before);
    }
};

QTEST_MAIN(tst_AccessFiles)
#include "tst_accessfiles.moc"
