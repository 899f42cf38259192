#pragma once

#include "db/Error.h"

#include <QString>

// The run-time error report: five lines joined by CR LF.
QString ErrorReport(qint32 number, const QString& source, const QString& description);

// The connection dialog's report: the block of the last error of the collection, numbered with
// its position; "" for an empty collection.
QString DatabaseErrorReport(const db::ErrorList& errors);

// The one-line form handed back to the batch log.
QString ErrorReportLine(qint32 number, const QString& source, const QString& description);
