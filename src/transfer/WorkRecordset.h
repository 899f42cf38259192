#pragma once

#include "ProgramState.h"
#include "Recordset.h"

#include <QString>

// The rows an output writes: the current result's statement read again, one row at a time.

// Positions a record set on the first row of the current result: fresh, opened forward-only on
// the result's statement, or, where running that statement again would change data (an insert
// that returned rows), the result itself with the rows it holds. Null on failure, with error
// holding the first diagnostic.
db::Recordset* OpenWorkRecordset(db::Recordset& fresh, ProgramState& state, db::Error& error);

// The first diagnostic of the record set or of its connection, or a generic one.
db::Error RecordsetFailure(const db::Recordset& rs);
