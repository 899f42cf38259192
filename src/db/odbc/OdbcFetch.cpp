#include "OdbcFetch.h"

#include "../ValueText.h"
#include "OdbcDiag.h"
#include "OdbcTypes.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace db {

namespace {
constexpr size_t kArrayBytes = 4 << 20; // row array budget
constexpr SQLULEN kMaxArrayRows = 1024;

QString columnAttribute(const OdbcHandle& stmt, SQLUSMALLINT col, SQLUSMALLINT field) {
    SQLWCHAR buf[512];
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(stmt.get(), col, field, buf, sizeof buf, &len, nullptr)))
        return QString();
    return fromWide(buf, std::min<qsizetype>(len / qsizetype(sizeof(SQLWCHAR)), 511));
}

// "0012.500" -> "12.5", "-0.00" -> "0": decimals in their shortest exact form.
void appendDecimal(ColumnData& d, const char* s, size_t n) {
    std::string& a = d.arena();
    while (n && s[n - 1] == ' ') --n;
    while (n && *s == ' ') ++s, --n;
    const size_t start = a.size();
    bool negative = false;
    if (n && (*s == '-' || *s == '+')) {
        negative = *s == '-';
        ++s, --n;
    }
    const char* dot = static_cast<const char*>(memchr(s, '.', n));
    size_t intLen = dot ? size_t(dot - s) : n;
    size_t fracLen = dot ? n - intLen - 1 : 0;
    const char* frac = dot ? dot + 1 : nullptr;
    while (intLen > 1 && *s == '0') ++s, --intLen;
    while (fracLen && frac[fracLen - 1] == '0') --fracLen;
    const bool zero = (intLen == 0 || (intLen == 1 && *s == '0')) && fracLen == 0;
    if (negative && !zero) a += '-';
    if (intLen == 0)
        a += '0';
    else
        a.append(s, intLen);
    if (fracLen) {
        a += '.';
        a.append(frac, fracLen);
    }
    if (a.size() == start) a += '0';
    d.endText();
}

void appendGuid(ColumnData& d, const char* s, size_t n) {
    std::string& a = d.arena();
    a += '{';
    for (size_t i = 0; i < n; ++i) {
        const char c = s[i];
        a += (c >= 'a' && c <= 'f') ? char(c - 32) : c;
    }
    a += '}';
    d.endText();
}

// Stores one bound or read value; data points at the value, len is its length in bytes.
void appendValue(ColumnData& d, const OdbcBinding& b, const void* data, SQLLEN len) {
    switch (b.cType) {
    case SQL_C_SBIGINT:
        d.appendInt(*static_cast<const SQLBIGINT*>(data));
        return;
    case SQL_C_BIT:
        d.appendInt(*static_cast<const unsigned char*>(data) ? 1 : 0);
        return;
    case SQL_C_DOUBLE:
        d.appendReal(*static_cast<const double*>(data));
        return;
    case SQL_C_TYPE_DATE: {
        const auto* v = static_cast<const SQL_DATE_STRUCT*>(data);
        d.appendInt(packDate(v->year, v->month, v->day));
        return;
    }
    case SQL_C_TYPE_TIME: {
        const auto* v = static_cast<const SQL_TIME_STRUCT*>(data);
        d.appendInt(packTime(v->hour, v->minute, v->second));
        return;
    }
    case SQL_C_TYPE_TIMESTAMP: {
        const auto* v = static_cast<const SQL_TIMESTAMP_STRUCT*>(data);
        d.appendInt(packTimestamp(v->year, v->month, v->day, v->hour, v->minute, v->second));
        return;
    }
    case SQL_C_CHAR: {
        const auto* s = static_cast<const char*>(data);
        if (b.guid)
            appendGuid(d, s, size_t(len));
        else
            appendDecimal(d, s, size_t(len));
        return;
    }
    case SQL_C_WCHAR:
        appendUtf16AsUtf8(d.arena(), static_cast<const char16_t*>(data), size_t(len) / sizeof(SQLWCHAR));
        d.endText();
        return;
    case SQL_C_BINARY:
        d.appendBytes(std::string_view(static_cast<const char*>(data), size_t(len)));
        return;
    }
}

struct BoundColumn {
    OdbcBinding binding;
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<SQLLEN[]> indicators;
};

// Reads a whole value in pieces; out receives its bytes (without terminator).
bool getWhole(const OdbcHandle& stmt, SQLUSMALLINT col, SQLSMALLINT cType, std::string& out, bool& isNull,
              ErrorList& errors) {
    out.clear();
    isNull = false;
    const size_t terminator = cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : (cType == SQL_C_CHAR ? 1 : 0);
    char chunk[16384];
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc = SQLGetData(stmt.get(), col, cType, chunk, sizeof chunk, &ind);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) {
            errors = odbcErrors({&stmt});
            return false;
        }
        if (ind == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        const size_t room = sizeof chunk - terminator;
        size_t got = (ind == SQL_NO_TOTAL || size_t(ind) > room) ? room : size_t(ind);
        if (cType == SQL_C_WCHAR) got -= got % sizeof(SQLWCHAR);
        out.append(chunk, got);
        if (rc == SQL_SUCCESS) return true; // last piece
    }
}

