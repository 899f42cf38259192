#include "HtmlExport.h"

#include "HtmlPageWriter.h"
#include "TemporaryPages.h"
#include "TransferErrors.h"
#include "TransferTexts.h"
#include "WorkRecordset.h"
#include "common/ErrorReport.h"
#include "db/ValueText.h"
#include "options/SettingsStore.h"

#include <QFile>
#include <vector>

namespace {
constexpr qint64 kHeaderEvery = 20;

// Writes the page; on failure error says why and the caller reports it.
bool writePage(db::Recordset& result, db::Connection* connection, TransferFeedback& feedback,
               db::Recordset& fresh, QFile& file, const QStringList& pageFolders,
               db::Error& error) {
    db::Recordset* opened = OpenWorkRecordset(fresh, result, connection, error);
    if (!opened) return false;
    db::Recordset& work = *opened;
    if (!createTemporaryPage(pageFolders, file)) {
        error =
            transfer_error::fileAccess(pageFolders.join(QStringLiteral(", ")), file.errorString());
        return false;
    }
    QStringList names;
    for (int i = 0; i < result.FieldCount(); ++i)
        names << result.Fields(i).Name();
    HtmlPageWriter page(file);
    page.begin(kApplicationName, names);

    const int fields = work.FieldCount();
    // Text columns hold their UTF-8 as stored: written without a detour through UTF-16.
    std::vector<bool> stored(size_t(std::max(fields, 0)));
    for (int col = 0; col < fields; ++col)
        stored[size_t(col)] = work.column(col).storage == db::Storage::Text;
    const qint32 count = work.countRows();
    QString text;
    std::string utf8;
    qint64 r = 0;
    while (!work.Eof()) {
        page.beginRow();
        for (int col = 0; col < fields; ++col) {
            if (work.currentIsNull(col)) {
                page.nullCell();
            } else if (stored[size_t(col)]) {
                page.textCell(work.currentBytes(col));
            } else {
                work.currentTextInto(col, text);
                utf8.clear();
                db::appendUtf16AsUtf8(utf8, reinterpret_cast<const char16_t*>(text.utf16()),
                                      size_t(text.size()));
                page.textCell(utf8);
            }
        }
        page.endRow();
        ++r;
        if (r % kHeaderEvery == 0) page.repeatHeader();
        if (count > 0) feedback.SetProgressValue(int((r - 1) * 100 / count));
        // The window is locked; this only keeps it painted during a long page.
        feedback.DoEvents();
        if (!work.MoveNext()) {
            error = RecordsetFailure(work);
            return false;
        }
        if (page.failed()) break;
    }
    if (!page.finish()) {
        error = transfer_error::writeFailure(file.fileName(), page.errorString());
        return false;
    }
    file.close();
    return true;
}
} // namespace

QString ExportHtml(db::Recordset* result, db::Connection* connection, TransferFeedback& feedback,
                   const QStringList& pageFolders) {
    const WindowLock lock(feedback);
    feedback.SetProgressVisible(true);
    QString written;
    if (!result) {
        feedback.ShowMessagePanel(kNothingToExport, true, false);
    } else if (result->RecordCount() > 0) {
        feedback.ShowBusy(QString(), false, false);
        db::Recordset work;
        QFile file;
        db::Error error;
        if (writePage(*result, connection, feedback, work, file, pageFolders, error)) {
            written = file.fileName();
            if (!feedback.OpenWithDesktop(written))
                feedback.ShowMessagePanel(kNoHtmlHandler + QStringLiteral("\r\n") + written, true,
                                          false);
        } else {
            feedback.ShowMessagePanel(ErrorReport(error.Number, error.Source, error.Description),
                                      true, false);
            feedback.UpdateStatusBar(kStatusError);
        }
        file.close();
        feedback.HideBusy();
    }
    return written;
}
