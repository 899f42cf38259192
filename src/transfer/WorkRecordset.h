#pragma once

#include "ProgramState.h"
#include "Recordset.h"

#include <QString>

// The work record set of the Excel and HTML output: the current result's statement read again,
// one row at a time.

// Opens rs on the statement of the current result; on failure, error holds the first diagnostic.
bool OpenWorkRecordset(db::Recordset& rs, ProgramState& state, db::Error& error);

// The first diagnostic of the record set or of its connection, or a generic one.
db::Error RecordsetFailure(const db::Recordset& rs);