FetchOutcome fetchPiecewise(const OdbcHandle& stmt, ResultData& out, const std::vector<OdbcBinding>& bindings,
                            ErrorList& errors) {
    std::string value;
    const size_t n = out.columns.size();
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt.get());
        if (rc == SQL_NO_DATA) return FetchOutcome::Done;
        if (!SQL_SUCCEEDED(rc)) {
            errors = odbcErrors({&stmt});
            return FetchOutcome::Failed;
        }
        for (size_t i = 0; i < n; ++i) {
            const OdbcBinding& b = bindings[i];
            bool isNull = false;
            if (!getWhole(stmt, SQLUSMALLINT(i + 1), b.cType, value, isNull, errors))
                return FetchOutcome::Failed;
            if (isNull)
                out.data[i].appendNull();
            else
                appendValue(out.data[i], b, value.data(), SQLLEN(value.size()));
        }
        ++out.rows;
    }
}

FetchOutcome fetchBound(const OdbcHandle& stmt, ResultData& out, const std::vector<OdbcBinding>& bindings,
                        ErrorList& errors) {
    const size_t n = out.columns.size();
    size_t rowBytes = 0;
    for (const OdbcBinding& b : bindings) rowBytes += size_t(b.bytesPerRow) + sizeof(SQLLEN);
    const SQLULEN rows = std::clamp<SQLULEN>(kArrayBytes / std::max<size_t>(rowBytes, 1), 1, kMaxArrayRows);

    std::vector<BoundColumn> cols(n);
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> status(rows);
    SQLHSTMT h = stmt.get();
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(rows), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0)))
        return fetchPiecewise(stmt, out, bindings, errors);

    for (size_t i = 0; i < n; ++i) {
        BoundColumn& c = cols[i];
        c.binding = bindings[i];
        c.buffer.reset(new char[size_t(c.binding.bytesPerRow) * rows]);
        c.indicators.reset(new SQLLEN[rows]);
        if (!SQL_SUCCEEDED(SQLBindCol(h, SQLUSMALLINT(i + 1), c.binding.cType, c.buffer.get(),
                                      c.binding.bytesPerRow, c.indicators.get()))) {
            errors = odbcErrors({&stmt});
            return FetchOutcome::Failed;
        }
    }

    FetchOutcome outcome = FetchOutcome::Done;
    for (;;) {
        const SQLRETURN rc = SQLFetch(h);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) {
            errors = odbcErrors({&stmt});
            outcome = FetchOutcome::Failed;
            break;
        }
        for (SQLULEN r = 0; r < fetched && outcome == FetchOutcome::Done; ++r) {
            if (status[r] == SQL_ROW_ERROR) {
                errors = odbcErrors({&stmt});
                outcome = FetchOutcome::Failed;
                break;
            }
            for (size_t i = 0; i < n; ++i) {
                const BoundColumn& c = cols[i];
                const SQLLEN ind = c.indicators[r];
                if (ind == SQL_NULL_DATA) {
                    out.data[i].appendNull();
                    continue;
                }
                const bool variable = c.binding.cType == SQL_C_WCHAR || c.binding.cType == SQL_C_CHAR ||
                                      c.binding.cType == SQL_C_BINARY;
                const SQLLEN room = c.binding.cType == SQL_C_BINARY ? c.binding.bytesPerRow
                                    : c.binding.cType == SQL_C_WCHAR
                                        ? c.binding.bytesPerRow - SQLLEN(sizeof(SQLWCHAR))
                                        : c.binding.bytesPerRow - 1;
                if (variable && (ind == SQL_NO_TOTAL || ind > room)) {
                    outcome = FetchOutcome::Truncated;
                    break;
                }
                appendValue(out.data[i], c.binding, c.buffer.get() + size_t(c.binding.bytesPerRow) * r, ind);
            }
            if (outcome == FetchOutcome::Done) ++out.rows;
        }
        if (outcome != FetchOutcome::Done) break;
    }
    SQLFreeStmt(h, SQL_UNBIND);
    SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(1), 0);
    SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    return outcome;
}
} // namespace

bool describeOdbcResult(const OdbcHandle& stmt, ResultData& out, ErrorList& errors) {
    out.clear();
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &count))) {
        errors = odbcErrors({&stmt});
        return false;
    }
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt.get(), SQLUSMALLINT(i), name, SQLSMALLINT(std::size(name)), &nameLen,
                                           &sqlType, &size, &digits, &nullable))) {
            errors = odbcErrors({&stmt});
            return false;
        }
        ColumnInfo c;
        c.name = fromWide(name, std::min<qsizetype>(nameLen, qsizetype(std::size(name)) - 1));
        describeOdbcColumn(sqlType, size, digits, c);
        c.baseTable = columnAttribute(stmt, SQLUSMALLINT(i), SQL_DESC_BASE_TABLE_NAME);
        c.baseColumn = columnAttribute(stmt, SQLUSMALLINT(i), SQL_DESC_BASE_COLUMN_NAME);
        out.addColumn(std::move(c));
    }
    return true;
}

FetchOutcome fetchOdbcRows(const OdbcHandle& stmt, ResultData& out, bool bulk, ErrorList& errors) {
    std::vector<OdbcBinding> bindings;
    bool anyLong = false;
    for (ColumnInfo& c : out.columns) {
        ColumnInfo copy = c;
        bindings.push_back(describeOdbcColumn(c.sqlType, c.columnSize, c.decimalDigits, copy));
        anyLong = anyLong || bindings.back().longData;
    }
    if (bulk && !anyLong) return fetchBound(stmt, out, bindings, errors);
    return fetchPiecewise(stmt, out, bindings, errors);
}

} // namespace db
