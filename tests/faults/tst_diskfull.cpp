// A full disk (a small tmpfs) under the CSV export, the export of all tables and the Excel
// and HTML output: the report, "ERROR" in the status panel, the whole lines already written
// kept and counted, and never a success reported.
#include "ExcelExport.h"
#include "ExportAll.h"
#include "FaultControl.h"
#include "HtmlExport.h"
#include "OutputWindow.h"
#include "RecordingBatchFeedback.h"
#include "TableTransfer.h"
#include "TransferFixture.h"
#include "TransferTexts.h"
#include "modExport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <unistd.h>

namespace {
constexpr qint64 kDiskBytes = 256 * 1024;
constexpr int kBigRows = 20000; // about 1.3 MB of CSV

QList<QByteArray> wholeLines(const QByteArray& bytes, bool& cut) {
    QList<QByteArray> lines = bytes.split('\n');
    cut = !lines.isEmpty() && !lines.last().isEmpty();
    if (!cut && !lines.isEmpty()) lines.removeLast();
    return lines;
}

QByteArray expectedLine(int id) {
    return QByteArray::number(id) + ",\"row " + QByteArray::number(id) +
           " of the table that does not fit\"\r";
}

const QByteArray kEarlier("earlier\r\ncontent, not ours\r\n\x82\xa0");

// The files of the small disk other than the target.
QStringList besides(const QString& folder, const QString& target) {
    QStringList names = QDir(folder).entryList(QDir::Files);
    names.removeAll(target);
    return names;
}

// Where the rows of a failed export are: the target itself when there was no earlier file;
// else the earlier file is unchanged and they are in the one new file beside it that the
// report names (none when no row was written).
QString rowsFile(const QString& folder, const QString& target, bool earlier,
                 const QString& report) {
    if (!earlier) return folder + target;
    if (fileBytes(folder + target) != kEarlier) return QStringLiteral("<earlier file changed>");
    const QStringList kept =
        besides(folder, target)
            .filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(target) +
                                       QLatin1Char('.')));
    if (kept.size() != 1) return QStringLiteral("<%1 files beside it>").arg(kept.size());
    if (!report.contains(folder + kept.front()))
        return QStringLiteral("<not named in the report: %1>").arg(report);
    return folder + kept.front();
}

// Output handed to nobody, one "Disk full" report (error 61), ERROR, the window usable again.
void verifyDiskFullReport(const OutputWindow& window) {
    QVERIFY(window.opened.isEmpty());
    QCOMPARE(window.prompts.size(), 1);
    QVERIFY2(window.prompts[0].startsWith(QStringLiteral("   VB Error # ")),
             qPrintable(window.prompts[0]));
    QVERIFY(window.prompts[0].startsWith(QStringLiteral("   VB Error # 61\r\n")));
    QVERIFY(window.prompts[0].contains(QStringLiteral("Disk full")));
    QCOMPARE(window.statuses.last(), kStatusError);
    QVERIFY(window.enabled);
}
} // namespace

class tst_DiskFull : public QObject {
    Q_OBJECT

    TransferFixture f;

    static void earlierRows() {
        QTest::addColumn<bool>("earlier");
        QTest::newRow("new file") << false;
        QTest::newRow("earlier file") << true;
    }

private slots:
    void initTestCase() {
        if (geteuid() != 0) QSKIP("mounting a tmpfs needs root");
        QVERIFY(f.open(QStringLiteral("sqlite")));
        f.dropTable(QStringLiteral("big"));
        f.dropTable(QStringLiteral("small"));
        QVERIFY(f.exec(QStringLiteral("create table big (id integer primary key, txt "
                                      "varchar(60))")));
        QVERIFY(f.exec(QStringLiteral("with recursive s(i) as (select 1 union all select i + 1 "
                                      "from s where i < %1) insert into big select i, 'row ' || "
                                      "i || ' of the table that does not fit' from s")
                           .arg(kBigRows)));
        QVERIFY(f.exec(QStringLiteral("create table small (id integer, txt varchar(10))")));
        QVERIFY(f.exec(QStringLiteral("insert into small values (1, 'a'), (2, 'b'), (3, 'c')")));
    }

    void csvExport_data() { earlierRows(); }
    void csvExport() {
        QFETCH(bool, earlier);
        faults::SmallDisk disk(kDiskBytes);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        QVERIFY(f.show(QStringLiteral("select * from big")));
        RecordingWindow window;
        const QString path = disk.folder() + QStringLiteral("big.csv");
        if (earlier) QVERIFY(writeBytes(path, kEarlier));
        window.dialogPaths << path;
        ExportText(f.result(), &f.connection(), window, kComma);
        QCOMPARE(window.prompts.size(), 1);
        QVERIFY2(window.prompts[0].startsWith(QStringLiteral("   VB Error # 61\r\n")),
                 qPrintable(window.prompts[0]));
        QVERIFY(window.prompts[0].contains(QStringLiteral("Disk full")));
        QCOMPARE(window.statuses.last(), kStatusError);

        bool cut = true;
        const QList<QByteArray> lines =
            wholeLines(fileBytes(rowsFile(disk.folder(), QStringLiteral("big.csv"), earlier,
                                          window.prompts[0])),
                       cut);
        QVERIFY(!cut);
        QVERIFY(lines.size() > 1000 && lines.size() < kBigRows);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(lines[i], expectedLine(i + 1));
        qInfo("csv export: %lld of %d rows kept whole; %s", qint64(lines.size()), kBigRows,
              qPrintable(window.prompts[0].split(QStringLiteral("\r\n")).last()));
    }

