// A second program process for the memory tests: limits its own address space, runs a
// statement whose result cannot fit, then a small one, and prints what the window was told.
// The exit code is 0 when the first failed with its report and the second ran.
#include "QueryWait.h"
#include "RecordingWindow.h"
#include "db/ConnectionRecord.h"
#include "query/ProgramState.h"
#include "query/modExecuteQuery.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <sys/resource.h>

namespace {
// The address space in use now, from the kernel's own count.
qint64 addressSpaceInUse() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ')[0].toLongLong() * 1024;
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 && args.size() != 5) {
        std::fprintf(stderr, "usage: fault-memory CONNECTION MEGABYTES STATEMENT [DRIVER-ONLY]\n");
        return 2;
    }
    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(args[1]);
    if (args.size() == 5) record.adoConnection->setBackendOptions({{args[4]}});
    if (!record.adoConnection->Open()) {
        std::fprintf(stderr, "open failed\n");
        return 3;
    }
    ProgramState state(record);
    RecordingWindow window;
    if (!executeQueryAndWait(state, window, QStringLiteral("select 1 as before_it"))) return 4;
    const auto before = state.resultSet;

    // Room for the program as it runs, its worker and a little more: not for the result.
    const qint64 used = addressSpaceInUse();
    const rlim_t limit = rlim_t(used + args[2].toLongLong() * 1024 * 1024);
    const rlimit rl{limit, limit};
    if (used < 0 || setrlimit(RLIMIT_AS, &rl) != 0) return 5;

    const bool first = executeQueryAndWait(state, window, args[3]);
    // The grid's record set keeps its rows; the current one is read anew, as after any failure.
    std::printf("first=%d open=%d shown-before=%d\n", int(first), int(state.resultSet->isOpen()),
                int(state.resultOpen && before->RecordCount() == 1 &&
                    before->text(0, 0) == QLatin1String("1")));
    std::printf("statuses=%s\nprompts=%s\n", qPrintable(window.statuses.join(QLatin1Char('|'))),
                qPrintable(window.prompts.join(QLatin1Char('|'))));
    const bool second = executeQueryAndWait(state, window, QStringLiteral("select 2 as after_it"));
    const QString value = second ? state.resultSet->text(0, 0) : QString();
    std::printf("second=%d value=%s\n", int(second), qPrintable(value));
    std::fflush(stdout);
    return !first && window.prompts.size() == 1 && second && value == QLatin1String("2") ? 0 : 1;
}
