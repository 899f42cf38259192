#pragma once

#include <QString>

class BatchFeedback;

// "読み込み(&R)": picks a text file in a dialog and puts its lines into the command box. A
// missing file or a read error is reported in a message box; the box then keeps its text.
// programFolder ends in "/"; the dialog starts there when the remembered folder has gone.
void ReadBatchFile(BatchFeedback& feedback, const QString& programFolder);

// The folder the dialog opens in: "" (its own choice) when none was stored ("0"), the
// program's folder when the stored one no longer exists.
QString BatchDialogFolder(const QString& stored, const QString& programFolder);

struct BatchFileContents {
    bool ok = false;
    QString text;        // the command text, when ok
    QString errorReport; // the five-line run-time report, when not
};

// Reads a batch file as the command text: lines end at CR LF, a lone CR or a lone LF; leading
// empty lines are dropped, the others joined with CR LF. The character set is that of the
// delimited files.
BatchFileContents ReadBatchFileText(const QString& path);
