#include "OdbcFetch.h"

#include "OdbcDiag.h"
#include "OdbcTypes.h"
#include "db/ValueText.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace db {

namespace {
constexpr size_t kArrayBytes = 4 << 20; // row array budget
constexpr SQLULEN kMaxArrayRows = 1024;
// Room for the text of a date, time or timestamp with a fraction, a zone or an era.
constexpr size_t kDateChars = 64;

QString columnAttribute(const OdbcHandle& stmt, SQLUSMALLINT col, SQLUSMALLINT field) {
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(stmt.get(), col, field, buf, sizeof buf, &len, nullptr)))
        return QString();
    return fromWideBuffer(buf, qsizetype(std::size(buf)));
}

// "0012.500" -> "12.5", "-0.00" -> "0": decimals in their shortest exact form.
void appendDecimal(ColumnData& d, const char* s, size_t n) {
    ColumnData::Arena& a = d.arena();
    while (n && s[n - 1] == ' ')
        --n;
    while (n && *s == ' ')
        ++s, --n;
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
    while (intLen > 1 && *s == '0')
        ++s, --intLen;
    while (fracLen && frac[fracLen - 1] == '0')
        --fracLen;
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

// "$1,234.50", "-$0.01", "(¥1,235)", "1.234,50 €", "د.ب. 1,234.500-". Only a "." or ","
// between two digits separates (a currency sign may hold dots). Without the session's form,
// or where it does not fit the text (the locale changed since), the point is the last
// separator when another kind precedes it, or when it alone stands and is not followed by a
// group of three.
std::string moneyAsDecimal(std::string_view s, MoneyForm form) {
    struct Separator {
        size_t at; // digits before it
        char c;
        size_t run; // digits after it, up to the next other character
    };
    std::string digits;
    std::vector<Separator> separators;
    bool negative = false;
    const auto isDigit = [&](size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(i)) {
            digits += c;
        } else if (c == '-' || c == '(') {
            negative = true;
        } else if ((c == '.' || c == ',') && i > 0 && isDigit(i - 1) && isDigit(i + 1)) {
            size_t run = 0;
            while (isDigit(i + 1 + run))
                ++run;
            separators.push_back({digits.size(), c, run});
        }
    }
    const bool allGroups = std::all_of(separators.begin(), separators.end(),
                                       [](const Separator& g) { return g.run == 3; });
    size_t point = std::string::npos;
    const Separator* last = separators.empty() ? nullptr : &separators.back();
    const bool lastEnds = last && last->at + last->run == digits.size();
    if (form.scale == 0 && allGroups) {
        // No decimals in this locale: every separator groups.
    } else if (form.scale > 0 && lastEnds && last->c == form.point &&
               last->run == size_t(form.scale)) {
        point = last->at;
    } else if (last) {
        const bool twoKinds = std::any_of(separators.begin(), separators.end(),
                                          [&](const Separator& g) { return g.c != last->c; });
        if (twoKinds || (separators.size() == 1 && last->run != 3)) point = last->at;
    }
    std::string text = negative ? "-" : "";
    if (point == std::string::npos) {
        text += digits;
    } else {
        text.append(digits, 0, point);
        text += '.';
        text.append(digits, point, std::string::npos);
    }
    return text;
}

void appendMoney(ColumnData& d, const char* s, size_t n, MoneyForm form) {
    const std::string text = moneyAsDecimal(std::string_view(s, n), form);
    appendDecimal(d, text.data(), text.size());
}

void appendGuid(ColumnData& d, const char* s, size_t n) {
    ColumnData::Arena& a = d.arena();
    a += '{';
    for (size_t i = 0; i < n; ++i) {
        const char c = s[i];
        a += (c >= 'a' && c <= 'f') ? char(c - 32) : c;
    }
    a += '}';
    d.endText();
}

// A date, time or timestamp as the driver writes it. Where the packed form holds it exactly
// (years 1 to 9999, no fraction, no zone) it is packed; otherwise its text is kept: the date
// form with the fraction and the offset the database gave ("2019/10/27 00:30:00.123456+02"),
// or, for what that form cannot hold, the database's own text ("4713-01-01 BC", "infinity",
// "838:59:59", and MDBTools' "1900-01-00 00:00:00" for dates it cannot read).
class DateText {
public:
    explicit DateText(std::string_view t) : m_t(t) {}

