#include "WorkRecordset.h"

#include "Connection.h"
#include "OutputTexts.h"

bool OpenWorkRecordset(db::Recordset& rs, ProgramState& state, db::Error& error) {
    // Forward-only: any number of rows streams through in flat memory.
    if (rs.Open(state.resultSet->Source(), state.connection.adoConnection.get(),
                db::Recordset::adOpenForwardOnly, 3, -1))
        return true;
    error = RecordsetFailure(rs);
    return false;
}

db::Error RecordsetFailure(const db::Recordset& rs) {
    if (!rs.Errors().empty()) return rs.Errors().front();
    if (rs.ActiveConnection() && !rs.ActiveConnection()->Errors().empty())
        return rs.ActiveConnection()->Errors().front();
    return {db::ErrorNumber::Fail, QStringLiteral("Unspecified error"), kProgramSource};
}
