#include "OdbcTypes.h"

#include "db/AdoType.h"

#include <algorithm>

namespace db {

namespace {
// Text and binary columns wider than this are read in pieces instead of bound in arrays.
constexpr SQLULEN kMaxBoundChars = 4000;

// What the column's own size decides: nothing, or the storage of a decimal, text or binary.
enum class Sized : quint8 { No, Decimal, Text, Binary };

struct TypeRow {
    SQLSMALLINT sqlType;
    int type; // AdoType
    Sized sized = Sized::No;
    bool isLong = false; // text or binary without a bound width
    Storage storage = Storage::Text;
    qint64 definedSize = 0;
    int precision = 255;
    IntForm intForm = IntForm::Number;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN bytes = 0;
    bool padded = false;
    bool singleFloat = false;
    bool guid = false;
    bool decimalText = false;
};

constexpr TypeRow integerRow(SQLSMALLINT sqlType, int type, qint64 size, int precision) {
    return {sqlType, type,      Sized::No,       false,         Storage::Int,
            size,    precision, IntForm::Number, SQL_C_SBIGINT, sizeof(SQLBIGINT)};
}

constexpr TypeRow realRow(SQLSMALLINT sqlType, int type, qint64 size, int precision,
                          bool singleFloat) {
    TypeRow r{sqlType, type,      Sized::No,       false,        Storage::Real,
              size,    precision, IntForm::Number, SQL_C_DOUBLE, sizeof(double)};
    r.singleFloat = singleFloat;
    return r;
}

constexpr TypeRow dateRow(SQLSMALLINT sqlType, int type, qint64 size, IntForm form,
                          SQLSMALLINT cType, SQLLEN bytes) {
    return {sqlType, type, Sized::No, false, Storage::Int, size, 255, form, cType, bytes};
}

constexpr TypeRow textRow(SQLSMALLINT sqlType, int type, bool isLong, bool padded = false) {
    TypeRow r{sqlType, type, Sized::Text, isLong};
    r.padded = padded;
    return r;
}

constexpr TypeRow binaryRow(SQLSMALLINT sqlType, int type, bool isLong) {
    return {sqlType, type, Sized::Binary, isLong, Storage::Blob};
}

constexpr TypeRow decimalRow(SQLSMALLINT sqlType) {
    TypeRow r{sqlType, adNumeric, Sized::Decimal, false, Storage::Text, 19};
    r.cType = SQL_C_CHAR;
    r.decimalText = true;
    return r;
}

constexpr TypeRow bitRow() {
    // As a bit: MariaDB's driver reads a BIT(1) holding 0 as a nonzero integer.
    return {SQL_BIT, adBoolean, Sized::No,     false,     Storage::Int,
            2,       255,       IntForm::Bool, SQL_C_BIT, 1};
}

constexpr TypeRow guidRow() {
    TypeRow r{SQL_GUID, adGUID, Sized::No, false, Storage::Text, 16};
    r.cType = SQL_C_CHAR;
    r.bytes = 40;
    r.guid = true;
    return r;
}

constexpr TypeRow kTypeRows[] = {
    integerRow(SQL_INTEGER, adInteger, 4, 10),
    integerRow(SQL_SMALLINT, adSmallInt, 2, 5),
    integerRow(SQL_TINYINT, adUnsignedTinyInt, 1, 3),
    integerRow(SQL_BIGINT, adBigInt, 8, 19),
    bitRow(),
    realRow(SQL_REAL, adSingle, 4, 7, true),
    realRow(SQL_FLOAT, adDouble, 8, 15, false),
    realRow(SQL_DOUBLE, adDouble, 8, 15, false),
    decimalRow(SQL_DECIMAL),
    decimalRow(SQL_NUMERIC),
    dateRow(SQL_TYPE_DATE, adDBDate, 6, IntForm::Date, SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)),
    dateRow(SQL_DATE, adDBDate, 6, IntForm::Date, SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)),
    dateRow(SQL_TYPE_TIME, adDBTime, 6, IntForm::Time, SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT)),
    dateRow(SQL_TIME, adDBTime, 6, IntForm::Time, SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT)),
    dateRow(SQL_TYPE_TIMESTAMP, adDBTimeStamp, 16, IntForm::Timestamp, SQL_C_TYPE_TIMESTAMP,
            sizeof(SQL_TIMESTAMP_STRUCT)),
    dateRow(SQL_TIMESTAMP, adDBTimeStamp, 16, IntForm::Timestamp, SQL_C_TYPE_TIMESTAMP,
            sizeof(SQL_TIMESTAMP_STRUCT)),
    guidRow(),
    textRow(SQL_CHAR, adChar, false, true),
    textRow(SQL_VARCHAR, adVarChar, false),
    textRow(SQL_LONGVARCHAR, adLongVarChar, true),
    textRow(SQL_WCHAR, adWChar, false, true),
    textRow(SQL_WVARCHAR, adVarWChar, false),
    textRow(SQL_WLONGVARCHAR, adLongVarWChar, true),
    binaryRow(SQL_BINARY, adBinary, false),
    binaryRow(SQL_VARBINARY, adVarBinary, false),
    binaryRow(SQL_LONGVARBINARY, adLongVarBinary, true),
};

// Intervals and driver-specific types: their text, read whole.
constexpr TypeRow kOtherType = textRow(SQL_UNKNOWN_TYPE, adVarWChar, true);

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

OdbcBinding apply(const TypeRow& r, SQLULEN size, SQLSMALLINT digits, ColumnInfo& c) {
    c.padded = r.padded;
    switch (r.sized) {
    case Sized::Text:
        return text(c, r.type, size, r.isLong);
    case Sized::Binary:
        return binary(c, r.type, size, r.isLong);
    case Sized::Decimal:
    case Sized::No:
        break;
    }
    c.type = r.type;
    c.definedSize = r.definedSize;
    c.precision = r.precision;
    c.storage = r.storage;
    c.intForm = r.intForm;
    c.singleFloat = r.singleFloat;
    c.decimalText = r.decimalText;
    if (r.sized == Sized::Decimal) {
        c.precision = int(size);
        c.scale = digits;
        // Unconstrained numerics can be very long: read them whole.
        if (size == 0 || size > 100) return {r.cType, 0, true, false};
        return fixed(r.cType, SQLLEN(size + 4));
    }
    return {r.cType, r.bytes, false, r.guid};
}
} // namespace

OdbcBinding describeOdbcColumn(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits,
                               ColumnInfo& c) {
    c.native = {sqlType, quint64(size), digits};
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

    const auto* row = std::find_if(std::begin(kTypeRows), std::end(kTypeRows),
                                   [sqlType](const TypeRow& r) { return r.sqlType == sqlType; });
    return apply(row != std::end(kTypeRows) ? *row : kOtherType, size, digits, c);
}

} // namespace db
