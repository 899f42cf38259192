// Finding a text in a result held in memory, as the grid's find bar does:
//   tolvan-findbench "<connection string>" "<sql>" TEXT [case]
// Opens the result, then finds the rows holding TEXT (ignoring case unless "case"). Prints
// "rows=N matching=M find_seconds=S" for the whole search over every cell.
#include "Connection.h"
#include "GridFind.h"
#include "Recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: tolvan-findbench \"<connection string>\" \"<sql>\" TEXT [case]\n");
        return 2;
    }
    db::Connection connection;
    connection.setConnectionString(args[1]);
    db::Recordset rs;
    if (!connection.Open() || !rs.Open(args[2], &connection)) return 1;
    QElapsedTimer timer;
    timer.start();
    const std::vector<int> rows =
        GridFind(rs, args[3], args.size() > 4 && args[4] == QLatin1String("case")).rowsHolding();
    std::printf("rows=%d matching=%zu find_seconds=%.3f\n", rs.RecordCount(), rows.size(),
                double(timer.nsecsElapsed()) / 1e9);
    return 0;
}
