#pragma once

#include "../Error.h"
#include "../ResultData.h"
#include "OdbcHandle.h"

namespace db {

enum class FetchOutcome { Done, Failed, Truncated };

// Describes the columns of the statement's current result.
bool describeOdbcResult(const OdbcHandle& stmt, ResultData& out, ErrorList& errors);

// Reads every row of the current result into out (already described). Bound row arrays are
// used unless a column is too wide to bind, or bulk is false; Truncated means a bound value
// did not fit and the result must be read again without arrays.
FetchOutcome fetchOdbcRows(const OdbcHandle& stmt, ResultData& out, bool bulk, ErrorList& errors);

} // namespace db
