#pragma once

#include "CellSpool.h"
#include "SheetFormat.h"

#include <QString>
#include <vector>

// Writes a one-sheet workbook ("Sheet1") to path with libxlsxwriter in its constant-memory mode:
// the cells as spooled (row by row), each with the look the range formats give it (empty cells
// inside a formatted range included), and the column widths (1-based, 0 for the default).
// scratchFolder takes the library's temporary files. False with a reason on failure; the
// caller removes what was written.
bool writeXlsx(const QString& path, const QString& scratchFolder, CellSpool* cells,
               const std::vector<RangeFormat>& formats, const std::vector<int>& widths,
               QString& error);

// Whether the file can show a border weight or a horizontal alignment of the automation interface.
bool isSupportedBorderWeight(int weight);
bool isSupportedAlignment(int value);
