#pragma once

#include "common/OperationFeedback.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>
#include <QStringList>

// The browser output: writes the rows of the result on screen (null when none is open; read
// again over connection, as the CSV export reads them) as a page "temp" + N + ".html" in
// the first of pageFolders (each ending with "/") that takes a new file, and opens it with the
// desktop. Returns the page's path, "" when none was written in full.
QString ExportHtml(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                   const QStringList& pageFolders);
