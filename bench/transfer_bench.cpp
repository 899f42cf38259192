// Measures the CSV and TAB export and import as the menu commands run them:
//   tolvan-bench export "<connection string>" "<sql>" FILE csv|tab
//   tolvan-bench import "<connection string>" "<sql of the current result>" FILE csv|tab
// The statement is run first as the current result (its rows held, as the grid holds them);
// then the command runs with its file dialog answered by FILE. Prints
// "before_rss_mb=B loop_peak_rss_mb=L" and, last, "rows=N seconds=S peak_rss_mb=M", where the
// peaks are the process's highest resident size from the start of the command (the loop's
// until its end, before an import reads the result again).
#include "transfer_bench.h"
#include "BenchOptions.h"
#include "QueryWait.h"

#include "db/ConnectionRecord.h"
#include "query/ProgramState.h"
#include "query/modExecuteQuery.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
double statusMegabytes(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').front().toDouble() / 1024.0;
    return -1;
}

// Starts a new peak: the kernel sets the high-water mark back to the current size.
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

class BenchWindow : public WindowFeedback {
public:
    QString file;
    QString lastStatus;
    double loopPeak = -1;
    bool failed = false;

    void SetWindowEnabled(bool) override {}
    void ShowBusy(const QString&, bool, bool) override {}
    void HideBusy() override {
        if (loopPeak < 0) loopPeak = statusMegabytes("VmHWM:");
    }
    PanelAnswer ShowMessagePanel(const QString& message, bool, bool, PanelAnswer) override {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        failed = true;
        return PanelAnswer::Ok;
    }
    void UpdateStatusBar(const QString& status) override { lastStatus = status; }
    void ClearGridPanel() override {}
    void bindGrid(std::shared_ptr<db::Recordset>) override {}
    void rebindGrid() override {}
    void PrepareGridColumns() override {}
    QString ShowSaveDialog(const QString&, const QString&, const QString&) override { return file; }
    QString ShowOpenDialog(const QString&, const QString&, const QString&) override { return file; }
};
} // namespace

int runTransferBench(const QStringList& args) {
    if (args.size() < 6 || (args[5] != QLatin1String("csv") && args[5] != QLatin1String("tab"))) {
        std::fprintf(
            stderr,
            "usage: tolvan-bench export|import \"<connection string>\" \"<sql>\" FILE csv|tab\n");
        return 2;
    }
    // The dialogs' folders are saved as settings: keep them out of the user's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());

    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(args[2]);
    applyBenchOptions(*record.adoConnection);
    record.adoConnection->setCursorLocation(db::Connection::adUseClient);
    if (!record.adoConnection->Open()) {
        for (const db::Error& e : record.adoConnection->Errors())
            std::fprintf(stderr, "error %d: %s\n", e.Number, qPrintable(e.Description));
        return 1;
    }
    ProgramState state(record);
    BenchWindow window;
    window.file = args[4];
    if (!executeQueryAndWait(state, window, args[3]) || !state.resultOpen) return 1;
    const QString separator = args[5] == QLatin1String("tab") ? kTab : kComma;

    const double before = statusMegabytes("VmRSS:");
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    qint64 rows = 0;
    if (args[1] == QLatin1String("export")) {
        ExportTextCommand(state.resultSet.get(), record.adoConnection.get(), window, separator);
        rows = state.resultSet->RecordCount();
    } else {
        // As the window does it: the result read again at the end.
        ImportTextCommand(state.resultSet.get(), record.adoConnection.get(), window, separator,
                          [&] { rereadResultAndWait(state, window); });
        rows = window.lastStatus.left(window.lastStatus.indexOf(kRowsHandled)).toLongLong();
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double peak = statusMegabytes("VmHWM:");
    std::printf("before_rss_mb=%.1f loop_peak_rss_mb=%.1f\n", before,
                window.loopPeak < 0 ? peak : window.loopPeak);
    std::printf("rows=%lld seconds=%.3f peak_rss_mb=%.1f\n", qlonglong(rows), seconds, peak);
    return window.failed ? 1 : 0;
}
