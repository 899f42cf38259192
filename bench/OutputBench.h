#pragma once

#include <QStringList>

// tolvan-bench excel|html "<connection string>" "<sql>" [output folder]: runs the statement as
// the Execute command does, then the Excel or browser output on it, the desktop's opening
// answered by the driver. Prints "rows=N seconds=S peak_rss_mb=M" last (seconds and peak
// memory of the output alone; base_rss_mb is the program's size before it). Returns the exit code.
int runOutputBench(const QStringList& args);
