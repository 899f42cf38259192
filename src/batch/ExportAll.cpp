#include "ExportAll.h"

#include "BatchFeedback.h"
#include "BatchLine.h"
#include "BatchTexts.h"
#include "BlankText.h"
#include "ExportAllNames.h"
#include "TableTransfer.h"
#include "TextEncoding.h"
#include "TextFileWriter.h"

#include <QFileInfo>

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

    const TableTransferHooks hooks = transferHooks(feedback);
    QString batchText;
    for (const QString& table : tables) {
        const QString path = DataFilePath(folder, table, runner.extension);
        qint32 rows = 0;
        QString errorText;
        if (ExportTableText(connection, runner.delimiter, table, path, rows, errorText, hooks)) {
            batchText += table + kBatchLineSeparator + path + kCrLf;
            feedback.AppendLog(path + kTo + QString::number(rows) + kRowsWritten, QString(), true);
        } else {
            feedback.AppendLog(table, errorText, false);
        }
    }

    // A batch file that cannot be written is not reported; the data files stay. It is in the
    // data files' character set, so loading reads it the same way.
    TextFileWriter file;
    db::Error ignored;
    if (!file.open(folder + runner.batchFileName, ignored)) return;
    TextEncoder(localeTextEncoding()).append(batchText + kCrLf, file.buffer());
    file.close(ignored);
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
