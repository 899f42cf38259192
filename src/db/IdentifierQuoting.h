#pragma once

#include "ConnectionRecord.h"

#include <QString>

// Names written into statements, quoted as the open database reads them (its dialect).
namespace db {

// "[" + name + "]"; a "]" inside is left as it is.
QString BracketName(const QString& name);

// A name as the table list holds it: bracketed for Access and when it holds a character that
// needs quoting. Databases that do not accept brackets get their own identifier quotes.
QString AddTableName(const QString& name, const ConnectionRecord& connection);
// A column's name as completion writes it: in the same quotes, but only where the name needs
// them (Access files want brackets around every table name, not around every column's).
QString AddColumnName(const QString& name, const ConnectionRecord& connection);

} // namespace db
