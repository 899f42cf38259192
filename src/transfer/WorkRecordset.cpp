#include "WorkRecordset.h"

#include "Connection.h"
#include "OutputTexts.h"

bool OpenWorkRecordset(db::Recordset& rs, ProgramState& state, db::Error& error) {
    if (rs.Open(state.resultSet->Source(), state.connection.adoConnection.get(), 3, 3, -1))
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

bool currentCellIsNull(const db::Recordset& rs, int col) {
    return rs.isNull(rs.position(), col);
}

void currentCellText(const db::Recordset& rs, int col, QString& out) {
    rs.textInto(rs.position(), col, out);
}
