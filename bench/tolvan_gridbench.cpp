// Times a statement through the main window as the user runs it, until the grid has painted
// its first rows, then the jump to the last row:
//   tolvan-gridbench "<connection string>" "<sql>"
// Run with QT_QPA_PLATFORM=offscreen; prints "execute_to_paint=S scroll_to_end=S rows=N".
#include "Connection.h"
#include "ProgramState.h"
#include "frmKorvel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tolvan-gridbench \"<connection string>\" \"<sql>\"\n");
        return 2;
    }
    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(QString::fromLocal8Bit(argv[1]));
    if (!record.adoConnection->Open()) return 1;
    ProgramState state(record);
    frmKorvel window(state);
    window.show();
    QApplication::processEvents();
    auto* grid = window.findChild<QTableView*>(QStringLiteral("DataGrid1"));
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))
        ->setPlainText(QString::fromLocal8Bit(argv[2]));

    QElapsedTimer timer;
    timer.start();
    window.ExecuteQueryBox();
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
