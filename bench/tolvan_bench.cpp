// Measures the data-access layer as the program uses it:
//   tolvan-bench fetch "<connection string>" "<sql>" [--describe]
//   tolvan-bench sort "<connection string>" "<sql>" "<sort>"
//   tolvan-bench copy "<connection string>" "<source sql>" "<target sql>"   (AddNew/Update per row)
//   tolvan-bench export|import ...   (the CSV and TAB commands, see transfer_bench.cpp)
//   tolvan-bench excel|html "<connection string>" "<sql>" [output folder]      (see OutputBench.h)
// and prints "rows=N fields=M seconds=S" last.
#include "BenchOptions.h"
#include "OutputBench.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "transfer_bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace {
long peakKilobytes() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

int fail(const db::ErrorList& errors) {
    for (const db::Error& e : errors)
        std::fprintf(stderr, "error %d %s: %s\n", e.Number, qPrintable(e.Source),
                     qPrintable(e.Description));
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 &&
        (args[1] == QLatin1String("export") || args[1] == QLatin1String("import")))
        return runTransferBench(args);
    if (args.size() > 1 && (args[1] == QLatin1String("excel") || args[1] == QLatin1String("html")))
        return runOutputBench(args);
    const QStringList modes = {QStringLiteral("fetch"), QStringLiteral("sort"),
                               QStringLiteral("copy")};
    if (args.size() < 4 || !modes.contains(args[1])) {
        std::fprintf(
            stderr,
            "usage: tolvan-bench fetch \"<connection string>\" \"<sql>\" [--describe]\n"
            "       tolvan-bench sort \"<connection string>\" \"<sql>\" \"<field asc|desc>\"\n"
            "       tolvan-bench copy \"<connection string>\" \"<source sql>\" \"<target sql>\"\n"
            "       tolvan-bench excel|html \"<connection string>\" \"<sql>\" [output folder]\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    db::Connection connection;
    connection.setConnectionString(args[2]);
    applyBenchOptions(connection);
    connection.setCursorLocation(db::Connection::adUseClient);
    connection.setCommandTimeout(0);
    if (!connection.Open()) return fail(connection.Errors());

    db::Recordset rs;
    if (!rs.Open(args[3], &connection)) return fail(rs.Errors());
    const double opened = double(timer.nsecsElapsed()) / 1e9;

    if (args[1] == QLatin1String("sort")) {
        if (args.size() < 5) return 2;
        QElapsedTimer sortTimer;
        sortTimer.start();
        if (!rs.setSort(args[4])) return fail(rs.Errors());
        std::printf("sort_seconds=%.3f\n", double(sortTimer.nsecsElapsed()) / 1e9);
    }

    if (args[1] == QLatin1String("copy")) {
        if (args.size() < 5) return 2;
        db::Recordset target;
        // Forward-only, as the import's work record set: it keeps none of the rows it adds.
        if (!target.Open(args[4], &connection, db::Recordset::adOpenForwardOnly))
            return fail(target.Errors());
        QElapsedTimer insertTimer;
        insertTimer.start();
        const int n = std::min(rs.FieldCount(), target.FieldCount());
        {
            // As an import runs: in one bulk scope, its held rows stored before the close.
            db::BulkWriteScope scope(&connection);
            for (qint32 r = 0; r < rs.RecordCount(); ++r) {
                if (!target.AddNew()) return fail(target.Errors());
                for (int i = 0; i < n; ++i)
                    if (!target.Fields(i).setValue(rs.value(r, i))) return fail(target.Errors());
                if (!target.Update()) return fail(target.Errors());
            }
            if (!scope.end()) return fail(connection.Errors());
        }
        if (!target.Close()) return fail(target.Errors());
        std::printf("insert_seconds=%.3f\n", double(insertTimer.nsecsElapsed()) / 1e9);
    }

    const int fields = rs.FieldCount();
    if (args.contains(QLatin1String("--describe"))) {
        for (int i = 0; i < fields; ++i) {
            db::Field f = rs.Fields(i);
            std::printf("%s\t%d\t%lld\t%d\t%d\n", qPrintable(f.Name()), f.Type(),
                        qlonglong(f.DefinedSize()), f.Precision(), f.NumericScale());
        }
    }
    qint64 rows = 0, chars = 0;
    if (fields > 0 && rs.RecordCount() > 0) {
        QString text;
        rs.MoveFirst();
        while (!rs.Eof()) {
            for (int i = 0; i < fields; ++i) {
                rs.textInto(rs.position(), i, text);
                chars += text.size();
            }
            ++rows;
            rs.MoveNext();
        }
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("open_seconds=%.3f chars=%lld held_bytes=%zu peak_kb=%ld\n", opened,
                qlonglong(chars), rs.memoryBytes(), peakKilobytes());
    std::printf("rows=%lld fields=%d seconds=%.3f\n", qlonglong(rows), fields, seconds);
    return 0;
}
