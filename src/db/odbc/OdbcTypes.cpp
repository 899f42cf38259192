#include "OdbcTypes.h"

#include "../AdoType.h"

namespace db {

namespace {
// Text and binary columns wider than this are read in pieces instead of bound in arrays.
constexpr SQLULEN kMaxBoundChars = 4000;

OdbcBinding fixed(SQLSMALLINT cType, SQLLEN bytes) {
    return {cType, bytes, false, false};
}

OdbcBinding text(ColumnInfo& c, int type, SQLULEN size, bool isLong) {
    c.type = type;
    c.definedSize = isLong || size == 0 ? kLongDefinedSize : qint64(size);
    c.storage = Storage::Text;
    if (isLong || size == 0 || size > kMaxBoundChars) return {SQL_C_WCHAR, 0, true, false};
    // Room for characters outside the BMP (two UTF-16 units each) and the terminator.
    return {SQL_C_WCHAR, SQLLEN((size * 2 + 1) * sizeof(SQLWCHAR)), false, false};
}

OdbcBinding binary(ColumnInfo& c, int type, SQLULEN size, bool isLong) {
    c.type = type;
    c.definedSize = isLong || size == 0 ? kLongDefinedSize : qint64(size);
    c.storage = Storage::Blob;
    if (isLong || size == 0 || size > kMaxBoundChars * 2) return {SQL_C_BINARY, 0, true, false};
    return fixed(SQL_C_BINARY, SQLLEN(size));
}

OdbcBinding integer(ColumnInfo& c, int type, qint64 size, int precision) {
    c.type = type;
    c.definedSize = size;
    c.precision = precision;
    c.storage = Storage::Int;
    return fixed(SQL_C_SBIGINT, sizeof(SQLBIGINT));
}
} // namespace

OdbcBinding describeOdbcColumn(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits,
                               ColumnInfo& c) {
    c.sqlType = sqlType;
    c.columnSize = size;
    c.decimalDigits = digits;
    c.precision = 255;
    c.scale = 255;
    c.intForm = IntForm::Number;
    c.decimalText = false;
    c.padded = false;
    c.singleFloat = false;

    // psqlODBC names the types it does not know (bit strings, JSON, arrays) "unknown" and calls
    // them short VARCHARs: their text, read whole, and an empty field of a file is Null for
    // them, since most of them cannot hold an empty text.
    if (c.typeName == QLatin1String("unknown")) return text(c, adVarWChar, 0, true);
    // psqlODBC calls money a FLOAT and converts it through a double, which cannot hold 18
    // digits: its text instead, made a plain decimal.
    if ((sqlType == SQL_FLOAT || sqlType == SQL_DOUBLE || sqlType == SQL_REAL) &&
        c.typeName.compare(QLatin1String("money"), Qt::CaseInsensitive) == 0) {
        c.type = adCurrency;
        c.definedSize = 8;
        c.precision = 19;
        c.storage = Storage::Text;
        c.decimalText = true;
        OdbcBinding b = fixed(SQL_C_CHAR, 64);
        b.money = true;
        return b;
    }
    // Beyond the signed range: the exact decimal text.
    if (sqlType == SQL_BIGINT && c.isUnsigned) {
        c.type = adUnsignedBigInt;
        c.definedSize = 8;
        c.precision = 20;
        c.storage = Storage::Text;
        c.decimalText = true;
        return fixed(SQL_C_CHAR, 24);
    }

    switch (sqlType) {
    case SQL_INTEGER:
        return integer(c, adInteger, 4, 10);
    case SQL_SMALLINT:
        return integer(c, adSmallInt, 2, 5);
    case SQL_TINYINT:
        return integer(c, adUnsignedTinyInt, 1, 3);
    case SQL_BIGINT:
        return integer(c, adBigInt, 8, 19);
    case SQL_BIT: {
        integer(c, adBoolean, 2, 255);
        c.intForm = IntForm::Bool;
        // As a bit: MariaDB's driver reads a BIT(1) holding 0 as a nonzero integer.
        return fixed(SQL_C_BIT, 1);
    }
    case SQL_REAL:
        c.type = adSingle;
        c.definedSize = 4;
        c.precision = 7;
        c.storage = Storage::Real;
        c.singleFloat = true;
        return fixed(SQL_C_DOUBLE, sizeof(double));
    case SQL_FLOAT:
    case SQL_DOUBLE:
        c.type = adDouble;
        c.definedSize = 8;
        c.precision = 15;
        c.storage = Storage::Real;
        return fixed(SQL_C_DOUBLE, sizeof(double));
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        c.type = adNumeric;
        c.definedSize = 19;
        c.precision = int(size);
        c.scale = digits;
        c.storage = Storage::Text;
        c.decimalText = true;
        // Unconstrained numerics can be very long: read them whole.
        if (size == 0 || size > 100) return {SQL_C_CHAR, 0, true, false};
        return fixed(SQL_C_CHAR, SQLLEN(size + 4));
    case SQL_TYPE_DATE:
    case SQL_DATE:
        c.type = adDBDate;
        c.definedSize = 6;
        c.storage = Storage::Int;
        c.intForm = IntForm::Date;
        return fixed(SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT));
    case SQL_TYPE_TIME:
    case SQL_TIME:
        c.type = adDBTime;
        c.definedSize = 6;
        c.storage = Storage::Int;
        c.intForm = IntForm::Time;
        return fixed(SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT));
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        c.type = adDBTimeStamp;
        c.definedSize = 16;
        c.storage = Storage::Int;
        c.intForm = IntForm::Timestamp;
        return fixed(SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT));
    case SQL_GUID:
        c.type = adGUID;
        c.definedSize = 16;
        c.storage = Storage::Text;
        return {SQL_C_CHAR, 40, false, true};
    case SQL_CHAR:
        c.padded = true;
        return text(c, adChar, size, false);
    case SQL_VARCHAR:
        return text(c, adVarChar, size, false);
    case SQL_LONGVARCHAR:
        return text(c, adLongVarChar, size, true);
    case SQL_WCHAR:
        c.padded = true;
        return text(c, adWChar, size, false);
    case SQL_WVARCHAR:
        return text(c, adVarWChar, size, false);
    case SQL_WLONGVARCHAR:
        return text(c, adLongVarWChar, size, true);
    case SQL_BINARY:
        return binary(c, adBinary, size, false);
    case SQL_VARBINARY:
        return binary(c, adVarBinary, size, false);
    case SQL_LONGVARBINARY:
        return binary(c, adLongVarBinary, size, true);
    default:
        // Intervals and driver-specific types: their text, read whole.
        return text(c, adVarWChar, 0, true);
    }
}

} // namespace db
