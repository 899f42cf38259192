#include "FileDrop.h"

#include "TransferTexts.h"
#include "WorkbookReader.h"
#include "modImport.h"

namespace {
constexpr qsizetype kShortestPath = 6;
}

QString dropSeparator(const QString& path) {
    if (path.size() < kShortestPath) return QString();
    // A workbook is read as its cells; the separator plays no part.
    if (isWorkbookPath(path)) return kComma;
    const QString extension = path.right(4).toUpper();
    if (extension == QLatin1String(".CSV")) return kComma;
    if (extension == QLatin1String(".TAB")) return kTab;
    return QString();
}

void ImportDroppedFile(db::Recordset* result, db::Connection* connection,
                       TransferFeedback& feedback, const QString& path,
                       const std::function<void()>& reread) {
    const WindowLock lock(feedback);
    feedback.SetProgressVisible(true);
    const QString separator = dropSeparator(path);
    if (separator.isEmpty())
        feedback.ShowMessagePanel(kDropRefused, true, false);
    else
        ImportFile(result, connection, feedback, path, separator, reread);
}
