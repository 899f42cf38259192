#include "TransferErrors.h"

#include "TransferTexts.h"
#include "common/ErrorReport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

namespace transfer_error {
namespace {
const QString kSource = QStringLiteral("Tolvan");
}

db::Error fileNotFound(const QString& path) {
    return {53, QStringLiteral("File not found: %1").arg(path), kSource};
}

db::Error fileAccess(const QString& path, const QString& detail) {
    return {75, QStringLiteral("Path/File access error: %1: %2").arg(path, detail), kSource};
}

db::Error diskFull(const QString& path) {
    return {61, QStringLiteral("Disk full: %1").arg(path), kSource};
}

db::Error writeFailure(const QString& path, const QString& detail) {
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() <= 0) return diskFull(path);
    return fileAccess(path, detail);
}

db::Error badEncoding(const QString& path) {
    return {5, QStringLiteral("The file is neither UTF-8 nor Shift_JIS (CP932) text: %1").arg(path),
            kSource};
}

db::Error badWorkbook(const QString& path, const QString& detail) {
    return {321, QStringLiteral("Invalid file format: %1: %2").arg(path, detail), kSource};
}

db::Error badCell(qint64 row, const QString& value) {
    return {13, kAtLine.arg(row) + kBadCellValue.arg(value), kSource};
}

db::Error badSeparator(const QString& separator) {
    return {5, QStringLiteral("Invalid separator: \"%1\"").arg(separator), kSource};
}

db::Error overflow() {
    return {6, QStringLiteral("Overflow"), kSource};
}

db::Error tooManyFields(qint64 line, int fields, int columns) {
    // The number of the error the platform gave for a field beyond the last.
    return {3265, kTooManyFields.arg(line).arg(fields).arg(columns), kSource};
}

db::Error notATableName(const QString& text) {
    return {5, QStringLiteral("Not a table name: %1").arg(text), kSource};
}

QString reportLine(const db::Error& e) {
    static const QRegularExpression lineBreaks(QStringLiteral("\r\n|\r|\n"));
    return ErrorReportLine(e.Number, e.Source,
                           QString(e.Description).replace(lineBreaks, QStringLiteral(" ")));
}

db::Error atLine(db::Error error, qint64 line) {
    if (line > 0 && error.Source != kSource)
        error.Description = kAtLine.arg(line) + error.Description;
    return error;
}

db::Error lastOf(const db::ErrorList& first, const db::ErrorList& second) {
    if (!first.empty()) return first.front();
    if (!second.empty()) return second.front();
    return {db::ErrorNumber::Fail, QStringLiteral("Unspecified error"), kSource};
}
} // namespace transfer_error
