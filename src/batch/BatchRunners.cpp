#include "BatchRunners.h"

#include "BatchFeedback.h"
#include "BatchLine.h"
#include "BatchTexts.h"
#include "common/BlankText.h"
#include "transfer/TableTransfer.h"

#include <QFileInfo>

namespace {

struct LineRunner {
    QString delimiter;
    bool import;
    QString successTail;
};

void runLines(const LineRunner& runner, db::Connection& connection, BatchFeedback& feedback) {
    using namespace batchtext;
    BatchRunScope running(feedback);
    const QString text = feedback.commandText();
    if (trimBlanks(text).isEmpty()) {
        feedback.AppendLog(kEnterCommands, QString(), true);
        return;
    }
    BatchStop stop(feedback);
    const TableTransferHooks hooks = transferHooks(feedback, stop);
    BatchLineReader lines(text);
    while (!lines.atEnd()) {
        if (stop.beforeLine()) {
            // Said once, when a line that would have run is left.
            while (!lines.atEnd()) {
                if (ParseBatchLine(lines.next()).check == BatchLineCheck::Empty) continue;
                feedback.AppendLog(kRestNotRun, QString(), true);
                break;
            }
            break;
        }
        const BatchLine line = ParseBatchLine(lines.next());
        // Lines that never reach a transfer must still let the window paint.
        feedback.doEvents();
        if (line.check == BatchLineCheck::Empty) continue;
        if (line.check != BatchLineCheck::Ok) {
            feedback.AppendLog(line.line, BatchLineDetail(line.check), false);
            continue;
        }
        if (runner.import && !QFileInfo(line.fileName).isFile()) {
            feedback.AppendLog(line.line, kNoSuchFile, false);
            continue;
        }
        qint32 rows = 0;
        QString errorText;
        const bool ok = runner.import
                            ? ImportTableText(connection, runner.delimiter, line.tableName,
                                              line.fileName, rows, errorText, hooks)
                            : ExportTableText(connection, runner.delimiter, line.tableName,
                                              line.fileName, rows, errorText, hooks);
        const QString stored = (runner.import ? line.tableName : line.fileName) + kTo +
                               QString::number(rows) + runner.successTail;
        if (ok && stop.stopped()) {
            // The rows counted are those stored (or in the file) when it stopped.
            feedback.AppendLog(line.line, kStopped + stored, false);
            if (!errorText.isEmpty())
                feedback.AppendLog(line.fileName + QStringLiteral(": ") + errorText, QString(),
                                   true);
        } else if (ok) {
            feedback.AppendLog(stored, QString(), true);
            // A note on a transfer that went through (an unclosed quote), as an entry of its
            // own: the success form shows no detail.
            if (!errorText.isEmpty())
                feedback.AppendLog(line.fileName + QStringLiteral(": ") + errorText, QString(),
                                   true);
        } else {
            feedback.AppendLog(line.line, errorText, false);
        }
    }
}

} // namespace

void BatchImportCSV(db::Connection& connection, BatchFeedback& feedback) {
    runLines({kComma, true, batchtext::kRowsAdded}, connection, feedback);
}

void BatchImportTAB(db::Connection& connection, BatchFeedback& feedback) {
    runLines({kTab, true, batchtext::kRowsAddedTab}, connection, feedback);
}

void BatchExportCSV(db::Connection& connection, BatchFeedback& feedback) {
    runLines({kComma, false, batchtext::kRowsWritten}, connection, feedback);
}

void BatchExportTAB(db::Connection& connection, BatchFeedback& feedback) {
    runLines({kTab, false, batchtext::kRowsWritten}, connection, feedback);
}