    bool pack(IntForm form, qint64& packed) const {
        size_t at = 0;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        if (form != IntForm::Time) {
            if (!date(at, y, mo, d)) return false;
            if (at == m_t.size() && form == IntForm::Date) {
                packed = packDate(y, mo, d);
                return true;
            }
            if (form == IntForm::Date || at == m_t.size()) {
                if (at != m_t.size()) return false;
                packed = packTimestamp(y, mo, d, 0, 0, 0);
                return true;
            }
            if (m_t[at++] != ' ') return false;
        }
        if (!time(at, h, mi, sec) || !zeroFraction(at) || at != m_t.size()) return false;
        packed = form == IntForm::Time ? packTime(h, mi, sec) : packTimestamp(y, mo, d, h, mi, sec);
        return true;
    }

    // The text to keep: the date part in the date form where the rest is a time with a
    // fraction or an offset, the driver's text otherwise.
    std::string kept() const {
        std::string out(m_t);
        size_t at = 0;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        if (!date(at, y, mo, d)) return out;
        if (at != m_t.size()) {
            if (m_t[at++] != ' ' || !time(at, h, mi, sec)) return out;
            if (at < m_t.size() && m_t[at] == '.') {
                ++at;
                while (at < m_t.size() && digit(m_t[at]))
                    ++at;
            }
            if (at < m_t.size() && (m_t[at] == '+' || m_t[at] == '-')) {
                ++at;
                while (at < m_t.size() && (digit(m_t[at]) || m_t[at] == ':'))
                    ++at;
            }
            if (at != m_t.size()) return out;
        }
        out[4] = out[7] = '/';
        return out;
    }

private:
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    bool number(size_t& at, size_t digits, int& v) const {
        if (at + digits > m_t.size()) return false;
        v = 0;
        for (size_t k = 0; k < digits; ++k) {
            if (!digit(m_t[at + k])) return false;
            v = v * 10 + (m_t[at + k] - '0');
        }
        at += digits;
        return true;
    }
    bool date(size_t& at, int& y, int& mo, int& d) const {
        return number(at, 4, y) && at < m_t.size() && m_t[at++] == '-' && number(at, 2, mo) &&
               at < m_t.size() && m_t[at++] == '-' && number(at, 2, d) &&
               (at == m_t.size() || !digit(m_t[at])) && y >= 1 && QDate::isValid(y, mo, d);
    }
    bool time(size_t& at, int& h, int& mi, int& sec) const {
        return number(at, 2, h) && at < m_t.size() && m_t[at++] == ':' && number(at, 2, mi) &&
               at < m_t.size() && m_t[at++] == ':' && number(at, 2, sec) &&
               (at == m_t.size() || !digit(m_t[at])) && QTime::isValid(h, mi, sec);
    }
    bool zeroFraction(size_t& at) const {
        if (at == m_t.size() || m_t[at] != '.') return true;
        for (++at; at < m_t.size() && digit(m_t[at]); ++at)
            if (m_t[at] != '0') return false;
        return true;
    }

    std::string_view m_t;
};

} // namespace

bool packableDateText(std::string_view text, IntForm form) {
    qint64 packed = 0;
    return DateText(text).pack(form, packed);
}

