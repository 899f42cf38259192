#pragma once

#include "db/ColumnInfo.h"
#include "db/TextCells.h"

#include <sql.h>
#include <sqlext.h>

namespace db {

// How a result column is read from the driver.
// What a session's values need besides their types.
struct OdbcSessionForm {
    bool utf8Text = false;      // texts as UTF-8 bytes (MariaDB's driver)
    bool numbersAsText = false; // numbers as their text (MDBTools)
    MoneyForm money = {};
};

struct OdbcBinding {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN bytesPerRow = 0; // buffer width for array fetches
    bool longData = false;  // too wide to bind: read with SQLGetData
    bool guid = false;
    bool utf8 = false;  // text read as the bytes of UTF-8 (SQL_C_CHAR)
    bool money = false; // a currency amount read as the driver's text of it (SQL_C_CHAR)
    MoneyForm moneyForm = {};
    // A number read as its text (SQL_C_CHAR) and parsed into this C type's storage.
    SQLSMALLINT parsedAs = 0;
    // A date, time or timestamp read as its text, packed where the packed form holds it.
    IntForm dateForm = IntForm::Number;
};

// The driver's description of a column, as describeOdbcColumn keeps it.
inline SQLSMALLINT odbcSqlType(const ColumnInfo& c) {
    return SQLSMALLINT(c.native.id);
}
inline SQLULEN odbcColumnSize(const ColumnInfo& c) {
    return SQLULEN(c.native.size);
}
inline SQLSMALLINT odbcDigits(const ColumnInfo& c) {
    return SQLSMALLINT(c.native.digits);
}

// Fills type, size, precision, scale and storage from the driver's description; info's
// typeName and isUnsigned, when set, refine it.
OdbcBinding describeOdbcColumn(SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT decimalDigits,
                               ColumnInfo& info);

} // namespace db
