#pragma once

#include "db/Error.h"

#include <QString>

// The failures of the transfers' own steps (files, settings, the record format), numbered
// like the run-time errors of the platform the program was designed on.
namespace transfer_error {
db::Error fileNotFound(const QString& path);
// Opening, reading or writing a file failed; detail is the system's reason.
db::Error fileAccess(const QString& path, const QString& detail);
db::Error diskFull(const QString& path);
// A write into path (a file or a folder) failed: "Disk full" when its file system has no
// room left (the file classes do not keep the reason), else the access error with detail.
db::Error writeFailure(const QString& path, const QString& detail);
db::Error badEncoding(const QString& path);
// A workbook the reader cannot take: no zip archive, no workbook in it, broken XML.
db::Error badWorkbook(const QString& path, const QString& detail);
// A cell holding an error value ("#N/A") or no value its row can store.
db::Error badCell(qint64 row, const QString& value);
db::Error badSeparator(const QString& separator);
db::Error overflow();
// A record (starting on line, counted from 1) with more fields than the target's columns.
db::Error tooManyFields(qint64 line, int fields, int columns);
// A text that should name a table holds more than one name (it would run as SQL).
db::Error notATableName(const QString& text);
// The one-line report of the batch log; line breaks of drivers' messages become blanks so
// that the report stays one line.
QString reportLine(const db::Error& e);
// The failure a record set or connection left, or a general one when it left none.
db::Error lastOf(const db::ErrorList& first, const db::ErrorList& second = {});
// A database's error with the line of the file whose row it refused; the transfer's own errors
// name their line already.
db::Error atLine(db::Error error, qint64 line);

} // namespace transfer_error
