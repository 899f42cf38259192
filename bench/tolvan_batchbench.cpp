// Measures the batch runs against the single-table transfers they are built on:
//   tolvan-batchbench single "<connection string>" <table> <empty copy> <folder>
//       ExportTableText of the table, then ImportTableText of that file into the copy
//   tolvan-batchbench all "<connection string>" <folder> <table>...
//       the export of all the tables, then, after emptying them, the batch import of the
//       batch file the export wrote
// and prints "export_seconds=E import_seconds=I rows=N peak_kb=K" last.
#include "BenchOptions.h"
#include "batch/BatchFeedback.h"
#include "batch/BatchFileLoader.h"
#include "batch/BatchRunners.h"
#include "batch/ExportAll.h"
#include "db/Connection.h"
#include "transfer/TableTransfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {
long peakKilobytes() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// The batch window without a window: the log goes to stderr, row counts are summed.
class ConsoleBatch : public BatchFeedback {
public:
    QString command;
    qint64 rows = 0;
    bool failed = false;

    QString commandText() const override { return command; }
    void setCommandText(const QString& text) override { command = text; }
    void SetControlsEnabled(bool) override {}
    void AppendLog(const QString& subject, const QString& detail, bool success) override {
        if (!success) failed = true;
        std::fprintf(stderr, "%s %s\n", qPrintable(subject), qPrintable(detail));
        const qsizetype to = subject.lastIndexOf(QStringLiteral("に"));
        if (success && to >= 0) {
            qsizetype end = to + 1;
            while (end < subject.size() && subject[end].isDigit())
                ++end;
            rows += subject.mid(to + 1, end - to - 1).toLongLong();
        }
    }
    void setBatchRunning(bool) override {}
    void setProgress(int) override {}
    void doEvents() override {}
    void showMessage(const QString& text) override {
        failed = true;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    QString showOpenDialog(const QString&, const QString&, const QString&) override {
        return command;
    }
};

double seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 ||
        (args[1] != QLatin1String("single") && args[1] != QLatin1String("all"))) {
        std::fprintf(
            stderr,
            "usage: tolvan-batchbench single \"<connection string>\" <table> <copy> <folder>\n"
            "       tolvan-batchbench all \"<connection string>\" <folder> <table>...\n");
        return 2;
    }
    db::Connection connection;
    connection.setConnectionString(args[2]);
    applyBenchOptions(connection);
    connection.setCursorLocation(db::Connection::adUseClient);
    connection.setCommandTimeout(0);
    if (!connection.Open()) return 1;

    QElapsedTimer timer;
    double exportSeconds = 0, importSeconds = 0;
    qint64 rows = 0;
    if (args[1] == QLatin1String("single")) {
        if (args.size() < 6) return 2;
        const QString file = args[5] + QStringLiteral("/single.csv");
        qint32 written = 0, added = 0;
        QString error;
        timer.start();
        if (!ExportTableText(connection, QStringLiteral(","), args[3], file, written, error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        exportSeconds = seconds(timer);
        timer.start();
        if (!ImportTableText(connection, QStringLiteral(","), args[4], file, added, error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        importSeconds = seconds(timer);
        rows = added;
    } else {
        const QStringList tables = args.mid(4);
        ConsoleBatch batch;
        batch.command = args[3];
        timer.start();
        ExportAllCSV(connection, tables, batch);
        exportSeconds = seconds(timer);
        for (const QString& t : tables)
            if (!connection.Execute(QStringLiteral("DELETE FROM ") + t)) return 1;
        ConsoleBatch reimport;
        reimport.command = args[3] + QStringLiteral("/ImportAllCSV.txt");
        timer.start();
        ReadBatchFile(reimport, QString());
        BatchImportCSV(connection, reimport);
        importSeconds = seconds(timer);
        if (batch.failed || reimport.failed) return 1;
        rows = reimport.rows;
    }
    std::printf("export_seconds=%.3f import_seconds=%.3f rows=%lld peak_kb=%ld\n", exportSeconds,
                importSeconds, static_cast<long long>(rows), peakKilobytes());
    return 0;
}
