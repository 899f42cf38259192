#pragma once

#include "query/ProgramState.h"
#include "query/WindowFeedback.h"

#include <QString>

// The executor's operations for callers without an event loop of their own (tests, the
// benchmarks): each is started and waited for in a loop of its own, so that what it left can
// be looked at when the call returns. The program itself never waits this way.
bool executeQueryAndWait(ProgramState& state, WindowFeedback& feedback, const QString& statement);
bool rereadResultAndWait(ProgramState& state, WindowFeedback& feedback);
void requeryResultAndWait(ProgramState& state, WindowFeedback& feedback);
// The Execute command's outcome: false when the box held nothing to run.
bool executeQueryBoxAndWait(ProgramState& state, WindowFeedback& feedback, const QString& queryText,
                            const QString& selectedText,
                            std::function<void(const QString&)> addToHistory);
