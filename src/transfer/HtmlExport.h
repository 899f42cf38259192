#pragma once

#include "ProgramState.h"
#include "WindowFeedback.h"

#include <QString>
#include <QStringList>

// The browser output: writes the rows of the current result as a page "temp" + N + ".html" in
// the first of pageFolders (each ending with "/") that takes a new file, and opens it with the
// desktop. Returns the page's path, "" when none was written in full.
QString ExportHtml(ProgramState& state, WindowFeedback& feedback, const QStringList& pageFolders);
