#pragma once

#include <QString>
#include <optional>

// The statement an import appends to, made from the SQL text of the current result: the
// text itself when it holds ORDER or no SELECT, else the text narrowed to no rows (cut before
// its first WHERE, or extended) so that opening it reads nothing. Compared in any case, as
// plain substrings.
QString importTargetQuery(const QString& source);

// A table name from a batch line or the table list as SQL: plain words as they are, quoted
// parts quoted again with the database's identifier quote (quote), so that a name typed in
// brackets reaches a database that only knows double quotes. Nothing for a text that is not
// one table name: it never goes into a statement.
std::optional<QString> tableNameSql(const QString& tableName, const QString& quote);

// The statement the batch import appends to, and the one the batch export reads; nothing for
// a text that is not one table name.
std::optional<QString> tableTargetQuery(const QString& tableName, const QString& quote);
std::optional<QString> tableSourceQuery(const QString& tableName, const QString& quote);
