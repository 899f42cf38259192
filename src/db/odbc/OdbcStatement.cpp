#include "OdbcStatement.h"

#include "OdbcDiag.h"
#include "OdbcFetch.h"
#include "db/AdoType.h"
#include "db/ValueText.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace db {

qsizetype resultBudget(const QString& sql) {
    return std::max<qsizetype>(sql.size(), 10000);
}

namespace {
const QString kSource = QStringLiteral("Tolvan.ODBC");

// Drains the remaining results of a statement so that batches run to their end.
void drainResults(const OdbcHandle& stmt) {
    for (qsizetype left = resultBudget(QString());
         left > 0 && SQL_SUCCEEDED(SQLMoreResults(stmt.get())); --left) {
    }
}

bool isDateType(SQLSMALLINT t) {
    return t == SQL_TYPE_DATE || t == SQL_TYPE_TIMESTAMP || t == SQL_DATE || t == SQL_TIMESTAMP;
}

// A date or time text that the driver would convert itself and cannot hold (a fraction or a
// zone it drops, "838:59:59", an era) goes to the database as text, which converts it.
SQLSMALLINT parameterType(SQLSMALLINT columnType, std::string_view utf8Text, bool utf8) {
    IntForm form;
    switch (columnType) {
    case SQL_TYPE_DATE:
    case SQL_DATE:
        form = IntForm::Date;
        break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        form = IntForm::Time;
        break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        form = IntForm::Timestamp;
        break;
    default:
        return columnType;
    }
    if (packableDateText(utf8Text, form)) return columnType;
    return utf8 ? SQL_VARCHAR : SQL_WVARCHAR;
}
SQLSMALLINT parameterType(SQLSMALLINT columnType, const std::u16string& text) {
    if (!isDateType(columnType) && columnType != SQL_TYPE_TIME && columnType != SQL_TIME)
        return columnType;
    std::string bytes;
    appendUtf16AsUtf8(bytes, text.data(), text.size());
    return parameterType(columnType, bytes, false);
}

// The layer writes dates as "yyyy/MM/dd"; drivers that convert on the client (psqlODBC) only
// read "yyyy-MM-dd" and would send a zero date instead.
void isoDate(std::u16string& t) {
    auto digit = [&](size_t i) { return i < t.size() && t[i] >= u'0' && t[i] <= u'9'; };
    if (t.size() < 8 || !digit(0) || !digit(1) || !digit(2) || !digit(3) || t[4] != u'/') return;
    size_t i = 5;
    while (digit(i))
        ++i;
    if (i == 5 || i >= t.size() || t[i] != u'/' || !digit(i + 1)) return;
    t[4] = u'-';
    t[i] = u'-';
}

// "True" and "False", the texts of booleans, as the 1 and 0 every driver reads: MariaDB's
// would take "True" for 0.
const Value* boolAsNumber(const ColumnInfo& c, const Value& v, Value& scratch) {
    if (v.isNull() || c.intForm != IntForm::Bool || c.storage != Storage::Int) return &v;
    const std::optional<qint64> b = parsePacked(v.text(), IntForm::Bool);
    if (!b) return &v;
    scratch = Value(*b ? QStringLiteral("1") : QStringLiteral("0"));
    return &scratch;
}

// An amount goes to the server in the form its locale reads: "1.5" is 15 where the point is a
// comma and the dot groups.
const Value* moneyInSessionForm(const ColumnInfo& c, MoneyForm form, const Value& v,
                                Value& scratch) {
    if (c.type != adCurrency || form.point == '.' || v.isNull()) return &v;
    scratch = Value(QString(v.text()).replace(QLatin1Char('.'), QLatin1Char(form.point)));
    return &scratch;
}

// The value of an infinity given as its text, for a column of floating-point numbers: as
// text SQLite's driver would store the word.
std::optional<double> infinity(const ColumnInfo& c, const Value& v) {
    if (v.isNull() || c.storage != Storage::Real) return std::nullopt;
    const std::optional<double> d = parseReal(v.text());
    if (!d || !std::isinf(*d)) return std::nullopt;
    return d;
}

} // namespace

