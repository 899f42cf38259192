// The main window's output commands: the Excel workbook, the browser page, the pages' removal
// at close, and opening their files on the desktop.
#include "frmKorvel.h"

#include "CacheFolder.h"
#include "DesktopOpen.h"
#include "ExcelExport.h"
#include "HtmlExport.h"
#include "TemporaryPages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>

namespace {
QStringList pageFolders() {
    return temporaryPageFolders(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

// Locking the window takes the focus from the control that had it; it gets it back after.
template <typename Output> void keepingFocus(Output output) {
    const QPointer<QWidget> had = QApplication::focusWidget();
    output();
    if (had && had->isEnabled()) had->setFocus();
}
} // namespace

void frmKorvel::mnuExcel_Click() {
    keepingFocus([this] { ExportExcel(m_state, *this, userCacheFolder()); });
}

void frmKorvel::mnuHTML_Click() {
    keepingFocus([this] { ExportHtml(m_state, *this, pageFolders()); });
}

void frmKorvel::deleteTemporaryPages() {
    DeleteTemporaryPages(pageFolders());
}

bool frmKorvel::OpenWithDesktop(const QString& path) {
    return openWithDefaultApplication(
        path, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}
