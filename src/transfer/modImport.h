#pragma once

#include "common/OperationFeedback.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "transfer/WorkbookReader.h"

#include <QString>
#include <functional>
#include <memory>

// The CSV and TAB import into the table behind the result on screen (null when none is open;
// opened again over connection to add rows): asks for a file and adds a row for every record,
// with the cycling progress bar, the status count and the abort question. reread, the
// window's, reads the result again at the end so that the new rows show; not where reading it
// again would change data (the import is refused then).
void ImportText(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                const QString& separator, const std::function<void()>& reread);

// The same for a given file, without the dialog (dropped files).
void ImportFile(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                const QString& path, const QString& separator, const std::function<void()>& reread);

// The same for rows given as cells (pasted from a spreadsheet), with the window locked and
// the progress bar shown meanwhile.
void ImportRows(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                std::unique_ptr<WorkbookReader> rows, const std::function<void()>& reread);

// The menu commands around ImportText: the window locked and the progress bar shown meanwhile.
void ImportTextCommand(db::Recordset* result, db::Connection* connection,
                       TransferFeedback& feedback, const QString& separator,
                       const std::function<void()>& reread);
