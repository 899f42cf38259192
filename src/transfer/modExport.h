#pragma once

#include "ProgramState.h"
#include "WindowFeedback.h"

#include <QString>

// The CSV and TAB export of the current result: asks for a file, writes every row of the
// result's SQL text read again, with progress, the status count and the abort question.
void ExportText(ProgramState& state, WindowFeedback& feedback, const QString& separator);

// The menu commands around it: the window locked and the progress bar shown meanwhile.
void ExportTextCommand(ProgramState& state, WindowFeedback& feedback, const QString& separator);
