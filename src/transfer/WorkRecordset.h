#pragma once

#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>

// The rows an output writes: the current result's statement read again, one row at a time.

// Positions a record set on the first row of result: fresh, opened forward-only on the
// result's statement over connection, or, where running that statement again would change
// data (an insert that returned rows), result itself with the rows it holds. Null on failure,
// with error holding the first diagnostic.
db::Recordset* OpenWorkRecordset(db::Recordset& fresh, db::Recordset& result,
                                 db::Connection* connection, db::Error& error);

// The first diagnostic of the record set or of its connection, or a generic one.
db::Error RecordsetFailure(const db::Recordset& rs);
