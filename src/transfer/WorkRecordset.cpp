#include "WorkRecordset.h"

#include "Connection.h"
#include "TransferErrors.h"

bool OpenWorkRecordset(db::Recordset& rs, ProgramState& state, db::Error& error) {
    // Forward-only: any number of rows streams through in flat memory.
    if (rs.Open(state.resultSet->Source(), state.connection.adoConnection.get(),
                db::Recordset::adOpenForwardOnly, 3, -1))
        return true;
    error = RecordsetFailure(rs);
    return false;
}

db::Error RecordsetFailure(const db::Recordset& rs) {
    return transfer_error::lastOf(
        rs.Errors(), rs.ActiveConnection() ? rs.ActiveConnection()->Errors() : db::ErrorList{});
}
