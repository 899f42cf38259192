#pragma once

#include "AdoType.h"

#include <QString>
#include <QtGlobal>

namespace db {

// How a column's cells are held.
enum class Storage : quint8 {
    Int,  // 64-bit integers (also booleans and packed dates/times)
    Real, // doubles
    Text, // UTF-8 text in one arena
    Blob, // bytes in the arena, shown as upper-case hex
};

// How an Int cell reads as text.
enum class IntForm : quint8 {
    Number,
    Bool,      // True / False
    Date,      // yyyymmdd
    Time,      // hhmmss
    Timestamp, // yyyymmddhhmmss
    Year,      // four digits: MySQL reads "0" as 2000 but "0000" as the year 0
};

struct ColumnInfo {
    QString name;
    int type = 0; // AdoType
    qint64 definedSize = 0;
    int precision = 255;
    int scale = 255;

    // Where the column comes from, when the driver knows; empty for expressions.
    QString baseTable;
    QString baseColumn;
    bool fromExpression = false;

    // The backend's own description of the type, to bind and decode values of it: what the
    // numbers mean is the backend's alone (an ODBC driver's SQL type, size and digits; a
    // server's type id). Nothing outside the backend reads them.
    struct NativeType {
        qint64 id = 0;
        quint64 size = 0;
        qint32 digits = 0;
    } native;
    // The driver's own name of the type ("money"), and whether an integer type is unsigned.
    QString typeName;
    bool isUnsigned = false;

    Storage storage = Storage::Text;
    IntForm intForm = IntForm::Number;
    // Text holding an exact decimal number: sorts numerically.
    bool decimalText = false;
    // Fixed-width text the database fills with blanks: only that filling is not the value.
    bool padded = false;
    // A 4-byte float held as a double: its text is the shortest that reads back as the float.
    bool singleFloat = false;
};

// The parts of a description that the readers of servers' texts set alike.
inline void describeInteger(ColumnInfo& c, int type, qint64 size, int precision) {
    c.type = type;
    c.storage = Storage::Int;
    c.definedSize = size;
    c.precision = precision;
}
inline void describeDateTime(ColumnInfo& c, int type, qint64 size, IntForm form) {
    c.type = type;
    c.storage = Storage::Int;
    c.intForm = form;
    c.definedSize = size;
}
inline void describeReal(ColumnInfo& c, bool single) {
    c.type = single ? adSingle : adDouble;
    c.storage = Storage::Real;
    c.singleFloat = single;
    c.definedSize = single ? 4 : 8;
    c.precision = single ? 7 : 15;
}

} // namespace db