namespace {
void appendDateText(ColumnData& d, IntForm form, std::string_view text) {
    const DateText t(text);
    qint64 packed = 0;
    const bool packs = t.pack(form, packed);
    if (packs && d.storage() == Storage::Int) return d.appendInt(packed);
    if (d.storage() != Storage::Text) d.promoteToText();
    if (packs) {
        char buf[32];
        d.appendBytes(std::string_view(buf, intChars(packed, form, buf)));
    } else {
        d.appendBytes(t.kept());
    }
}

// A number the driver gave as text, stored as the number it is; a text that is none stays text.
void appendParsed(ColumnData& d, SQLSMALLINT as, std::string_view text) {
    const QString t = QString::fromUtf8(text).trimmed();
    if (d.storage() == Storage::Real) {
        if (const std::optional<double> v = parseReal(t)) return d.appendReal(*v);
    } else if (d.storage() == Storage::Int) {
        if (const std::optional<qint64> v = parseInt(t))
            return d.appendInt(as == SQL_C_BIT ? (*v != 0 ? 1 : 0) : *v);
        if (as == SQL_C_BIT && (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                                t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0))
            return d.appendInt(t.size() == 4 ? 1 : 0);
    }
    if (d.storage() != Storage::Text) d.promoteToText();
    d.appendBytes(text);
}

// Stores one bound or read value; data points at the value, len is its length in bytes.
void appendValue(ColumnData& d, const OdbcBinding& b, const void* data, SQLLEN len) {
    if (b.dateForm != IntForm::Number) {
        if (b.cType == SQL_C_CHAR)
            return appendDateText(d, b.dateForm,
                                  std::string_view(static_cast<const char*>(data), size_t(len)));
        // Drivers write dates in ASCII: narrowed on the stack, without a string per cell.
        const auto* w = static_cast<const char16_t*>(data);
        const size_t n = size_t(len) / sizeof(SQLWCHAR);
        char ascii[kDateChars];
        if (n <= kDateChars && std::all_of(w, w + n, [](char16_t c) { return c < 0x80; })) {
            std::copy(w, w + n, ascii);
            return appendDateText(d, b.dateForm, std::string_view(ascii, n));
        }
        std::string text;
        appendUtf16AsUtf8(text, w, n);
        return appendDateText(d, b.dateForm, text);
    }
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
        if (b.parsedAs) {
            appendParsed(d, b.parsedAs, std::string_view(s, size_t(len)));
        } else if (b.money) {
            appendMoney(d, s, size_t(len), b.moneyForm);
        } else if (b.guid) {
            appendGuid(d, s, size_t(len));
        } else if (b.utf8) {
            d.arena().append(s, size_t(len));
            d.endText();
        } else {
            appendDecimal(d, s, size_t(len));
        }
        return;
    }
    case SQL_C_WCHAR:
        appendUtf16AsUtf8(d.arena(), static_cast<const char16_t*>(data),
                          size_t(len) / sizeof(SQLWCHAR));
        d.endText();
        return;
    case SQL_C_BINARY:
        d.appendBytes(std::string_view(static_cast<const char*>(data), size_t(len)));
        return;
    }
}

// Reads a whole value in pieces; out receives its bytes (without terminator).
bool getWhole(const OdbcHandle& stmt, SQLUSMALLINT col, SQLSMALLINT cType, std::string& out,
              bool& isNull, ErrorList& errors) {
    out.clear();
    isNull = false;
    const size_t terminator =
        cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : (cType == SQL_C_CHAR ? 1 : 0);
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

bool variableWidth(SQLSMALLINT cType) {
    return cType == SQL_C_WCHAR || cType == SQL_C_CHAR || cType == SQL_C_BINARY;
}

// Bytes a bound buffer holds for a value, its terminator left out.
SQLLEN room(const OdbcBinding& b) {
    if (b.cType == SQL_C_BINARY) return b.bytesPerRow;
    if (b.cType == SQL_C_WCHAR) return b.bytesPerRow - SQLLEN(sizeof(SQLWCHAR));
    return b.bytesPerRow - 1;
}
} // namespace

OdbcRowReader::~OdbcRowReader() {
    finish();
}

