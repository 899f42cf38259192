#include "OdbcDiag.h"

#include <algorithm>
#include <iterator>

namespace db {

ErrorList odbcDiagnostics(std::initializer_list<const OdbcHandle*> handles) {
    ErrorList errors;
    for (const OdbcHandle* h : handles) {
        if (!h || !*h) continue;
        for (SQLSMALLINT rec = 1;; ++rec) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLWCHAR message[2048];
            SQLSMALLINT len = 0;
            const SQLRETURN rc = SQLGetDiagRecW(h->type(), h->get(), rec, state, &native, message,
                                                SQLSMALLINT(std::size(message)), &len);
            if (!SQL_SUCCEEDED(rc)) break;
            const qsizetype units = std::min<qsizetype>(len, qsizetype(std::size(message)) - 1);
            QString text = fromWide(message, units).trimmed();
            // Some drivers append a NUL or a line end to their messages.
            while (text.endsWith(QChar(0)))
                text.chop(1);
            // MDBTools leaves the state empty.
            const QString stateText = fromWide(state, 5).section(QChar(0), 0, 0);
            errors.push_back({native != 0 ? qint32(native) : ErrorNumber::Fail, text,
                              stateText.isEmpty()
                                  ? QStringLiteral("Tolvan.ODBC")
                                  : QStringLiteral("Tolvan.ODBC (%1)").arg(stateText),
                              stateText});
        }
    }
    return errors;
}

ErrorList odbcErrors(std::initializer_list<const OdbcHandle*> handles) {
    ErrorList errors = odbcDiagnostics(handles);
    if (errors.empty())
        errors.push_back({ErrorNumber::Fail,
                          QStringLiteral("The ODBC driver reported a failure without a message."),
                          QStringLiteral("Tolvan.ODBC")});
    return errors;
}

QString odbcState(const OdbcHandle& handle) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLWCHAR message[8];
    if (!SQL_SUCCEEDED(
            SQLGetDiagRecW(handle.type(), handle.get(), 1, state, &native, message, 8, &len)))
        return QString();
    return fromWide(state, 5);
}

} // namespace db
