#include "db/odbc/OdbcDataSources.h"

#include "OdbcHandle.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <iterator>
#include <odbcinst.h>

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

namespace {
// One value of a profile section, or with key null the section's keys, each ended by a NUL.
QByteArray profileText(const QByteArray& section, const char* key, const char* file) {
    std::vector<char> buffer(4096);
    for (;;) {
        const int n = SQLGetPrivateProfileString(section.constData(), key, "", buffer.data(),
                                                 int(buffer.size()), file);
        if (n < 0) return QByteArray();
        // A full buffer may have cut the text: once more with room.
        if (size_t(n) + 2 < buffer.size() || buffer.size() >= (1u << 20))
            return QByteArray(buffer.data(), n);
        buffer.resize(buffer.size() * 4);
    }
}

OdbcDataSourceEntry::Driver driverOfLibrary(const QString& library, const QString& name) {
    const QString file = QFileInfo(library).fileName().toLower();
    if (file.startsWith(QLatin1String("psqlodbc"))) return OdbcDataSourceEntry::Driver::PsqlOdbc;
    if (file.startsWith(QLatin1String("libmaodbc"))) return OdbcDataSourceEntry::Driver::MariaDb;
    if (library.isEmpty() && name.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive))
        return OdbcDataSourceEntry::Driver::PsqlOdbc;
    return OdbcDataSourceEntry::Driver::Other;
}
} // namespace

OdbcDataSourceEntry odbcDataSourceEntry(const QString& name) {
    OdbcDataSourceEntry entry;
    const QByteArray section = name.toLocal8Bit();
    const QByteArray keys = profileText(section, nullptr, "odbc.ini");
    for (const QByteArray& key : keys.split('\0')) {
        if (key.trimmed().isEmpty()) continue;
        const QString value =
            QString::fromLocal8Bit(profileText(section, key.constData(), "odbc.ini"));
        const QString k = QString::fromLocal8Bit(key);
        entry.keys.push_back({k, value});
        if (k.trimmed().compare(QLatin1String("Driver"), Qt::CaseInsensitive) == 0)
            entry.driverName = value.trimmed();
    }
    // The entry names a driver of odbcinst.ini, or its library itself.
    QString library = entry.driverName;
    if (!library.contains(QLatin1Char('/')))
        library = QString::fromLocal8Bit(
            profileText(entry.driverName.toLocal8Bit(), "Driver", "odbcinst.ini"));
    entry.driver = driverOfLibrary(library.trimmed(), entry.driverName);
    return entry;
}

QStringList odbcDataSourceNames() {
    QStringList names;
    for (const OdbcDataSource& source : odbcDataSources())
        if (!source.name.trimmed().isEmpty()) names << source.name;
    return names;
}

} // namespace db
