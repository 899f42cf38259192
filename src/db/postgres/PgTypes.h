#pragma once

#include "db/ColumnData.h"
#include "db/ColumnInfo.h"
#include "db/TextCells.h"

namespace db {

// How the cells of a column are read from the server's text of them.
enum class PgCell : quint8 { Text, Bool, Integer, Real, Decimal, Money, Date, Bytes, Uuid };

// Fills a column's description from the server's type number and modifier; native keeps
// them, for the column's cells to be read by.
void describePgColumn(quint32 typeOid, int typmod, ColumnInfo& c);
// How the cells of a column described so are read.
PgCell pgCellOf(const ColumnInfo& c);
// Appends the server's text of one value (not Null) to its column.
void appendPgCell(ColumnData& d, PgCell cell, IntForm form, const char* s, size_t n,
                  MoneyForm money);

} // namespace db
