#pragma once

#include "common/OperationFeedback.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>

// The CSV and TAB export of the result on screen (null when none is open): asks for a file,
// writes every row of the result's SQL text read again over connection (the rows the result
// holds, where reading it again would change data), with progress, the status count and the
// abort question.
void ExportText(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                const QString& separator);

// The menu commands around it: the window locked and the progress bar shown meanwhile.
void ExportTextCommand(db::Recordset* result, db::Connection* connection,
                       TransferFeedback& feedback, const QString& separator);
