#include "ExcelExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ExcelApplication.h"
#include "TransferSettings.h"
#include "TransferTexts.h"
#include "WorkRecordset.h"
#include "common/BlankText.h"
#include "common/ErrorReport.h"
#include "db/SqlText.h"
#include "options/SettingsKeys.h"

#include <algorithm>
#include <filesystem>

namespace {
constexpr int kHeaderColor = 19;

// The text a value is typed as: trimmed of blanks, leading zeros and leading apostrophes kept
// as text. Written into out so that its buffer serves every cell.
void typedText(QStringView value, QString& out) {
    qsizetype first = 0, last = value.size();
    while (first < last && value[first] == QLatin1Char(' '))
        ++first;
    while (last > first && value[last - 1] == QLatin1Char(' '))
        --last;
    const QStringView trimmed = value.sliced(first, last - first);
    out.clear();
    // A leading apostrophe would be taken as the text marker and lost; doubling keeps it. A
    // time of day before ten ("09:05:07") is no number with a leading zero.
    const bool timeOfDay = trimmed.size() >= 8 && trimmed[2] == QLatin1Char(':');
    if ((trimmed.size() > 1 && trimmed.front() == QLatin1Char('0') && !timeOfDay) ||
        trimmed.startsWith(QLatin1Char('\'')))
        out += QLatin1Char('\'');
    out += trimmed;
}

class ExcelRun {
public:
    ExcelRun(db::Recordset& result, db::Connection* connection, TransferFeedback& feedback,
             const QString& folder)
        : m_result(result), m_connection(connection), m_feedback(feedback), m_folder(folder) {}

    // Steps 5 to 14 of the output; false with m_error set on failure. excel stays set while
    // the workbook is still ours to discard.
    bool run(std::unique_ptr<ExcelApplication>& excel, QString& handedOver) {
        db::Recordset fresh;
        db::Recordset* opened = OpenWorkRecordset(fresh, m_result, m_connection, m_error);
        if (!opened) return false;
        db::Recordset& work = *opened;
        const int count = std::min(work.FieldCount(), kExcelMaxColumns);
        const bool header = ReadBoolSetting(keys::ExportField);
        const qint32 records = work.countRows();
        if (qint64(records) + (header ? 1 : 0) > xl::MaxRows) {
            m_error = {xl::ErrorObjectDefined,
                       QStringLiteral("The result has %1 rows; a sheet holds at most %2")
                           .arg(records)
                           .arg(xl::MaxRows),
                       kExcelSource};
            return false;
        }
        qint32 row = 1;
        excel = ExcelApplication::Create(
            m_folder, [this](const QString& path) { return m_feedback.OpenWithDesktop(path); },
            m_error);
        if (!excel) return false;
        if (!excel->WorkbooksAdd() || !excel->Worksheets(QStringLiteral("Sheet1")))
            return failed(*excel);
        if (header) {
            for (int c = 1; c <= count; ++c)
                if (!excel->PutCell(row, c, trimBlanks(m_result.Fields(c - 1).Name())))
                    return failed(*excel);
            const CellRange names{1, 1, row, count};
            if (!excel->SetInteriorColorIndex(names, kHeaderColor) ||
                !excel->SetHorizontalAlignment(names, xl::Center))
                return failed(*excel);
            ++row;
        }
        QString text, typed;
        while (!work.Eof()) {
            for (int c = 1; c <= count; ++c) {
                if (work.currentIsNull(c - 1)) continue;
                work.currentTextInto(c - 1, text);
                typedText(text, typed);
                if (!excel->PutCell(row, c, typed)) return failed(*excel);
            }
            m_feedback.DoEvents();
            if (records > 0) m_feedback.SetProgressValue(int(qint64(row - 1) * 100 / records));
            ++row;
            if (!work.MoveNext()) {
                m_error = RecordsetFailure(work);
                return false;
            }
        }
        if (!fresh.Close()) {
            m_error = RecordsetFailure(fresh);
            return false;
        }
        if (!excel->AutoFitColumns(QStringLiteral("A:IV"))) return failed(*excel);
        const CellRange table{1, 1, row - 1, count};
        for (int edge : {xl::BorderLeft, xl::BorderRight, xl::BorderTop, xl::BorderBottom})
            if (!excel->SetBorderWeight(table, edge, xl::Thin)) return failed(*excel);
        if (!excel->BorderAround(table, xl::Thin) || !excel->SetVisible(true))
            return failed(*excel);
        handedOver = excel->workbookPath();
        excel.reset(); // handed over: the workbook stays open on the desktop
        return true;
    }

