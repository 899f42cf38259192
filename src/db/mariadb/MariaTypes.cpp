#include "MariaTypes.h"

#include "db/AdoType.h"
#include "db/TextCells.h"

#include <charconv>
#include <mysql.h>

namespace db {

namespace {
// The character set of bytes: binary strings and blobs.
constexpr unsigned int kBinaryCharset = 63;

// Characters of a text field: the server gives its width in bytes.
qint64 characters(const MYSQL_FIELD& f) {
    const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(f.charsetnr);
    const unsigned int perChar = cs && cs->char_maxlen > 0 ? cs->char_maxlen : 1;
    return qint64(f.length / perChar);
}

bool isLongType(enum_field_types t) {
    return t == MYSQL_TYPE_TINY_BLOB || t == MYSQL_TYPE_MEDIUM_BLOB || t == MYSQL_TYPE_LONG_BLOB ||
           t == MYSQL_TYPE_BLOB || t == MYSQL_TYPE_JSON || t == MYSQL_TYPE_GEOMETRY;
}

void appendAsText(ColumnData& d, const char* s, size_t n) {
    if (d.storage() != Storage::Text) d.promoteToText();
    d.appendBytes(std::string_view(s, n));
}
} // namespace

void describeMariaField(const MYSQL_FIELD& f, ColumnInfo& c) {
    c.native = {qint64(f.type), quint64(f.flags), qint32(f.length)};
    c.precision = 255;
    c.scale = 255;
    c.intForm = IntForm::Number;
    c.decimalText = c.padded = c.singleFloat = false;
    c.isUnsigned = (f.flags & UNSIGNED_FLAG) != 0;
    switch (f.type) {
    // The types the ODBC way gives these columns, whatever their sign: the values are held
    // whole either way.
    case MYSQL_TYPE_TINY:
        return describeInteger(c, adUnsignedTinyInt, 1, 3);
    case MYSQL_TYPE_SHORT:
        return describeInteger(c, adSmallInt, 2, 5);
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG:
        return describeInteger(c, adInteger, 4, 10);
    case MYSQL_TYPE_LONGLONG:
        if (c.isUnsigned) {
            // Beyond the signed range: the exact decimal text.
            c.type = adUnsignedBigInt;
            c.definedSize = 8;
            c.precision = 20;
            c.storage = Storage::Text;
            c.decimalText = true;
            return;
        }
        return describeInteger(c, adBigInt, 8, 19);
    case MYSQL_TYPE_YEAR:
        describeInteger(c, adSmallInt, 2, 4);
        // Four digits, or the year 0 would read back as 2000.
        c.intForm = IntForm::Year;
        c.typeName = QStringLiteral("year");
        return;
    case MYSQL_TYPE_FLOAT:
        return describeReal(c, true);
    case MYSQL_TYPE_DOUBLE:
        return describeReal(c, false);
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        c.type = adNumeric;
        c.storage = Storage::Text;
        c.decimalText = true;
        c.definedSize = 19;
        c.scale = int(f.decimals);
        // The width counts the sign and the point.
        c.precision = int(f.length) - (c.isUnsigned ? 0 : 1) - (f.decimals > 0 ? 1 : 0);
        return;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
        return describeDateTime(c, adDBDate, 6, IntForm::Date);
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_TIME2:
        return describeDateTime(c, adDBTime, 6, IntForm::Time);
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_DATETIME2:
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_TIMESTAMP2:
        return describeDateTime(c, adDBTimeStamp, 16, IntForm::Timestamp);
    case MYSQL_TYPE_BIT:
        if (f.length <= 1) {
            describeInteger(c, adBoolean, 2, 255);
            c.intForm = IntForm::Bool;
            return;
        }
        // Wider bit fields are their bytes, as the ODBC driver gives them.
        c.type = adBinary;
        c.storage = Storage::Blob;
        c.definedSize = qint64((f.length + 7) / 8);
        return;
    default:
        break;
    }
    const bool isLong = isLongType(f.type);
    if (f.charsetnr == kBinaryCharset && f.type != MYSQL_TYPE_NULL) {
        c.storage = Storage::Blob;
        c.type = isLong ? adLongVarBinary : f.type == MYSQL_TYPE_STRING ? adBinary : adVarBinary;
        c.definedSize = isLong ? kLongDefinedSize : qint64(f.length);
        return;
    }
    c.storage = Storage::Text;
    if (isLong) {
        c.type = adLongVarWChar;
        c.definedSize = kLongDefinedSize;
    } else if (f.type == MYSQL_TYPE_STRING && !(f.flags & (ENUM_FLAG | SET_FLAG))) {
        c.type = adWChar;
        c.definedSize = std::max<qint64>(characters(f), 1);
        c.padded = true;
    } else {
        c.type = adVarWChar;
        const qint64 n = characters(f);
        c.definedSize = n > 0 ? n : kLongDefinedSize;
    }
}

MariaCell mariaCellOf(const ColumnInfo& c) {
    switch (enum_field_types(c.native.id)) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_YEAR:
        return MariaCell::Integer;
    case MYSQL_TYPE_LONGLONG:
        return c.storage == Storage::Int ? MariaCell::Integer : MariaCell::Decimal;
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
        return MariaCell::Real;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        return MariaCell::Decimal;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_TIME2:
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_DATETIME2:
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_TIMESTAMP2:
        return MariaCell::Date;
    case MYSQL_TYPE_BIT:
        return c.storage == Storage::Int ? MariaCell::Bit : MariaCell::Bytes;
    default:
        return c.storage == Storage::Blob ? MariaCell::Bytes : MariaCell::Text;
    }
}

void appendMariaCell(ColumnData& d, MariaCell cell, IntForm form, const char* s, size_t n) {
    switch (cell) {
    case MariaCell::Integer: {
        qint64 v = 0;
        const auto r = std::from_chars(s, s + n, v);
        if (r.ec == std::errc() && r.ptr == s + n && d.storage() == Storage::Int)
            return d.appendInt(v);
        return appendAsText(d, s, n);
    }
    case MariaCell::Real: {
        double v = 0;
        const auto r = std::from_chars(s, s + n, v, std::chars_format::general);
        if (r.ec == std::errc() && r.ptr == s + n && d.storage() == Storage::Real)
            return d.appendReal(v);
        return appendAsText(d, s, n);
    }
    case MariaCell::Decimal:
        if (d.storage() != Storage::Text) d.promoteToText();
        return appendDecimalText(d, std::string_view(s, n));
    case MariaCell::Date:
        return appendDateText(d, form, std::string_view(s, n));
    case MariaCell::Bit: {
        // The bits come as bytes, the highest first.
        bool set = false;
        for (size_t i = 0; i < n; ++i)
            set = set || s[i] != 0;
        if (d.storage() == Storage::Int) return d.appendInt(set ? 1 : 0);
        return appendAsText(d, set ? "1" : "0", 1);
    }
    case MariaCell::Bytes:
        if (d.storage() == Storage::Blob) return d.appendBytes(std::string_view(s, n));
        return appendAsText(d, s, n);
    case MariaCell::Text:
        break;
    }
    appendAsText(d, s, n);
}

} // namespace db
