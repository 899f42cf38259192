#pragma once

#include <QString>

// The statement an import appends to, made from the SQL text of the current result: the
// text itself when it holds ORDER or no SELECT, else the text narrowed to no rows (cut before
// its first WHERE, or extended) so that opening it reads nothing. Compared in any case, as
// plain substrings.
QString importTargetQuery(const QString& source);

// The statement the batch import appends to.
QString tableTargetQuery(const QString& tableName);
// The statement the batch export reads.
QString tableSourceQuery(const QString& tableName);
