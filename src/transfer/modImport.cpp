#include "modImport.h"

#include "EventPump.h"
#include "RecordImporter.h"
#include "TableTransfer.h"
#include "TargetQuery.h"
#include "TransferErrors.h"
#include "TransferSettings.h"
#include "TransferTexts.h"
#include "common/BlankText.h"
#include "common/ErrorReport.h"
#include "common/FilePaths.h"
#include "db/Recordset.h"
#include "db/StatementText.h"

#include <QFileInfo>

namespace {
db::Error openFailure(const db::Recordset& rs, const db::Connection* connection) {
    return transfer_error::lastOf(rs.Errors(), connection ? connection->Errors() : db::ErrorList{});
}

// The record loop of the interactive import, in one bulk-write scope. False on a failure
// (in error); the pending rows are committed on every way out.
bool importRecords(const db::Recordset& result, db::Connection* connection,
                   TransferFeedback& feedback, std::unique_ptr<RecordSource> records, qint32& n,
                   db::Error& error) {
    int interval = 100;
    if (!readRefreshInterval(interval, error)) return false;
    db::Recordset work;
    RecordImporter importer(work, false);
    importer.open(std::move(records));
    const QString target = importTargetQuery(result.Source());
    // Forward-only: opened only to add rows, it reads none, not even for the whole table,
    // and keeps none of the rows it adds, so it is never re-opened to shed them (a re-open
    // would also commit the open batch every time).
    if (!work.Open(target, connection, db::Recordset::adOpenForwardOnly)) {
        error = openFailure(work, connection);
        return false;
    }
    const bool skipFailures = ReadBoolSetting(keys::ImportErrorHandling);
    importer.setSkipFailures(skipFailures);

    db::BulkWriteScope scope(connection, skipFailures ? db::Connection::BatchFailure::Skip
                                                      : db::Connection::BatchFailure::Stop);
    // Rows the connection held are stored before anything is reported or asked; a row refused
    // then ends the count before it.
    const auto commit = [&] {
        const bool stored = importer.flush(error);
        n = qint32(importer.counted());
        return stored;
    };
    feedback.clearAbortRequest();
    const AbortRequest abort = windowAbort(feedback);
    // A row the database refused is reported with its line.
    const auto failed = [&] {
        error = transfer_error::atLine(error, importer.failedLine());
        return false;
    };
    n = 0;
    for (;;) {
        const RecordImporter::Step step = importer.next(error);
        if (step == RecordImporter::End) break;
        if (step == RecordImporter::Failed) {
            // The rows before the failing one stay. Storing the held ones may find an
            // earlier refused row: error then tells of that one, and it ends the count.
            (void)commit();
            return failed();
        }
        n = qint32(importer.counted());
        // The number of records is not known in advance: the bar cycles.
        feedback.SetProgressValue(n % 101);
        if (n % interval == 0) {
            feedback.ShowRunningCount(QString::number(n) + kRowsHandled);
        }
        feedback.DoEvents();
        const AfterRow after = checkAbort(abort, commit);
        if (after == AfterRow::Failed) return failed();
        if (after == AfterRow::Stop) break;
    }
    // Before the close, which would store the held rows without saying which one failed.
    if (!commit()) return failed();
    if (!scope.end()) {
        error = transfer_error::lastOf(connection ? connection->Errors() : db::ErrorList{});
        return false;
    }
    // Asked while the rows' connection is the target's.
    const QString refused = importer.refusedNote();
    if (!work.Close()) {
        error = openFailure(work, connection);
        return false;
    }
    feedback.SetProgressValue(100);
    if (importer.unclosedQuoteLine() > 0)
        feedback.ShowMessagePanel(kUnclosedQuote.arg(importer.unclosedQuoteLine()), true, false);
    // Rows passed over are lost: said, with their lines, not only left out of the count.
    if (!refused.isEmpty()) feedback.ShowMessagePanel(refused, true, false);
    return true;
}

// What the step that finds the rows gave: a source (null with the error when it could not be
// read), nothing to import (the exit runs), or a message that ended it.
struct Opened {
    enum Way { Rows, Exit, Stop };
    Way way = Exit;
    std::unique_ptr<RecordSource> source;
};
using SourceStep = std::function<Opened(db::Error& error)>;

// ImportText and ImportFile: the file (the dialog only when no path is given).
Opened openFile(TransferFeedback& feedback, const QString& separator, const QString* givenPath,
                db::Error& error) {
    const SettingKey& folderKey =
        isTabSeparator(separator) ? keys::ImportDirTab : keys::ImportDirCsv;
    QString path;
    if (givenPath) {
        path = *givenPath;
    } else {
        const DialogTexts texts = importDialogTexts(separator);
        path = feedback.ShowOpenDialog(texts.title, texts.filter, dialogFolder(folderKey));
    }
    if (trimBlanks(path).isEmpty()) return {};
    // A folder or a FIFO is there, but is no file to read.
    const QFileInfo info(path);
    if (!info.isFile()) {
        feedback.ShowMessagePanel(info.exists() ? kNotAFile : kFileMissing, true, false);
        return {Opened::Stop, nullptr};
    }
    if (!givenPath) WriteSetting(folderKey, FolderOfPath(path));
    bool cancelled = false;
    // A workbook of several sheets asks which, before the busy panel.
    std::unique_ptr<RecordSource> source = openImportSource(
        path, separator,
        [&](const QStringList& sheets) { return feedback.ChooseItem(kSheetChoice, sheets); }, error,
        cancelled);
    if (cancelled) return {};
    return {Opened::Rows, std::move(source)};
}

void runImport(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
               const SourceStep& open, const std::function<void()>& reread) {
    qint32 n = 0;
    // Reading the result again runs its statement: only one that changes nothing.
    const bool rereadable = result && db::readsOnly(result->Source());
    const auto exit = [&] {
        // The import is complete and counted before its result is read again; a cancel of the
        // re-read keeps every row stored.
        feedback.UpdateStatusBar(QString::number(n) + kRowsHandled);
        feedback.HideBusy();
        // It shows its own busy panel while the rows arrive.
        if (rereadable && reread) reread();
    };
    if (!result) {
        feedback.ShowMessagePanel(kOpenResultFirst, true, false);
        return exit();
    }
    if (connection && connection->readOnly()) {
        // Nothing is read or stored, so nothing is read again either.
        feedback.ShowMessagePanel(db::errors::kReadOnlyDatabase, true, false);
        feedback.HideBusy();
        return;
    }
    if (!rereadable) {
        feedback.ShowMessagePanel(kNoImportIntoChange, true, false);
        return exit();
    }
    db::Error error;
    Opened opened = open(error);
    if (opened.way == Opened::Stop) return;
    if (opened.way == Opened::Exit) return exit();
    feedback.UpdateStatusBar(QString::number(n) + kRowsHandled);
    feedback.ShowBusy(QString(), false, true);

    if (!opened.source ||
        !importRecords(*result, connection, feedback, std::move(opened.source), n, error)) {
        feedback.ShowMessagePanel(ErrorReport(error.Number, error.Source, error.Description), true,
                                  false);
        feedback.UpdateStatusBar(kStatusError);
        return exit();
    }
    feedback.HideBusy();
    exit();
}
} // namespace

