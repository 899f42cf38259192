#include "WorkbookReader.h"

bool isWorkbookPath(const QString& path) {
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive);
}

std::unique_ptr<WorkbookReader> openWorkbook(const QString& path, db::Error& error) {
    if (path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)) return openXls(path, error);
    return openXlsx(path, error);
}
