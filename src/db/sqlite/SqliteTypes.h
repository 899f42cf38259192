#pragma once

#include "db/ColumnInfo.h"

#include <QString>

namespace db {

// Fills type, size, precision, scale and storage of a column from its declared type
// ("VARCHAR(50)", "DECIMAL(12,2)", ...). An empty declaration leaves the storage undecided:
// the first value chooses it.
void describeSqliteColumn(const QString& declaredType, ColumnInfo& info);

} // namespace db
