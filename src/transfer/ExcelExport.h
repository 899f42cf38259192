#pragma once

#include "common/OperationFeedback.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>

// The Excel output: copies the rows of the result on screen (null when none is open; read
// again over connection, as the CSV export reads them) (at most 256 columns) into a new
// workbook, formats it as a bordered table and hands it to the desktop's spreadsheet
// application. workbookFolder (ending with "/") takes the workbook file. Returns the path of
// the workbook handed over, "" when none was.
QString ExportExcel(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                    const QString& workbookFolder);

// The most columns the output copies (A to IV).
inline constexpr int kExcelMaxColumns = 256;
