#include "WorkRecordset.h"

#include "TransferErrors.h"
#include "db/Connection.h"
#include "db/StatementText.h"

db::Recordset* OpenWorkRecordset(db::Recordset& fresh, db::Recordset& result,
                                 db::Connection* connection, db::Error& error) {
    if (!db::readsOnly(result.Source())) {
        if (result.MoveFirst()) return &result;
        error = RecordsetFailure(result);
        return nullptr;
    }
    // Forward-only: any number of rows streams through in flat memory.
    if (fresh.Open(result.Source(), connection, db::Recordset::adOpenForwardOnly)) return &fresh;
    error = RecordsetFailure(fresh);
    return nullptr;
}

db::Error RecordsetFailure(const db::Recordset& rs) {
    return transfer_error::lastOf(
        rs.Errors(), rs.ActiveConnection() ? rs.ActiveConnection()->Errors() : db::ErrorList{});
}
