// Finding a text in a result held in memory, as the grid's find bar does, and copying it, as
// the grid's Ctrl+C does:
//   tolvan-findbench "<connection string>" "<sql>" TEXT [case]
//   tolvan-findbench "<connection string>" "<sql>" --copy
// Opens the result, then finds the rows holding TEXT (ignoring case unless "case") and prints
// "rows=N matching=M find_seconds=S" for the whole search over every cell; or copies every
// cell with the column names as text and HTML and prints "rows=N copy_seconds=S text_mb=T
// html_mb=H".
#include "app/GridCopy.h"
#include "app/GridFind.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <numeric>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: tolvan-findbench \"<connection string>\" \"<sql>\" TEXT "
                             "[case]\n       tolvan-findbench \"<connection string>\" \"<sql>\" "
                             "--copy\n");
        return 2;
    }
    db::Connection connection;
    connection.setConnectionString(args[1]);
    db::Recordset rs;
    if (!connection.Open() || !rs.Open(args[2], &connection)) return 1;
    QElapsedTimer timer;
    if (args[3] == QLatin1String("--copy")) {
        std::vector<int> rows(size_t(rs.RecordCount())), columns(size_t(rs.FieldCount()));
        std::iota(rows.begin(), rows.end(), 0);
        std::iota(columns.begin(), columns.end(), 0);
        CopiedCells cells;
        timer.start();
        if (!copyCells(
                rs, rows, columns, true, [](qint64) { return true; }, cells))
            return 1;
        std::printf("rows=%d copy_seconds=%.3f text_mb=%.1f html_mb=%.1f\n", rs.RecordCount(),
                    double(timer.nsecsElapsed()) / 1e9, double(cells.text.size()) * 2 / 1e6,
                    double(cells.html.size()) * 2 / 1e6);
        return 0;
    }
    timer.start();
    const std::vector<int> rows =
        GridFind(rs, args[3], args.size() > 4 && args[4] == QLatin1String("case")).rowsHolding();
    std::printf("rows=%d matching=%zu find_seconds=%.3f\n", rs.RecordCount(), rows.size(),
                double(timer.nsecsElapsed()) / 1e9);
    return 0;
}