bool OdbcRowReader::start(const OdbcHandle& stmt, const ResultData& out, bool bulk,
                          ErrorList& errors, const OdbcSessionForm& form) {
    const bool utf8Text = form.utf8Text;
    m_stmt = &stmt;
    m_bindings.clear();
    bool anyLong = false;
    for (const ColumnInfo& c : out.columns) {
        ColumnInfo copy = c;
        OdbcBinding b = describeOdbcColumn(odbcSqlType(c), odbcColumnSize(c), odbcDigits(c), copy);
        if (utf8Text && b.cType == SQL_C_WCHAR) {
            // Up to four bytes a character, and the terminator.
            b.cType = SQL_C_CHAR;
            b.utf8 = true;
            if (!b.longData) b.bytesPerRow = SQLLEN(odbcColumnSize(c) * 4 + 1);
        }
        if (b.cType == SQL_C_TYPE_DATE || b.cType == SQL_C_TYPE_TIME ||
            b.cType == SQL_C_TYPE_TIMESTAMP) {
            // As text: a fraction, an offset or a year the structures cannot hold stays.
            b.dateForm = copy.intForm;
            b.cType = utf8Text ? SQL_C_CHAR : SQL_C_WCHAR;
            b.bytesPerRow = SQLLEN(kDateChars * (utf8Text ? 1 : sizeof(SQLWCHAR)));
        }
        b.moneyForm = form.money;
        if (form.numbersAsText &&
            (b.cType == SQL_C_SBIGINT || b.cType == SQL_C_BIT || b.cType == SQL_C_DOUBLE)) {
            b.parsedAs = b.cType;
            b.cType = SQL_C_CHAR;
            b.bytesPerRow = 64;
        }
        m_bindings.push_back(b);
        anyLong = anyLong || m_bindings.back().longData;
    }
    m_bound = bulk && !anyLong && bind(errors);
    return errors.empty();
}

bool OdbcRowReader::bind(ErrorList& errors) {
    const size_t n = m_bindings.size();
    size_t rowBytes = 0;
    for (const OdbcBinding& b : m_bindings)
        rowBytes += size_t(b.bytesPerRow) + sizeof(SQLLEN);
    m_arrayRows =
        std::clamp<SQLULEN>(kArrayBytes / std::max<size_t>(rowBytes, 1), 1, kMaxArrayRows);
    m_status.assign(m_arrayRows, 0);
    SQLHSTMT h = m_stmt->get();
    if (!SQL_SUCCEEDED(
            SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(m_arrayRows), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, m_status.data(), 0))) {
        SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(1), 0);
        return false; // read row by row instead
    }
    m_columns.resize(n);
    for (size_t i = 0; i < n; ++i) {
        BoundColumn& c = m_columns[i];
        const OdbcBinding& b = m_bindings[i];
        c.buffer.reset(new char[size_t(b.bytesPerRow) * m_arrayRows]);
        c.indicators.reset(new SQLLEN[m_arrayRows]);
        if (!SQL_SUCCEEDED(SQLBindCol(h, SQLUSMALLINT(i + 1), b.cType, c.buffer.get(),
                                      b.bytesPerRow, c.indicators.get()))) {
            errors = odbcErrors({m_stmt});
            return false;
        }
    }
    return true;
}

void OdbcRowReader::finish() {
    if (!m_stmt || !m_bound) return;
    SQLHSTMT h = m_stmt->get();
    SQLFreeStmt(h, SQL_UNBIND);
    SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(1), 0);
    SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    m_bound = false;
    m_columns.clear();
}

bool OdbcRowReader::fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors,
                          const std::function<bool()>& stop) {
    done = false;
    const size_t first = out.rows;
    while (out.rows - first < maxRows) {
        if (stop && stop()) return false;
        const SQLRETURN rc = SQLFetch(m_stmt->get());
        if (rc == SQL_NO_DATA) {
            done = true;
            finish();
            return true;
        }
        if (!SQL_SUCCEEDED(rc)) {
            errors = odbcErrors({m_stmt});
            return false;
        }
        if (!(m_bound ? appendArray(out, errors) : appendCurrentRow(out, errors))) return false;
    }
    return true;
}

bool OdbcRowReader::appendCurrentRow(ResultData& out, ErrorList& errors) {
    for (size_t i = 0; i < m_bindings.size(); ++i) {
        const OdbcBinding& b = m_bindings[i];
        bool isNull = false;
        if (!getWhole(*m_stmt, SQLUSMALLINT(i + 1), b.cType, m_piece, isNull, errors)) return false;
        if (isNull)
            out.data[i].appendNull();
        else
            appendValue(out.data[i], b, m_piece.data(), SQLLEN(m_piece.size()));
    }
    ++out.rows;
    return true;
}

