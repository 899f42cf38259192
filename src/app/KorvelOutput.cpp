// The main window's output commands: the Excel workbook, the browser page, the pages' removal
// at close, and opening their files on the desktop.
#include "frmKorvel.h"

#include "transfer/CacheFolder.h"
#include "transfer/DesktopOpen.h"
#include "transfer/ExcelExport.h"
#include "transfer/HtmlExport.h"
#include "transfer/TemporaryPages.h"

#include <QCoreApplication>
#include <QDesktopServices>

namespace {
QStringList pageFolders() {
    return temporaryPageFolders(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}
} // namespace

void frmKorvel::mnuExcel_Click() {
    ExportExcel(resultOnScreen(), connection(), *this, userCacheFolder());
}

void frmKorvel::mnuHTML_Click() {
    ExportHtml(resultOnScreen(), connection(), *this, pageFolders());
}

void frmKorvel::deleteTemporaryPages() {
    DeleteTemporaryPages(pageFolders());
}

bool frmKorvel::OpenWithDesktop(const QString& path) {
    return openWithDefaultApplication(
        path, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}