    void tableWriter_data() { earlierRows(); }
    void tableWriter() {
        QFETCH(bool, earlier);
        faults::SmallDisk disk(kDiskBytes);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        qint32 rows = -1;
        QString error;
        const QString path = disk.folder() + QStringLiteral("big.csv");
        if (earlier) QVERIFY(writeBytes(path, kEarlier));
        QVERIFY(!ExportTableText(f.connection(), kComma, QStringLiteral("big"), path, rows, error));
        QVERIFY2(error.startsWith(QStringLiteral("VB Error # 61 Generated by Tolvan Description  "
                                                 "Disk full")),
                 qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
        bool cut = true;
        const QList<QByteArray> lines = wholeLines(
            fileBytes(rowsFile(disk.folder(), QStringLiteral("big.csv"), earlier, error)), cut);
        QVERIFY(!cut);
        QCOMPARE(qint64(rows), qint64(lines.size()));
        QVERIFY(rows > 1000 && rows < kBigRows);
    }

    void exportAll_data() { earlierRows(); }
    void exportAll() {
        QFETCH(bool, earlier);
        faults::SmallDisk disk(kDiskBytes);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        const QString batchPath = disk.folder() + QStringLiteral("ImportAllCSV.txt");
        if (earlier) {
            QVERIFY(writeBytes(disk.folder() + QStringLiteral("big.csv"), kEarlier));
            QVERIFY(writeBytes(batchPath, kEarlier));
        }
        RecordingBatchFeedback batch;
        batch.command = disk.folder();
        ExportAllCSV(f.connection(), {QStringLiteral("small"), QStringLiteral("big")}, batch);
        // The full disk leaves no room for the batch file either: that is reported too.
        QCOMPARE(batch.log.size(), 3);
        QVERIFY(batch.log[0].success);
        QCOMPARE(batch.log[0].subject, disk.folder() + QStringLiteral("small.csv") +
                                           QStringLiteral("に3件のデータが出力されました"));
        QCOMPARE(fileBytes(disk.folder() + QStringLiteral("small.csv")),
                 QByteArray("1,\"a\"\r\n2,\"b\"\r\n3,\"c\"\r\n"));
        QVERIFY(!batch.log[1].success);
        QCOMPARE(batch.log[1].subject, QStringLiteral("big"));
        QVERIFY2(batch.log[1].detail.startsWith(QStringLiteral("VB Error # 61 ")),
                 qPrintable(batch.log[1].detail));
        bool cut = true;
        const QList<QByteArray> lines =
            wholeLines(fileBytes(rowsFile(disk.folder(), QStringLiteral("big.csv"), earlier,
                                          batch.log[1].detail)),
                       cut);
        QVERIFY(!cut);
        QVERIFY(lines.size() > 1000 && lines.size() < kBigRows);
        QCOMPARE(batch.calls.last(), QStringLiteral("idle"));
        QVERIFY(!batch.log[2].success);
        QCOMPARE(batch.log[2].subject, batchPath);
        QVERIFY2(batch.log[2].detail.startsWith(QStringLiteral("VB Error # 61 ")),
                 qPrintable(batch.log[2].detail));
        // An earlier batch file stays as it was; a new one lists only the table written in full.
        const QByteArray batchFile = fileBytes(batchPath);
        if (earlier) QCOMPARE(batchFile, kEarlier);
        QVERIFY2(!batchFile.contains("big"), batchFile.constData());
        qInfo("export all: small 3 rows, big %lld of %d rows kept; %s", qint64(lines.size()),
              kBigRows, qPrintable(batch.log[1].detail));
    }

    void excelOutput() {
        faults::SmallDisk disk(kDiskBytes);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        QVERIFY(f.show(QStringLiteral("select * from big")));
        OutputWindow window;
        const QString handed = ExportExcel(f.result(), &f.connection(), window, disk.folder());
        QVERIFY(handed.isEmpty());
        verifyDiskFullReport(window);
        if (QTest::currentTestFailed()) return;
        // No half-written workbook and no scratch data stay behind.
        QCOMPARE(QDir(disk.folder()).entryList(QDir::Files), QStringList());
        qInfo("excel: %s", qPrintable(window.prompts[0].split(QStringLiteral("\r\n")).last()));
    }

    void htmlOutput() {
        faults::SmallDisk disk(kDiskBytes);
        QVERIFY2(disk.mounted(), qPrintable(disk.error()));
        QVERIFY(f.show(QStringLiteral("select * from big")));
        OutputWindow window;
        const QString page = ExportHtml(f.result(), &f.connection(), window, {disk.folder()});
        QVERIFY(page.isEmpty());
        verifyDiskFullReport(window);
        if (QTest::currentTestFailed()) return;
        // The part written stays until the window closes, as every temporary page does.
        const QByteArray written = fileBytes(disk.folder() + QStringLiteral("temp0.html"));
        QVERIFY(written.startsWith("<html>"));
        QVERIFY(!written.contains("</html>"));
        qInfo("html: %lld bytes kept; %s", qint64(written.size()),
              qPrintable(window.prompts[0].split(QStringLiteral("\r\n")).last()));
    }
};

QTEST_GUILESS_MAIN(tst_DiskFull)
#include "tst_diskfull.moc"
