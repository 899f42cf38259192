#include "db/odbc/OdbcDataSources.h"

#include "OdbcHandle.h"

#include <QStringDecoder>
#include <iterator>

namespace db {

namespace {
// unixODBC answers this wide call of an environment, which has no connection to convert
// through, by widening each byte of the 8-bit text: units that all fit a byte are the bytes
// of a text in the locale's character set. A driver manager that does convert gives units
// beyond a byte, or bytes that do not decode, and its text stays as it came.
QString sourceText(const SQLWCHAR* buffer, qsizetype units) {
    const QString wideText = fromWideBuffer(buffer, units);
    QByteArray bytes;
    bytes.reserve(wideText.size());
    for (const QChar c : wideText) {
        if (c.unicode() > 0xFF) return wideText;
        bytes += char(c.unicode());
    }
    QStringDecoder decoder(QStringDecoder::System);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? wideText : text;
}
} // namespace

QList<OdbcDataSource> odbcDataSources() {
    QList<OdbcDataSource> sources;
    OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!env) return sources;
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, SQLPOINTER(SQL_OV_ODBC3), 0);
    SQLWCHAR name[1024], driver[1024];
    SQLSMALLINT nameLength = 0, driverLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    // "Success with information" (a name longer than the buffer) still keeps what came.
    while (SQL_SUCCEEDED(SQLDataSourcesW(env.get(), direction, name, SQLSMALLINT(std::size(name)),
                                         &nameLength, driver, SQLSMALLINT(std::size(driver)),
                                         &driverLength))) {
        sources.append({sourceText(name, qsizetype(std::size(name))),
                        sourceText(driver, qsizetype(std::size(driver)))});
        direction = SQL_FETCH_NEXT;
    }
    return sources;
}

QStringList odbcDataSourceNames() {
    QStringList names;
    for (const OdbcDataSource& source : odbcDataSources())
        if (!source.name.trimmed().isEmpty()) names << source.name;
    return names;
}

} // namespace db
