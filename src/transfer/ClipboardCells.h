#pragma once

#include "WorkbookReader.h"

#include <QString>
#include <memory>
#include <vector>

// The cells of a spreadsheet's clipboard text: rows end at CR LF or LF, cells at tabs. A cell
// that starts with a double quote and closes with one before its tab or line end is quoted: it
// may hold tabs and line breaks, and its doubled quotes stand for one. Every other cell is its
// text exactly, blanks included. The line end after the last row, and empty lines after it,
// end the cells.
std::vector<std::vector<QString>> spreadsheetCells(const QString& text);

// Such cells as a sheet for the import: the rows that hold a value, numbered from 1 by their
// line in the cells.
std::unique_ptr<WorkbookReader> cellsSheet(std::vector<std::vector<QString>> rows);
