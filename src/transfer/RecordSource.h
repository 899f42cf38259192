#pragma once

#include "WorkbookReader.h"
#include "db/Error.h"
#include "db/Value.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Where the records of an import come from, one at a time: a delimited text file, or one
// sheet of a workbook (each row with a value a record, the cells its fields by position).
class RecordSource {
public:
    enum Status { Record, Blank, End, ReadFailed };

    virtual ~RecordSource() = default;
    // Reads the next record; error tells why reading failed.
    virtual Status next(db::Error& error) = 0;
    virtual int fieldCount() const = 0;
    // Field k's value for a column of that type. False when the field holds nothing a row can
    // store (a sheet's error cell), with the field's own text in refusal.
    virtual bool value(int k, int type, db::Value& out, QString& refusal) = 0;
    // The record ended with a separator: the field after it is Null.
    virtual bool endsWithSeparator() const { return false; }
    // The file's line, or the sheet's row, the record starts on (from 1).
    virtual qint64 recordLine() const = 0;
    // The line on which a quote that the end of the file closed was opened; 0 when none was.
    virtual qint64 unclosedQuoteLine() const { return 0; }
};

// A delimited file, its encoding decided by its bytes.
std::unique_ptr<RecordSource> openDelimitedSource(const QString& path, const QString& separator,
                                                  db::Error& error);
// The selected sheet of a workbook. An empty cell, or one holding the empty text, is the empty
// string for the text types and Null for every other type.
std::unique_ptr<RecordSource> sheetSource(std::unique_ptr<WorkbookReader> workbook);

// The records of a file to import: a workbook's sheet (by its extension), else delimited text.
// chooseSheet picks one of several sheets by its index, or -1 for none (cancelled is set);
// without it the first sheet is read. Null with error when the file cannot be read.
std::unique_ptr<RecordSource>
openImportSource(const QString& path, const QString& separator,
                 const std::function<int(const QStringList& sheets)>& chooseSheet, db::Error& error,
                 bool& cancelled);

// A separator the reader can split on: one ASCII character that is no quote, blank or line end.
bool isUsableSeparator(const QString& separator);
