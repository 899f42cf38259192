#pragma once

#include "ProgramState.h"
#include "WindowFeedback.h"

#include <QString>
#include <QStringList>

// The separator a dropped file is imported with: "," for a name ending in ".CSV", a tab for
// ".TAB", in any letter case; "" for anything else and for paths of five characters or fewer.
QString dropSeparator(const QString& path);

// Imports one dropped file with the window locked, or refuses it with a message.
void ImportDroppedFile(ProgramState& state, WindowFeedback& feedback, const QString& path);

// The files of one drop, each trimmed of blanks, one after another.
void ImportDroppedFiles(ProgramState& state, WindowFeedback& feedback, const QStringList& paths);