bool OdbcRowReader::appendArray(ResultData& out, ErrorList& errors) {
    const size_t n = m_bindings.size();
    for (SQLULEN r = 0; r < m_fetched; ++r) {
        if (m_status[r] == SQL_ROW_ERROR) {
            errors = odbcErrors({m_stmt});
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            const OdbcBinding& b = m_bindings[i];
            const BoundColumn& c = m_columns[i];
            const SQLLEN ind = c.indicators[r];
            if (ind == SQL_NULL_DATA) {
                out.data[i].appendNull();
            } else if (variableWidth(b.cType) && (ind == SQL_NO_TOTAL || ind > room(b))) {
                // Wider than the driver said: read this one value whole from its row.
                if (!SQL_SUCCEEDED(SQLSetPos(m_stmt->get(), SQLSETPOSIROW(r + 1), SQL_POSITION,
                                             SQL_LOCK_NO_CHANGE))) {
                    errors = odbcErrors({m_stmt});
                    if (errors.empty())
                        errors = {
                            {ErrorNumber::Fail,
                             QStringLiteral(
                                 "A value of column '%1' is wider than the driver declared and "
                                 "cannot be read.")
                                 .arg(out.columns[i].name),
                             QStringLiteral("Tolvan.ODBC")}};
                    return false;
                }
                bool isNull = false;
                if (!getWhole(*m_stmt, SQLUSMALLINT(i + 1), b.cType, m_piece, isNull, errors))
                    return false;
                if (isNull)
                    out.data[i].appendNull();
                else
                    appendValue(out.data[i], b, m_piece.data(), SQLLEN(m_piece.size()));
            } else {
                appendValue(out.data[i], b, c.buffer.get() + size_t(b.bytesPerRow) * r, ind);
            }
        }
        ++out.rows;
    }
    return true;
}

bool describeOdbcResult(const OdbcHandle& stmt, ResultData& out, ErrorList& errors) {
    out.clear();
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &count))) {
        errors = odbcErrors({&stmt});
        return false;
    }
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt.get(), SQLUSMALLINT(i), name,
                                           SQLSMALLINT(std::size(name)), &nameLen, &sqlType, &size,
                                           &digits, &nullable))) {
            errors = odbcErrors({&stmt});
            return false;
        }
        ColumnInfo c;
        c.name = fromWideBuffer(name, qsizetype(std::size(name)));
        c.typeName = columnAttribute(stmt, SQLUSMALLINT(i), SQL_DESC_TYPE_NAME);
        SQLLEN isUnsigned = SQL_FALSE;
        if (sqlType == SQL_BIGINT &&
            SQL_SUCCEEDED(SQLColAttributeW(stmt.get(), SQLUSMALLINT(i), SQL_DESC_UNSIGNED, nullptr,
                                           0, nullptr, &isUnsigned)))
            c.isUnsigned = isUnsigned == SQL_TRUE;
        describeOdbcColumn(sqlType, size, digits, c);
        // MySQL's YEAR: four digits, or the year 0 comes back as 2000.
        if (c.storage == Storage::Int && c.intForm == IntForm::Number &&
            c.typeName.compare(QLatin1String("year"), Qt::CaseInsensitive) == 0)
            c.intForm = IntForm::Year;
        c.baseTable = columnAttribute(stmt, SQLUSMALLINT(i), SQL_DESC_BASE_TABLE_NAME);
        c.baseColumn = columnAttribute(stmt, SQLUSMALLINT(i), SQL_DESC_BASE_COLUMN_NAME);
        out.addColumn(std::move(c));
    }
    return true;
}

bool fetchOdbcRows(const OdbcHandle& stmt, ResultData& out, bool bulk, ErrorList& errors,
                   const OdbcSessionForm& form) {
    OdbcRowReader reader;
    if (!reader.start(stmt, out, bulk, errors, form)) return false;
    bool done = false;
    while (!done)
        if (!reader.fetch(out, size_t(-1), done, errors)) return false;
    return true;
}

} // namespace db