void ImportText(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                const QString& separator, const std::function<void()>& reread) {
    runImport(
        result, connection, feedback,
        [&](db::Error& error) { return openFile(feedback, separator, nullptr, error); }, reread);
}

void ImportFile(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                const QString& path, const QString& separator,
                const std::function<void()>& reread) {
    runImport(
        result, connection, feedback,
        [&](db::Error& error) { return openFile(feedback, separator, &path, error); }, reread);
}

void ImportRows(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                std::unique_ptr<WorkbookReader> rows, const std::function<void()>& reread) {
    const WindowLock lock(feedback);
    feedback.SetProgressVisible(true);
    runImport(
        result, connection, feedback,
        [&](db::Error&) {
            return Opened{Opened::Rows, sheetSource(std::move(rows))};
        },
        reread);
}

void ImportTextCommand(db::Recordset* result, db::Connection* connection,
                       TransferFeedback& feedback, const QString& separator,
                       const std::function<void()>& reread) {
    const WindowLock lock(feedback);
    feedback.SetProgressVisible(true);
    ImportText(result, connection, feedback, separator, reread);
}

bool ImportTableText(db::Connection& connection, const QString& separator, const QString& tableName,
                     const QString& filePath, qint32& rowsImported, QString& errorText,
                     const TableTransferHooks& hooks) {
    rowsImported = 0;
    errorText.clear();
    db::Recordset work;
    RecordImporter importer(work, false);
    db::Error error;
    const auto fail = [&](const db::Error& e) {
        errorText = transfer_error::reportLine(e);
        return false;
    };
    // A row the database refused is reported with its line.
    const auto failAtLine = [&](const db::Error& e) {
        return fail(transfer_error::atLine(e, importer.failedLine()));
    };
    const std::optional<QString> target = tableTargetQuery(tableName, connection.identifierQuote());
    if (!target) return fail(transfer_error::notATableName(tableName));
    if (connection.readOnly()) return fail(db::errors::readOnlyDatabase(QStringLiteral("Tolvan")));
    bool cancelled = false;
    // A workbook's first sheet: a batch asks nothing.
    std::unique_ptr<RecordSource> source =
        openImportSource(filePath, separator, nullptr, error, cancelled);
    if (!source) return fail(error);
    importer.open(std::move(source));
    if (!work.Open(*target, &connection, db::Recordset::adOpenForwardOnly))
        return fail(openFailure(work, &connection));
    if (hooks.setProgress) hooks.setProgress(0);
    importer.setSkipFailures(ReadBoolSetting(keys::ImportErrorHandling));
    EventPump pump(hooks.doEvents);
    db::BulkWriteScope scope(&connection, importer.skipsFailures()
                                              ? db::Connection::BatchFailure::Skip
                                              : db::Connection::BatchFailure::Stop);
    for (;;) {
        const RecordImporter::Step step = importer.next(error);
        if (step == RecordImporter::End) break;
        if (step == RecordImporter::Failed) {
            // Held rows are stored first: error then tells of an earlier row refused.
            (void)importer.flush(error);
            rowsImported = qint32(importer.counted());
            return failAtLine(error);
        }
        if (step == RecordImporter::Blank) continue;
        rowsImported = qint32(importer.counted());
        if (hooks.setProgress) hooks.setProgress(rowsImported % 101);
        pump();
        const AfterRow after = checkAbort(hooks.abort, [&] { return importer.flush(error); });
        if (after == AfterRow::Failed) {
            rowsImported = qint32(importer.counted());
            return failAtLine(error);
        }
        if (after == AfterRow::Stop) break;
    }
    const bool stored = importer.flush(error);
    rowsImported = qint32(importer.counted());
    if (!stored) return failAtLine(error);
    if (!scope.end()) return fail(transfer_error::lastOf(connection.Errors()));
    const qint64 unclosed = importer.unclosedQuoteLine();
    const QString refused = importer.refusedNote();
    importer.close();
    if (!work.Close()) return fail(openFailure(work, &connection));
    // Stored, with notes: a last value whose quote never closed ran to the end; rows the
    // database refused were passed over.
    QStringList notes;
    if (unclosed > 0) notes << kUnclosedQuote.arg(unclosed);
    if (!refused.isEmpty()) notes << refused;
    errorText = notes.join(QStringLiteral("\r\n"));
    return true;
}
