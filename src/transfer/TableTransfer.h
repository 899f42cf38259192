#pragma once

#include "TransferAbort.h"

#include <QString>
#include <functional>

namespace db {
class Connection;
}

// What the batch window lends the non-interactive transfers: its progress bar (0 to 100), a
// way to let its events run and the user's request to stop. Any may be empty.
struct TableTransferHooks {
    std::function<void(int)> setProgress;
    std::function<void()> doEvents;
    AbortRequest abort = {};
};

// Writes every row of a table (one plain or quoted name) to a delimited file. On failure
// errorText holds the one-line report; rowsWritten counts the lines written either way. A stop
// the user confirms ends the file after the rows so far, a success.
bool ExportTableText(db::Connection& connection, const QString& separator, const QString& tableName,
                     const QString& filePath, qint32& rowsWritten, QString& errorText,
                     const TableTransferHooks& hooks = {});

// Adds one row to a table (one plain or quoted name) for every record of a delimited file.
// On success errorText is empty or holds a note (a last value whose quote never closed). A
// stop the user confirms ends it after the rows so far, stored and counted, a success.
bool ImportTableText(db::Connection& connection, const QString& separator, const QString& tableName,
                     const QString& filePath, qint32& rowsImported, QString& errorText,
                     const TableTransferHooks& hooks = {});
