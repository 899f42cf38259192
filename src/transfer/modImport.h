#pragma once

#include "ProgramState.h"
#include "WindowFeedback.h"

#include <QString>

// The CSV and TAB import into the table behind the current result: asks for a file and adds
// a row for every record, with the cycling progress bar, the status count and the abort
// question; the result is read again at the end so that the new rows show.
void ImportText(ProgramState& state, WindowFeedback& feedback, const QString& separator);

// The same for a given file, without the dialog (dropped files).
void ImportFile(ProgramState& state, WindowFeedback& feedback, const QString& path,
                const QString& separator);

// The menu commands around ImportText: the window locked and the progress bar shown meanwhile.
void ImportTextCommand(ProgramState& state, WindowFeedback& feedback, const QString& separator);
