#pragma once

#include <QSet>
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

// DataFilePath, made unique among the paths of the run so far (used): another table whose name
// gives the same file ("a/b" and "a_b") gets "_2", "_3" ... before the extension.
QString UnusedDataFilePath(const QString& folder, const QString& tableEntry,
                           const QString& extension, const QSet<QString>& used);
