#include "OdbcFetch.h"

#include "OdbcDiag.h"
#include "OdbcTypes.h"
#include "db/TextCells.h"
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
            appendMoneyText(d, std::string_view(s, size_t(len)), b.moneyForm);
        } else if (b.guid) {
            appendGuidText(d, std::string_view(s, size_t(len)));
        } else if (b.utf8) {
            d.arena().append(s, size_t(len));
            d.endText();
        } else {
            appendDecimalText(d, std::string_view(s, size_t(len)));
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