    const db::Error& error() const { return m_error; }

private:
    bool failed(const ExcelApplication& excel) {
        m_error = excel.lastError();
        return false;
    }

    db::Recordset& m_result;
    db::Connection* m_connection;
    TransferFeedback& m_feedback;
    QString m_folder;
    db::Error m_error;
};
// The name a workbook nothing could open is offered to be saved under: its table's, where the
// result reads one, else the name it was written under (Book1.xlsx).
QString offeredWorkbookName(const QString& source, const QString& written) {
    QString table = trimBlanks(db::unquoteIdentifier(db::tableOfSelect(source)));
    table.replace(QLatin1Char('/'), QLatin1Char('_'));
    return table.isEmpty() ? QFileInfo(written).fileName() : table + QStringLiteral(".xlsx");
}

// Offers to save a workbook nothing could open, in the export folder; where it ends up, as a
// path.
QString keepWorkbook(const QString& written, const QString& source, TransferFeedback& feedback) {
    QString folder = dialogFolder(keys::ExportDirCsv);
    if (folder.isEmpty()) folder = QDir::homePath();
    const QString chosen =
        feedback.ShowSaveDialog(kSaveWorkbookTitle, kWorkbookFilter,
                                QDir(folder).filePath(offeredWorkbookName(source, written)));
    if (chosen.isEmpty() || QFileInfo(chosen).absoluteFilePath() == written) return written;
    // The file the user chose takes the workbook, as the text exports take theirs; an existing
    // one is replaced in one step once the workbook is beside it, so a failure leaves it as it
    // was.
    const QString beside = chosen + QStringLiteral(".part");
    QFile::remove(beside);
    std::error_code failed;
    if (QFile::copy(written, beside))
        std::filesystem::rename(QFile::encodeName(beside).constData(),
                                QFile::encodeName(chosen).constData(), failed);
    else
        failed = std::make_error_code(std::errc::io_error);
    if (failed) {
        QFile::remove(beside);
        return written;
    }
    QFile::remove(written);
    return chosen;
}
} // namespace

QString ExportExcel(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                    const QString& workbookFolder) {
    std::unique_ptr<ExcelApplication> excel;
    QString handedOver;
    const WindowLock lock(feedback);
    feedback.SetProgressVisible(true);
    if (!result) {
        feedback.ShowMessagePanel(kNothingToExport, true, false);
    } else {
        feedback.ShowBusy(QString(), false, false);
        ExcelRun run(*result, connection, feedback, workbookFolder);
        if (!run.run(excel, handedOver)) {
            if (excel && !excel->unopenedWorkbook().isEmpty()) {
                feedback.HideBusy();
                feedback.ShowMessagePanel(kWorkbookKeptIn + keepWorkbook(excel->unopenedWorkbook(),
                                                                         result->Source(),
                                                                         feedback),
                                          true, false);
            } else {
                const db::Error& e = run.error();
                feedback.ShowMessagePanel(ErrorReport(e.Number, e.Source, e.Description), true,
                                          false);
                feedback.UpdateStatusBar(kStatusError);
            }
        }
        feedback.HideBusy();
    }
    if (excel) {
        excel->CloseWorkbook(false);
        excel->Quit();
        excel.reset();
    }
    return handedOver;
}
