#include "OutputBench.h"

#include "BenchOptions.h"
#include "QueryWait.h"

#include "query/ProgramState.h"
#include "query/WindowFeedback.h"
#include "query/modExecuteQuery.h"
#include "transfer/ExcelExport.h"
#include "transfer/HtmlExport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {
long statusKilobytes(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').front().toLong();
    return -1;
}

// Starts a new peak: the kernel sets the high-water mark back to the current size.
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

// The window as the benchmark sees it: silent, every opening succeeds, failures on stderr.
class BenchWindow : public WindowFeedback {
public:
    bool failed = false;
    void SetWindowEnabled(bool) override {}
    void ShowBusy(const QString&, bool, bool) override {}
    void HideBusy() override {}
    PanelAnswer ShowMessagePanel(const QString& message, bool, bool, PanelAnswer) override {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return PanelAnswer::Ok;
    }
    void UpdateStatusBar(const QString& status) override {
        failed = failed || status == QLatin1String("ERROR");
    }
    void ClearGridPanel() override {}
    void bindGrid(std::shared_ptr<db::Recordset>) override {}
    void rebindGrid() override {}
    void PrepareGridColumns() override {}
    bool OpenWithDesktop(const QString&) override { return true; }
};
} // namespace

int runOutputBench(const QStringList& args) {
    if (args.size() < 4) return 2;
    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(args[2]);
    applyBenchOptions(*record.adoConnection);
    record.adoConnection->setCursorLocation(db::Connection::adUseClient);
    if (!record.adoConnection->Open()) {
        for (const db::Error& e : record.adoConnection->Errors())
            std::fprintf(stderr, "error %d %s: %s\n", e.Number, qPrintable(e.Source),
                         qPrintable(e.Description));
        return 1;
    }
    ProgramState state(record);
    BenchWindow window;
    if (!executeQueryAndWait(state, window, args[3]) || !state.resultOpen) return 1;

    QTemporaryDir scratch;
    const QString folder = (args.size() > 4 ? args[4] : scratch.path()) + QLatin1Char('/');
    const long base = statusKilobytes("VmRSS:");
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    db::Recordset* result = state.resultSet.get();
    db::Connection* connection = record.adoConnection.get();
    const QString file = args[1] == QLatin1String("excel")
                             ? ExportExcel(result, connection, window, folder)
                             : ExportHtml(result, connection, window, {folder});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const long peak = statusKilobytes("VmHWM:");
    if (window.failed || file.isEmpty()) return 1;
    std::printf("file=%s bytes=%lld before_rss_mb=%.1f\n", qPrintable(file),
                qlonglong(QFileInfo(file).size()), double(base) / 1024);
    std::printf("rows=%d seconds=%.3f peak_rss_mb=%.1f\n", state.resultSet->RecordCount(), seconds,
                double(peak) / 1024);
    return 0;
}
