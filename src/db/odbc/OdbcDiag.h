#pragma once

#include "OdbcHandle.h"
#include "db/Error.h"

#include <initializer_list>

namespace db {

// Every diagnostic record of the given handles, in order (statement first, then connection,
// then environment).
ErrorList odbcErrors(std::initializer_list<const OdbcHandle*> handles);
// The same without a stand-in record when there is none: the notes of a call that succeeded.
ErrorList odbcDiagnostics(std::initializer_list<const OdbcHandle*> handles);

// The first SQLSTATE of a handle's diagnostics ("" when there is none).
QString odbcState(const OdbcHandle& handle);

} // namespace db
