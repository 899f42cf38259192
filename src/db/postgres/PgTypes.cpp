#include "PgTypes.h"

#include "db/AdoType.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace db {

namespace {
// The server's own numbers of the built-in types (pg_type.oid), fixed in every version.
enum PgOid : quint32 {
    kBool = 16,
    kBytea = 17,
    kChar = 18,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kMoney = 790,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestamptz = 1184,
    kTimetz = 1266,
    kNumeric = 1700,
    kUuid = 2950,
};

// A type modifier of a character type holds its length plus 4; -1 when none was given.
constexpr int kTypmodHeader = 4;

void text(ColumnInfo& c, int type, qint64 size) {
    c.type = type;
    c.storage = Storage::Text;
    c.definedSize = size;
}

void appendHexBytes(ColumnData& d, const char* s, size_t n) {
    // The server writes bytea as "\x" and two hex digits a byte (bytea_output = hex).
    thread_local std::string bytes;
    bytes.clear();
    const auto nibble = [](char h) -> int {
        if (h >= '0' && h <= '9') return h - '0';
        if (h >= 'a' && h <= 'f') return h - 'a' + 10;
        if (h >= 'A' && h <= 'F') return h - 'A' + 10;
        return -1;
    };
    if (n < 2 || s[0] != '\\' || s[1] != 'x' || n % 2 != 0) {
        // Not the hex form (a server set to "escape"): the text as it came, never lost.
        if (d.storage() != Storage::Text) d.promoteToText();
        d.appendBytes(std::string_view(s, n));
        return;
    }
    bytes.reserve((n - 2) / 2);
    for (size_t i = 2; i + 1 < n; i += 2) {
        const int hi = nibble(s[i]), lo = nibble(s[i + 1]);
        if (hi < 0 || lo < 0) {
            if (d.storage() != Storage::Text) d.promoteToText();
            d.appendBytes(std::string_view(s, n));
            return;
        }
        bytes += char(hi << 4 | lo);
    }
    d.appendBytes(bytes);
}

void appendAsText(ColumnData& d, const char* s, size_t n) {
    if (d.storage() != Storage::Text) d.promoteToText();
    d.appendBytes(std::string_view(s, n));
}

void appendInteger(ColumnData& d, const char* s, size_t n) {
    qint64 v = 0;
    const auto r = std::from_chars(s, s + n, v);
    if (r.ec == std::errc() && r.ptr == s + n && d.storage() == Storage::Int) return d.appendInt(v);
    appendAsText(d, s, n);
}

void appendReal(ColumnData& d, const char* s, size_t n) {
    const std::string_view t(s, n);
    double v = 0;
    if (t == "Infinity") {
        v = std::numeric_limits<double>::infinity();
    } else if (t == "-Infinity") {
        v = -std::numeric_limits<double>::infinity();
    } else if (t == "NaN") {
        v = std::numeric_limits<double>::quiet_NaN();
    } else {
        const auto r = std::from_chars(s, s + n, v, std::chars_format::general);
        if (r.ec != std::errc() || r.ptr != s + n) return appendAsText(d, s, n);
    }
    if (d.storage() != Storage::Real) return appendAsText(d, s, n);
    d.appendReal(v);
}
} // namespace

void describePgColumn(quint32 oid, int typmod, ColumnInfo& c) {
    c.native = {qint64(oid), quint64(qint64(typmod)), 0};
    c.precision = 255;
    c.scale = 255;
    c.intForm = IntForm::Number;
    c.decimalText = c.padded = c.singleFloat = false;
    const qint64 length = typmod >= kTypmodHeader ? typmod - kTypmodHeader : 0;
    switch (oid) {
    case kBool:
        describeInteger(c, adBoolean, 2, 255);
        c.intForm = IntForm::Bool;
        return;
    case kInt2:
        return describeInteger(c, adSmallInt, 2, 5);
    case kInt4:
        return describeInteger(c, adInteger, 4, 10);
    case kInt8:
        return describeInteger(c, adBigInt, 8, 19);
    case kOid:
        return describeInteger(c, adUnsignedInt, 4, 10);
    case kFloat4:
        return describeReal(c, true);
    case kFloat8:
        return describeReal(c, false);
    case kNumeric:
        text(c, adNumeric, 19);
        c.decimalText = true;
        if (typmod >= kTypmodHeader) {
            c.precision = int(((typmod - kTypmodHeader) >> 16) & 0xffff);
            c.scale = int((typmod - kTypmodHeader) & 0xffff);
        }
        return;
    case kMoney:
        text(c, adCurrency, 8);
        c.precision = 19;
        c.decimalText = true;
        return;
    case kDate:
        return describeDateTime(c, adDBDate, 6, IntForm::Date);
    case kTime:
    case kTimetz:
        return describeDateTime(c, adDBTime, 6, IntForm::Time);
    case kTimestamp:
    case kTimestamptz:
        return describeDateTime(c, adDBTimeStamp, 16, IntForm::Timestamp);
    case kBytea:
        c.type = adLongVarBinary;
        c.storage = Storage::Blob;
        c.definedSize = kLongDefinedSize;
        return;
    case kUuid:
        return text(c, adGUID, 16);
    case kBpchar:
        text(c, adWChar, length > 0 ? length : 1);
        c.padded = true;
        return;
    case kChar:
        return text(c, adWChar, 1);
    case kVarchar:
        return text(c, adVarWChar, length > 0 ? length : kLongDefinedSize);
    case kName:
        return text(c, adVarWChar, 63);
    case kText:
        return text(c, adLongVarWChar, kLongDefinedSize);
    default:
        // Intervals, JSON, XML, arrays, ranges, enums, bit strings, addresses: their text.
        return text(c, adVarWChar, kLongDefinedSize);
    }
}

PgCell pgCellOf(const ColumnInfo& c) {
    switch (quint32(c.native.id)) {
    case kBool:
        return PgCell::Bool;
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return PgCell::Integer;
    case kFloat4:
    case kFloat8:
        return PgCell::Real;
    case kNumeric:
        return PgCell::Decimal;
    case kMoney:
        return PgCell::Money;
    case kDate:
    case kTime:
    case kTimetz:
    case kTimestamp:
    case kTimestamptz:
        return PgCell::Date;
    case kBytea:
        return PgCell::Bytes;
    case kUuid:
        return PgCell::Uuid;
    default:
        return PgCell::Text;
    }
}

void appendPgCell(ColumnData& d, PgCell cell, IntForm form, const char* s, size_t n,
                  MoneyForm money) {
    switch (cell) {
    case PgCell::Bool:
        if (n == 1 && (s[0] == 't' || s[0] == 'f') && d.storage() == Storage::Int)
            return d.appendInt(s[0] == 't' ? 1 : 0);
        return appendAsText(d, s, n);
    case PgCell::Integer:
        return appendInteger(d, s, n);
    case PgCell::Real:
        return appendReal(d, s, n);
    case PgCell::Decimal:
        if (d.storage() != Storage::Text) d.promoteToText();
        return appendDecimalText(d, std::string_view(s, n));
    case PgCell::Money:
        if (d.storage() != Storage::Text) d.promoteToText();
        return appendMoneyText(d, std::string_view(s, n), money);
    case PgCell::Date:
        return appendDateText(d, form, std::string_view(s, n));
    case PgCell::Bytes:
        return appendHexBytes(d, s, n);
    case PgCell::Uuid:
        if (d.storage() != Storage::Text) d.promoteToText();
        return appendGuidText(d, std::string_view(s, n));
    case PgCell::Text:
        break;
    }
    appendAsText(d, s, n);
}

} // namespace db
