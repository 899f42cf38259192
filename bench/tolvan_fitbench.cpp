// Fitting the grid's columns to their values, as a double-click on a header's border does:
//   tolvan-fitbench "<connection string>" "<sql>" [--naive]
// Opens the result in the grid, then fits each column to every row held. Prints the fit a new
// result gets (every row held, each value up to 40% of the grid), and per column "column=NAME
// rows=N fit_seconds=S width=W" (the double-click: at most the grid's width, so a long text ends
// the search) and "text_seconds=S text_width=W" (the widest text without that limit, every row
// looked at); with --naive also every value measured whole ("naive_seconds=S naive_width=W"), the
// width the estimates must not fall short of.
//
// Run with QT_QPA_PLATFORM=offscreen.
#include "app/ColumnFit.h"
#include "app/RecordsetModel.h"
#include "app/ResultGrid.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool naive = args.removeAll(QStringLiteral("--naive")) > 0;
    if (args.size() < 3) {
        std::fprintf(stderr,
                     "usage: tolvan-fitbench \"<connection string>\" \"<sql>\" [--naive]\n");
        return 2;
    }
    db::Connection connection;
    connection.setConnectionString(args[1]);
    auto rs = std::make_shared<db::Recordset>();
    if (!connection.Open() || !rs->Open(args[2], &connection)) return 1;

    ResultGrid grid;
    grid.resize(781, 299); // the main window's grid at its designed size
    RecordsetModel model;
    grid.setModel(&model);
    grid.show();
    QApplication::processEvents();
    model.setRecordset(rs);

    QElapsedTimer timer;
    timer.start();
    grid.fitColumnsToResult();
    std::printf("result_fit_seconds=%.4f columns=%d\n", double(timer.nsecsElapsed()) / 1e9,
                model.columnCount());

    double total = 0;
    for (int c = 0; c < model.columnCount(); ++c) {
        timer.restart();
        grid.fitColumnToAllRows(c);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        total += seconds;
        std::printf("column=%s rows=%d fit_seconds=%.3f width=%d",
                    qPrintable(model.headerData(c, Qt::Horizontal).toString()), model.rowCount(),
                    seconds, grid.horizontalHeader()->sectionSize(c));
        ColumnFit fit(grid.font());
        timer.restart();
        const int text = fit.widestText(model, c, 0, model.rowCount(), 1 << 30);
        std::printf(" text_seconds=%.3f text_width=%d", double(timer.nsecsElapsed()) / 1e9, text);
        if (naive) {
            timer.restart();
            int widest = 0;
            QString shown;
            for (int row = 0; row < model.rowCount(); ++row) {
                const bool nullWord = model.shownText(row, c, shown);
                widest = std::max(widest, fit.textWidth(shown, nullWord));
            }
            std::printf(" naive_seconds=%.3f naive_width=%d", double(timer.nsecsElapsed()) / 1e9,
                        widest);
        }
        std::printf("\n");
    }
    std::printf("rows=%d all_columns_fit_seconds=%.3f\n", model.rowCount(), total);
    return 0;
}
