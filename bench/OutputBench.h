#pragma once

#include <QStringList>

// tolvan-bench excel|html "<connection string>" "<sql>" [output folder]: runs the statement as
// the Execute command does, then the Excel or browser output on it, the desktop's opening
// answered by the driver. Prints "before_rss_mb=B" (the program's size before the output) and,
// last, "rows=N seconds=S peak_rss_mb=M" (time and peak resident size of the output alone).
// Returns the exit code.
int runOutputBench(const QStringList& args);
