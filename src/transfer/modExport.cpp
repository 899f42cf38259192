#include "modExport.h"

#include "DelimitedFormat.h"
#include "EventPump.h"
#include "TableTransfer.h"
#include "TargetQuery.h"
#include "TextFileWriter.h"
#include "TransferErrors.h"
#include "TransferSettings.h"
#include "TransferTexts.h"
#include "WorkRecordset.h"
#include "common/BlankText.h"
#include "common/ErrorReport.h"
#include "common/FilePaths.h"
#include "db/Recordset.h"

namespace {
int percent(qint64 part, qint64 whole) {
    if (whole <= 0) return 0;
    return int(std::clamp<qint64>(part * 100 / whole, 0, 100));
}

// Writes the rows of an open record set from its current row on; afterRow runs after each
// one and returns false to stop.
template <typename AfterRow>
bool writeRows(db::Recordset& rs, TextFileWriter& file, FieldFormatter& formatter, db::Error& error,
               AfterRow afterRow) {
    while (!rs.Eof()) {
        formatter.appendLine(rs, file.buffer());
        file.endLine();
        if (!file.writeIfFull(error)) return false;
        if (!rs.MoveNext()) {
            error = transfer_error::lastOf(rs.Errors());
            return false;
        }
        if (!afterRow()) break;
    }
    return true;
}
} // namespace

void ExportText(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                const QString& separator) {
    qint32 n = 0;
    TextFileWriter file;
    db::Recordset fresh;

    const auto fail = [&](const db::Error& e) {
        file.abandon();
        QString report = ErrorReport(e.Number, e.Source, e.Description);
        if (!file.keptPath().isEmpty())
            report += QStringLiteral("\r\n") + kRowsKeptIn + file.keptPath();
        feedback.ShowMessagePanel(report, true, false);
        feedback.UpdateStatusBar(kStatusError);
        feedback.HideBusy();
    };

    if (!result) {
        feedback.ShowMessagePanel(kNothingToExport, true, false);
        return;
    }
    if (result->RecordCount() <= 0) return;
    const SettingKey& folderKey =
        isTabSeparator(separator) ? keys::ExportDirTab : keys::ExportDirCsv;
    const DialogTexts texts = dialogTexts(separator);
    const QString path =
        feedback.ShowSaveDialog(texts.title, texts.filter, dialogFolder(folderKey));
    if (path.isEmpty()) return;
    feedback.UpdateStatusBar(QString::number(n) + kRowsHandled);
    feedback.ShowBusy(QString(), false, false);
    if (trimBlanks(path).isEmpty()) {
        // Nothing to write: the busy panel must not stay up over an idle window.
        feedback.HideBusy();
        return;
    }
    // Saved before writing, so the folder is remembered even when the export fails.
    WriteSetting(folderKey, FolderOfPath(path));

    db::Error error;
    int interval = 100;
    if (!readRefreshInterval(interval, error)) return fail(error);
    db::Recordset* opened = OpenWorkRecordset(fresh, *result, connection, error);
    if (!opened) return fail(error);
    db::Recordset& work = *opened;
    if (!file.open(path, error)) return fail(error);

    feedback.clearAbortRequest();
    const AbortRequest abort = windowAbort(feedback);
    feedback.ShowBusy(QString(), false, true);
    const qint32 total = work.countRows();
    qint64 p = 0;
    FieldFormatter formatter(separator, localeTextEncoding());
    const bool written = writeRows(work, file, formatter, error, [&] {
        feedback.DoEvents();
        ++p;
        feedback.SetProgressValue(percent(p, total));
        if (checkAbort(abort) == AfterRow::Stop) return false;
        if (n % interval == 0) {
            feedback.ShowRunningCount(QString::number(n) + kRowsHandled);
        }
        ++n;
        return true;
    });
    if (!written) return fail(error);
    if (!file.close(error)) return fail(error);
    if (!fresh.Close()) return fail(RecordsetFailure(fresh));
    // The rows in the file, also after a stop: the running count showed only multiples.
    feedback.UpdateStatusBar(QString::number(file.linesWritten()) + kRowsHandled);
    feedback.HideBusy();
}

void ExportTextCommand(db::Recordset* result, db::Connection* connection,
                       TransferFeedback& feedback, const QString& separator) {
    const WindowLock lock(feedback);
    feedback.SetProgressVisible(true);
    ExportText(result, connection, feedback, separator);
}

bool ExportTableText(db::Connection& connection, const QString& separator, const QString& tableName,
                     const QString& filePath, qint32& rowsWritten, QString& errorText,
                     const TableTransferHooks& hooks) {
    rowsWritten = 0;
    errorText.clear();
    TextFileWriter file;
    db::Recordset work;
    const auto fail = [&](const db::Error& e) {
        file.abandon();
        errorText = transfer_error::reportLine(e);
        if (!file.keptPath().isEmpty())
            errorText += QLatin1Char(' ') + kRowsKeptIn + file.keptPath();
        // Counted are the lines in the file, not the ones formatted but never written.
        rowsWritten = qint32(file.linesWritten());
        return false;
    };
    db::Error error;
    if (hooks.setProgress) hooks.setProgress(0);
    const std::optional<QString> source = tableSourceQuery(tableName, connection.identifierQuote());
    if (!source) return fail(transfer_error::notATableName(tableName));
    // The table first: a name that cannot be read leaves an earlier file of that name as it was.
    if (!work.Open(*source, &connection, db::Recordset::adOpenForwardOnly))
        return fail(transfer_error::lastOf(work.Errors(), connection.Errors()));
    if (!file.open(filePath, error)) return fail(error);
    const qint32 total = work.countRows();
    FieldFormatter formatter(separator, localeTextEncoding());
    EventPump pump(hooks.doEvents);
    // Every row is written even when the count query failed: the count only drives the bar.
    const bool written = writeRows(work, file, formatter, error, [&] {
        if (hooks.setProgress) hooks.setProgress(percent(rowsWritten, total));
        ++rowsWritten;
        pump();
        // The row is in the file's buffer already: a stop keeps it.
        return checkAbort(hooks.abort) != AfterRow::Stop;
    });
    if (!written) return fail(error);
    if (!work.Close()) return fail(RecordsetFailure(work));
    if (!file.close(error)) return fail(error);
    rowsWritten = qint32(file.linesWritten());
    return true;
}
