#pragma once

class BatchFeedback;

namespace db {
class Connection;
}

// The four line-driven runners: every line "table name, file name" of the command box is
// checked, transferred in CSV or TAB form and logged, one entry per line; a bad or failing
// line never stops the run.
void BatchImportCSV(db::Connection& connection, BatchFeedback& feedback);
void BatchImportTAB(db::Connection& connection, BatchFeedback& feedback);
void BatchExportCSV(db::Connection& connection, BatchFeedback& feedback);
void BatchExportTAB(db::Connection& connection, BatchFeedback& feedback);
