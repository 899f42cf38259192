#pragma once

#include <QString>
#include <QStringList>

class BatchFeedback;

namespace db {
class Connection;
}

// The export of every table of the table list into one folder, with a batch file that lists
// each exported table and its file for re-import.
void ExportAllCSV(db::Connection& connection, const QStringList& tables, BatchFeedback& feedback);
void ExportAllTAB(db::Connection& connection, const QStringList& tables, BatchFeedback& feedback);
