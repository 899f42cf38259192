#pragma once

#include <QString>

namespace db {

// The table named after the first top-level FROM of a SELECT, as written ("[Order Details]",
// "sales.orders"); empty when there is none.
QString tableOfSelect(const QString& sql);

// "[a b]", "\"a b\"", "`a b`" -> "a b"; the last part of a dotted name is kept whole.
QString unquoteIdentifier(const QString& name);

// Quotes a plain name with the given quote character(s), doubling embedded quotes.
QString quoteIdentifier(const QString& name, const QString& quote);

} // namespace db