bool OdbcStatement::bindRow(const std::vector<Value>& given, size_t first, ErrorList& errors) {
    for (size_t i = 0; i < given.size(); ++i) {
        const size_t k = first + i;
        const ColumnInfo& c = m_params[i];
        const Value& value = *moneyInSessionForm(
            c, m_form.money, *boolAsNumber(c, given[i], m_scratch[k]), m_scratch[k]);
        // The driver would pass the text on only up to the NUL: a shortened value is
        // never stored in place of the one given.
        if (m_refusesNul && c.storage != Storage::Blob && value.holdsNul()) {
            errors = {errors::nulNotStored(kSource)};
            return false;
        }
        if (!SQL_SUCCEEDED(bindValue(k, c, value))) {
            errors = odbcErrors({&m_stmt});
            return false;
        }
    }
    return true;
}

SQLRETURN OdbcStatement::bindValue(size_t k, const ColumnInfo& c, const Value& value) {
    const bool isNull = value.isNull();
    if (const std::optional<double> d = infinity(c, value)) {
        m_doubles[k] = *d;
        m_indicators[k] = sizeof(double);
        return SQLBindParameter(m_stmt.get(), SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, SQL_C_DOUBLE,
                                SQL_DOUBLE, 15, 0, &m_doubles[k], 0, &m_indicators[k]);
    }
    if (c.storage == Storage::Blob && !isNull) {
        // Bytes go in as the bytes their hex text names.
        m_bytes[k] = QByteArray::fromHex(value.text().toLatin1());
        const SQLSMALLINT declared = odbcSqlType(c);
        return bindBytes(k, declared ? declared : SQL_LONGVARBINARY, SQL_C_BINARY);
    }
    if (!isNull && m_form.utf8Text) return bindUtf8(k, c, value);
    if (!isNull && holdsKeptBytes(value.text())) {
        // As wide text a driver would turn such bytes into other characters; as the
        // bytes they are, the database stores them or refuses them by their value.
        const QString& t = value.text();
        std::string bytes;
        appendUtf16AsUtf8(bytes, reinterpret_cast<const char16_t*>(t.utf16()), size_t(t.size()));
        m_bytes[k] = QByteArray::fromStdString(bytes);
        return bindBytes(k, SQL_LONGVARCHAR, SQL_C_CHAR);
    }
    return bindWide(k, c, value);
}

SQLRETURN OdbcStatement::bindBytes(size_t k, SQLSMALLINT sqlType, SQLSMALLINT cType) {
    m_indicators[k] = SQLLEN(m_bytes[k].size());
    return SQLBindParameter(m_stmt.get(), SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, cType, sqlType,
                            std::max<SQLULEN>(SQLULEN(m_bytes[k].size()), 1), 0, m_bytes[k].data(),
                            m_indicators[k], &m_indicators[k]);
}

SQLRETURN OdbcStatement::bindUtf8(size_t k, const ColumnInfo& c, const Value& value) {
    // MariaDB's driver can read a wide parameter a character past its length (a Null in the
    // same row): it gets the UTF-8 bytes with their exact length.
    const SQLSMALLINT declared = odbcSqlType(c);
    std::string_view bytes;
    if (value.hasUtf8() && !isDateType(declared)) {
        // Bound where they are: the values outlive the run.
        bytes = value.utf8();
    } else {
        std::u16string t = value.text().toStdU16String();
        if (isDateType(declared)) isoDate(t);
        std::string& made = m_utf8[k];
        made.clear();
        appendUtf16AsUtf8(made, t.data(), t.size());
        bytes = made;
    }
    m_indicators[k] = SQLLEN(bytes.size());
    SQLULEN size = odbcColumnSize(c);
    if (c.storage == Storage::Text || size == 0)
        size = std::max<SQLULEN>({size, SQLULEN(bytes.size()), 1});
    const SQLSMALLINT type = declared ? parameterType(declared, bytes, true) : SQL_VARCHAR;
    if (type != declared) size = std::max<SQLULEN>(SQLULEN(bytes.size()), 1);
    return SQLBindParameter(m_stmt.get(), SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, SQL_C_CHAR, type,
                            size, odbcDigits(c), const_cast<char*>(bytes.data()), m_indicators[k],
                            &m_indicators[k]);
}

