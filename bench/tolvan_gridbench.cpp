// Times a statement through the main window as the user runs it.
//
//   tolvan-gridbench "<connection string>" "<sql>"
//     until the grid has painted its first rows, then the jump to the last row; prints
//     "execute_to_paint=S scroll_to_end=S rows=N".
//   tolvan-gridbench --arrival "<connection string>" "<sql>" [SQLITE_FILE [CSV_FILE]]
//     the first painted screen of rows and the completed result (count in the status bar),
//     the program's memory before, after and at its peak; with SQLITE_FILE also the sqlite3
//     shell reading the same statement to /dev/null, with CSV_FILE the memory against the
//     size of the rows as CSV.
//   tolvan-gridbench --refresh "<connection string>" "<sql>"
//     runs the statement, then F5: the first painted screen of the rows read again and the
//     completed read, the memory above the program's size before F5.
//   tolvan-gridbench --summary "<connection string>" "<sql>"
//     runs the statement, then selects every cell: the time until the status bar sums them up,
//     and the longest the window waited for its events meanwhile.
//   tolvan-gridbench --import "<connection string>" "<sql>" CSV_FILE
//     runs the statement, then the CSV import of the file into its table: the first painted
//     screen of the result read again after the rows are stored (until then the window takes
//     no input) and the completed read, the memory above the program's size before.
//
// Run with QT_QPA_PLATFORM=offscreen.
#include "app/RecordsetModel.h"
#include "app/frmKorvel.h"
#include "db/Connection.h"
#include "query/ProgramState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {
double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
    return 0;
}

double peakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

// Notes when the grid first paints with rows in it.
class FirstPaint : public QObject {
public:
    FirstPaint(QTableView* grid, const QElapsedTimer& clock) : m_grid(grid), m_clock(clock) {}
    double seconds = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && seconds < 0 && m_grid->model()->rowCount() > 0)
            seconds = double(m_clock.nsecsElapsed()) / 1e9;
        return false;
    }

private:
    QTableView* m_grid;
    const QElapsedTimer& m_clock;
};

// Notes when the grid first paints rows of another record set than the one shown at the start:
// those of a read that begins after it.
class FirstPaintOfNext : public QObject {
public:
    FirstPaintOfNext(QTableView* grid, const QElapsedTimer& clock)
        : m_grid(grid), m_clock(clock),
          m_before(static_cast<RecordsetModel*>(grid->model())->recordset()) {}
    double seconds = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const auto* model = static_cast<RecordsetModel*>(m_grid->model());
        if (event->type() == QEvent::Paint && seconds < 0 && model->recordset() != m_before &&
            model->rowCount() > 0)
            seconds = double(m_clock.nsecsElapsed()) / 1e9;
        return false;
    }

private:
    QTableView* m_grid;
    const QElapsedTimer& m_clock;
    std::shared_ptr<db::Recordset> m_before;
};

// F5 or an import after the statement has run: its read again, as the user sees it.
// The window's statements end from the event loop: the command is complete once none runs
// and the window is free again.
void untilIdle(frmKorvel& window, ProgramState& state) {
    while (state.statements.isRunning() || window.operationRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int reread(frmKorvel& window, ProgramState& state, const QStringList& args, bool import) {
    auto* grid = window.findChild<QTableView*>(QStringLiteral("DataGrid1"));
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setPlainText(args.value(1));
    window.ExecuteQueryBox();
    untilIdle(window, state);
    const int rowsBefore = state.resultSet ? state.resultSet->RecordCount() : -1;
    if (import) {
        const QString file = args.value(2);
        window.showFileDialog = [file](bool, const QString&, const QString&, const QString&) {
            return file;
        };
    }
    QApplication::processEvents();
    const double before = residentMb();
    QElapsedTimer clock;
    FirstPaintOfNext firstPaint(grid, clock);
    grid->viewport()->installEventFilter(&firstPaint);
    clock.start();
    if (import)
        window.mnuImportCSV_Click();
    else
        window.RequeryResult();
    untilIdle(window, state);
    const double completed = double(clock.nsecsElapsed()) / 1e9;
    std::printf("first_screen=%.3f completed=%.3f rows_before=%d rows=%d status=%s\n",
                firstPaint.seconds, completed, rowsBefore,
                state.resultSet ? state.resultSet->RecordCount() : -1,
                qPrintable(window.findChild<QLabel*>(QStringLiteral("status"))->text()));
    std::printf("rss_before_mb=%.1f rss_after_mb=%.1f peak_rss_mb=%.1f held_mb=%.1f\n", before,
                residentMb(), peakMb(),
                state.resultSet ? double(state.resultSet->memoryBytes()) / (1024 * 1024) : 0.0);
    return 0;
}

int summary(frmKorvel& window, ProgramState& state, const QStringList& args) {
    auto* grid = window.findChild<QTableView*>(QStringLiteral("DataGrid1"));
    auto* panel = window.findChild<QLabel*>(QStringLiteral("selection"));
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setPlainText(args.value(1));
    window.ExecuteQueryBox();
    untilIdle(window, state);
    QApplication::processEvents();
    QElapsedTimer clock;
    QElapsedTimer sinceEvents;
    qint64 longestWait = 0;
    clock.start();
    sinceEvents.start();
    grid->selectAll();
    while (panel->text().isEmpty()) {
        longestWait = std::max(longestWait, sinceEvents.nsecsElapsed());
        QCoreApplication::processEvents();
        sinceEvents.restart();
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 cells = qint64(grid->model()->rowCount()) * grid->model()->columnCount();
    std::printf("summary_seconds=%.3f longest_wait_seconds=%.3f cells=%lld text=%s\n", seconds,
                double(longestWait) / 1e9, static_cast<long long>(cells),
                qPrintable(panel->text()));
    return 0;
}

double sqliteShellSeconds(const QString& file, const QString& sql) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) return -1;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(shell, {file, sql});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) return -1;
    return double(t.nsecsElapsed()) / 1e9;
}

