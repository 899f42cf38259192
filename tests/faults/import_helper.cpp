// A second program process for the fault tests: imports a CSV file into a table, through the
// batch reader ("batch") or the interactive import of the current result ("menu"), and prints
// "rows=N" and the report.
#include "QueryWait.h"
#include "RecordingWindow.h"
#include "db/ConnectionRecord.h"
#include "query/ProgramState.h"
#include "query/modExecuteQuery.h"
#include "transfer/TableTransfer.h"
#include "transfer/modImport.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: fault-import batch|menu CONNECTION TABLE FILE\n");
        return 2;
    }
    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(args[2]);
    if (!record.adoConnection->Open()) {
        std::fprintf(stderr, "open failed\n");
        return 3;
    }
    if (args[1] == QLatin1String("batch")) {
        qint32 rows = 0;
        QString error;
        const bool ok = ImportTableText(*record.adoConnection, QStringLiteral(","), args[3],
                                        args[4], rows, error);
        std::printf("rows=%d\n%s\n", rows, qPrintable(error));
        return ok ? 0 : 1;
    }
    ProgramState state(record);
    RecordingWindow window;
    if (!executeQueryAndWait(state, window, QStringLiteral("select * from ") + args[3])) return 4;
    ImportFile(state.resultSet.get(), record.adoConnection.get(), window, args[4],
               QStringLiteral(","), [&] { rereadResultAndWait(state, window); });
    std::printf("%s\n%s\n", qPrintable(window.statuses.join(QLatin1Char('|'))),
                qPrintable(window.prompts.join(QLatin1Char('|'))));
    return window.prompts.isEmpty() ? 0 : 1;
}