SQLRETURN OdbcStatement::bindWide(size_t k, const ColumnInfo& c, const Value& value) {
    const bool isNull = value.isNull();
    const SQLSMALLINT declared = odbcSqlType(c);
    m_texts[k] = isNull ? std::u16string() : value.text().toStdU16String();
    if (!isNull && isDateType(declared)) isoDate(m_texts[k]);
    m_indicators[k] = isNull ? SQL_NULL_DATA : SQLLEN(m_texts[k].size() * sizeof(SQLWCHAR));
    // The driver converts the text to the column's own type.
    SQLSMALLINT sqlType =
        declared ? (isNull ? declared : parameterType(declared, m_texts[k])) : SQL_WVARCHAR;
    SQLULEN size = odbcColumnSize(c);
    if (sqlType != declared) size = 0;
    if (c.storage == Storage::Text || c.storage == Storage::Blob || size == 0)
        size = std::max<SQLULEN>({size, m_texts[k].size(), 1});
    if (c.storage == Storage::Blob) sqlType = SQL_WVARCHAR;
    return SQLBindParameter(m_stmt.get(), SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                            sqlType, size, odbcDigits(c), m_texts[k].data(),
                            SQLLEN(m_texts[k].size() * sizeof(SQLWCHAR)), &m_indicators[k]);
}

void OdbcStatement::sizeBuffers(size_t parameters) {
    m_texts.resize(parameters);
    m_bytes.resize(parameters);
    m_utf8.resize(parameters);
    m_indicators.resize(parameters);
    m_doubles.resize(parameters);
    m_scratch.resize(parameters);
}

bool OdbcStatement::select(const std::vector<Value>& values, ResultData& out, ErrorList& errors) {
    SQLHSTMT h = m_stmt.get();
    sizeBuffers(values.size());
    if (!bindRow(values, 0, errors)) return false;
    const SQLRETURN rc = SQLExecute(h);
    if (!SQL_SUCCEEDED(rc)) {
        errors = odbcErrors({&m_stmt});
        SQLFreeStmt(h, SQL_CLOSE);
        return false;
    }
    const bool ok = describeOdbcResult(m_stmt, out, errors) &&
                    fetchOdbcRows(m_stmt, out, false, errors, m_form);
    SQLFreeStmt(h, SQL_CLOSE);
    return ok;
}

bool OdbcStatement::execute(const std::vector<Value>& values, qint64& affected, ErrorList& errors) {
    affected = 0;
    sizeBuffers(values.size());
    return bindRow(values, 0, errors) && run(affected, errors);
}

bool OdbcStatement::executeAll(const std::vector<std::vector<Value>>& rows, qint64& affected,
                               ErrorList& errors) {
    affected = 0;
    const size_t columns = m_params.size();
    sizeBuffers(rows.size() * columns);
    for (size_t r = 0; r < rows.size(); ++r)
        if (!bindRow(rows[r], r * columns, errors)) return false;
    return run(affected, errors);
}

bool OdbcStatement::run(qint64& affected, ErrorList& errors) {
    SQLHSTMT h = m_stmt.get();
    const SQLRETURN rc = SQLExecute(h);
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
        errors = odbcErrors({&m_stmt});
        SQLFreeStmt(h, SQL_CLOSE);
        return false;
    }
    // Read before SQLRowCount, which clears them.
    ErrorList notes;
    if (rc == SQL_SUCCESS_WITH_INFO) notes = odbcDiagnostics({&m_stmt});
    SQLLEN count = 0;
    if (rc != SQL_NO_DATA && SQL_SUCCEEDED(SQLRowCount(h, &count))) affected = count;
    drainResults(m_stmt);
    SQLFreeStmt(h, SQL_CLOSE);
    // MariaDB's driver reports a refusal whose SQLSTATE is of class 01 (1265 "Data
    // truncated" in strict mode) as a success with information; nothing was changed.
    if (affected == 0 && !notes.empty()) {
        errors = std::move(notes);
        return false;
    }
    return true;
}

} // namespace db
