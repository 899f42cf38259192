#pragma once

#include <QString>

// The names the export of all tables works with.

// The command box text with every line break removed (not replaced).
QString JoinedCommandText(const QString& commandText);

// The output folder typed in the command box (already joined to one line) with its final "/":
// the text trimmed of blanks, with "/" appended unless it already ends in one.
QString OutputFolder(const QString& typed);

// The data file of a table: folder, the entry trimmed of blanks, extension. A "/" or NUL in
// the name becomes "_", so that a table name cannot lead the file out of the folder.
QString DataFilePath(const QString& folder, const QString& tableEntry, const QString& extension);
