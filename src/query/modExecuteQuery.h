#pragma once

#include "ProgramState.h"
#include "QueryTexts.h"
#include "WindowFeedback.h"

#include <QString>
#include <functional>

// The statements below run on a worker while the window's events go on; each ends from the
// event loop with its done, after it showed its outcome. Failures are reported in the panel.

// The Execute command: runs the selection of the query box when it holds more than blanks
// and line breaks, else its whole text, with the window locked until it ended; the
// statement run goes to addToHistory. done(false) when the box held nothing to run.
void ExecuteQueryBox(ProgramState& state, WindowFeedback& feedback, const QString& queryText,
                     const QString& selectedText, std::function<void(const QString&)> addToHistory,
                     std::function<void(bool)> done = nullptr);

// Runs one statement and shows its outcome; done(false) after a failure.
void ExecuteQuery(ProgramState& state, WindowFeedback& feedback, const QString& statement,
                  std::function<void(bool)> done = nullptr);

// Sets the command timeout from the setting's text: not numeric gives 30; a number outside
// 16 bits fails.
bool ApplyQueryTimeout(ProgramState& state, const QString& setting, db::Error& failure);

// Cancels the statement that ExecuteQuery is running (Escape, the busy panel's Cancel);
// nothing when none runs.
void CancelRunningStatement(ProgramState& state);

// The Refresh command: reads the current result again, with the window locked until it
// ended; failures are silent.
void RequeryResult(ProgramState& state, WindowFeedback& feedback,
                   std::function<void()> done = nullptr);

// Reads the current result again as a statement runs: on its worker, the rows shown as they
// arrive, Cancel and Escape stopping it, the sort kept. done(false) after a failure or a
// cancel, which leave the rows shown before; nothing is reported. Runs the result's statement
// again, so only for one that changes nothing, or at the user's own request.
void RereadResult(ProgramState& state, WindowFeedback& feedback,
                  std::function<void(bool)> done = nullptr);
