#include "ExportAll.h"

#include "BatchFeedback.h"
#include "BatchLine.h"
#include "BatchTexts.h"
#include "ExportAllNames.h"
#include "common/BlankText.h"
#include "transfer/TableTransfer.h"
#include "transfer/TextEncoding.h"
#include "transfer/TextFileWriter.h"
#include "transfer/TransferErrors.h"

#include <QFileInfo>
#include <QSet>

namespace {

struct ExportAllRunner {
    QString delimiter;
    QString extension;
    QString batchFileName;
};

void exportAll(const ExportAllRunner& runner, db::Connection& connection, const QStringList& tables,
               BatchFeedback& feedback) {
    using namespace batchtext;
    BatchRunScope running(feedback);
    const QString typed = JoinedCommandText(feedback.commandText());
    feedback.setCommandText(typed);
    const QString trimmed = trimBlanks(typed);
    if (trimmed.isEmpty()) {
        feedback.AppendLog(kEnterDirectory, QString(), true);
        return;
    }
    if (!QFileInfo(trimmed).isDir()) {
        feedback.AppendLog(kNoSuchDirectory, QString(), true);
        return;
    }
    const QString folder = OutputFolder(typed);
    if (!trimmed.endsWith(QLatin1Char('/'))) feedback.setCommandText(folder);

    BatchStop stop(feedback);
    const TableTransferHooks hooks = transferHooks(feedback, stop);
    QString batchText;
    QSet<QString> used;
    for (const QString& table : tables) {
        if (stop.beforeLine()) {
            feedback.AppendLog(kRestNotRun, QString(), true);
            break;
        }
        const QString path = UnusedDataFilePath(folder, table, runner.extension, used);
        used.insert(path);
        qint32 rows = 0;
        QString errorText;
        const bool ok =
            ExportTableText(connection, runner.delimiter, table, path, rows, errorText, hooks);
        const QString written = path + kTo + QString::number(rows) + kRowsWritten;
        if (ok && stop.stopped()) {
            // A table written in part is left out of the batch file.
            feedback.AppendLog(table, kStopped + written, false);
        } else if (ok) {
            batchText += table + kBatchLineSeparator + path + kCrLf;
            feedback.AppendLog(written, QString(), true);
        } else {
            feedback.AppendLog(table, errorText, false);
        }
    }

    // In the data files' character set, so loading reads it the same way. A batch file that
    // cannot be written is reported: the data files stay, an earlier batch file too.
    const QString batchPath = folder + runner.batchFileName;
    TextFileWriter file;
    db::Error error;
    bool written = file.open(batchPath, error);
    if (written) {
        TextEncoder(localeTextEncoding()).append(batchText + kCrLf, file.buffer());
        written = file.close(error);
    }
    if (!written) feedback.AppendLog(batchPath, transfer_error::reportLine(error), false);
}

} // namespace

void ExportAllCSV(db::Connection& connection, const QStringList& tables, BatchFeedback& feedback) {
    exportAll({QStringLiteral(","), QStringLiteral(".csv"), batchtext::kBatchFileCsv}, connection,
              tables, feedback);
}

void ExportAllTAB(db::Connection& connection, const QStringList& tables, BatchFeedback& feedback) {
    exportAll({QStringLiteral("\t"), QStringLiteral(".tab"), batchtext::kBatchFileTab}, connection,
              tables, feedback);
}
