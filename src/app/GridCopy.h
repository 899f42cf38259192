#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace db {
class Recordset;
}

// Cells of a result as spreadsheets exchange them: tab-separated text with CR LF line ends,
// a value holding a tab, a line break or a double quote in double quotes with its quotes
// doubled, Null as nothing; and the same cells as an HTML table, which keeps them apart in a
// paste. Whole values, also those the grid shortens.
struct CopiedCells {
    QString text;
    QString html;
};

// rows and columns in the order shown; names first when withNames. step is called after
// each row with the rows done so far; false from it stops the copy, which then gives false.
bool copyCells(const db::Recordset& rs, const std::vector<int>& rows,
               const std::vector<int>& columns, bool withNames,
               const std::function<bool(qint64)>& step, CopiedCells& out);

// The column names alone, as one line of the same text and one row of the same table.
CopiedCells copyColumnNames(const db::Recordset& rs, const std::vector<int>& columns);