int arrival(frmKorvel& window, ProgramState& state, const QStringList& args) {
    auto* grid = window.findChild<QTableView*>(QStringLiteral("DataGrid1"));
    const QString sql = args.value(1);
    const double before = residentMb();
    QElapsedTimer clock;
    FirstPaint firstPaint(grid, clock);
    grid->viewport()->installEventFilter(&firstPaint);
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setPlainText(sql);
    clock.start();
    window.ExecuteQueryBox();
    untilIdle(window, state);
    const double completed = double(clock.nsecsElapsed()) / 1e9;
    const double after = residentMb();
    const double peak = peakMb();
    std::printf("first_screen=%.3f completed=%.3f rows=%d status=%s\n", firstPaint.seconds,
                completed, state.resultSet->RecordCount(),
                qPrintable(window.findChild<QLabel*>(QStringLiteral("status"))->text()));
    std::printf("rss_before_mb=%.1f rss_after_mb=%.1f growth_mb=%.1f peak_rss_mb=%.1f "
                "held_mb=%.1f\n",
                before, after, after - before, peak,
                double(state.resultSet->memoryBytes()) / (1024 * 1024));
    if (args.size() > 2) {
        const double shell = sqliteShellSeconds(args.value(2), sql);
        std::printf("sqlite3=%.3f completed_vs_sqlite3=%.2f\n", shell,
                    shell > 0 ? completed / shell : 0.0);
    }
    if (args.size() > 3) {
        const double csv = double(QFileInfo(args.value(3)).size()) / (1024 * 1024);
        std::printf("csv_mb=%.1f growth_vs_csv=%.2f peak_vs_csv=%.2f\n", csv,
                    csv > 0 ? (after - before) / csv : 0.0, csv > 0 ? peak / csv : 0.0);
    }
    return 0;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString mode = !args.isEmpty() && args.front().startsWith(QLatin1String("--"))
                             ? args.takeFirst()
                             : QString();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tolvan-gridbench [--arrival|--refresh|--summary|--import] "
                             "\"<connection string>\" \"<sql>\" [SQLITE_FILE [CSV_FILE]]\n");
        return 2;
    }
    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(args.value(0));
    if (!record.adoConnection->Open()) return 1;
    ProgramState state(record);
    frmKorvel window(state);
    window.show();
    QApplication::processEvents();
    if (mode == QLatin1String("--arrival")) return arrival(window, state, args);
    if (mode == QLatin1String("--summary")) return summary(window, state, args);
    if (mode == QLatin1String("--refresh") || mode == QLatin1String("--import"))
        return reread(window, state, args, mode == QLatin1String("--import"));

    auto* grid = window.findChild<QTableView*>(QStringLiteral("DataGrid1"));
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setPlainText(args.value(1));

    QElapsedTimer timer;
    timer.start();
    window.ExecuteQueryBox();
    untilIdle(window, state);
    grid->viewport()->repaint();
    const double toPaint = double(timer.nsecsElapsed()) / 1e9;

    timer.restart();
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    grid->viewport()->repaint();
    const double toEnd = double(timer.nsecsElapsed()) / 1e9;
    std::printf("execute_to_paint=%.3f scroll_to_end=%.4f rows=%d\n", toPaint, toEnd,
                state.resultSet->RecordCount());
    window.SetWindowEnabled(true);
    return 0;
}
