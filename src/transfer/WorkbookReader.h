#pragma once

#include "db/Error.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

// One cell of a sheet row as the import takes it: nothing, a value's text (UTF-8), or an error
// value ("#N/A") that no column can take.
struct SheetCell {
    enum Kind { Empty, Text, Error };
    Kind kind = Empty;
    std::string text;
};

// Reads the rows of one sheet of a workbook, one row at a time, in the order the file keeps
// them. Opened by openWorkbook.
class WorkbookReader {
public:
    enum Status { Row, End, Failed };

    virtual ~WorkbookReader() = default;
    virtual QStringList sheetNames() const = 0;
    // Starts reading the given sheet (0 is the first); false with the reason.
    virtual bool selectSheet(int index, db::Error& error) = 0;
    // The next row that holds a cell: its number in the sheet (from 1) and its cells from column
    // A to its last cell with a value.
    virtual Status nextRow(qint64& rowNumber, std::vector<SheetCell>& cells, db::Error& error) = 0;
};

// Whether a path names a workbook the import reads (.xlsx, or .xls), by its extension.
bool isWorkbookPath(const QString& path);
// Opens a workbook by its extension; null with the reason when it is none that can be read.
std::unique_ptr<WorkbookReader> openWorkbook(const QString& path, db::Error& error);

// The two formats.
std::unique_ptr<WorkbookReader> openXlsx(const QString& path, db::Error& error);
std::unique_ptr<WorkbookReader> openXls(const QString& path, db::Error& error);
