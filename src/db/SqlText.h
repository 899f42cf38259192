#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace db {

// The table named after the first top-level FROM of a SELECT, as written ("[Order Details]",
// "sales.orders"); empty when there is none.
QString tableOfSelect(const QString& sql);

// "[a b]", "\"a b\"", "`a b`" -> "a b"; the last part of a dotted name is kept whole.
QString unquoteIdentifier(const QString& name);

// Quotes a plain name with the given quote character(s), doubling embedded quotes.
QString quoteIdentifier(const QString& name, const QString& quote);

// One part of a dotted table name, without its quotes.
struct NamePart {
    QString name;
    bool quoted = false;
};

// A table name as typed: plain words (letters, digits, "_", "$", "#") or quoted names ("a b",
// [a b], `a b`, quotes doubled inside), joined by dots without blanks; blanks and tabs around
// it are passed over. Nothing when the text is anything else, such as a name followed by SQL.
std::optional<std::vector<NamePart>> splitTableName(QStringView text);

} // namespace db
