#pragma once

#include "db/ColumnData.h"
#include "db/ColumnInfo.h"

typedef struct st_mysql_field MYSQL_FIELD;

namespace db {

// How the cells of a column are read from the server's text of them.
enum class MariaCell : quint8 { Text, Integer, Real, Decimal, Date, Bit, Bytes };

// Fills a column's description from the server's description of a result's field.
void describeMariaField(const MYSQL_FIELD& field, ColumnInfo& c);
MariaCell mariaCellOf(const ColumnInfo& c);
// Appends the server's text of one value (not Null) to its column.
void appendMariaCell(ColumnData& d, MariaCell cell, IntForm form, const char* s, size_t n);

} // namespace db
