#pragma once

#include "db/Connection.h"

#include <QStringList>

// The data sources a benchmark keeps on their ODBC drivers (TOLVAN_BENCH_DRIVER_ONLY, names
// separated by ";" or "*"), so that both ways to a server are measured in one run.
inline void applyBenchOptions(db::Connection& connection) {
    connection.setBackendOptions({qEnvironmentVariable("TOLVAN_BENCH_DRIVER_ONLY")
                                      .split(QLatin1Char(';'), Qt::SkipEmptyParts)});
}
