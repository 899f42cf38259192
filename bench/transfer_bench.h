#pragma once

#include <QStringList>

// tolvan-bench export|import: the menu commands' own functions on a real connection, the
// window answered by the driver. Returns the process exit code.
int runTransferBench(const QStringList& args);
