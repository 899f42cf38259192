#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace db {

struct OdbcDataSource {
    QString name;
    QString driver; // the driver's name the data source is registered with
};

// The ODBC data sources the driver manager knows, user and system alike, in the driver
// manager's order; empty when there are none or the driver manager fails.
QList<OdbcDataSource> odbcDataSources();

// A data source's entry as the driver manager reads it (the user's before the system's), and
// the driver that serves it, told by its library.
struct OdbcDataSourceEntry {
    enum class Driver { Other, PsqlOdbc, MariaDb };
    Driver driver = Driver::Other;
    QString driverName;
    std::vector<std::pair<QString, QString>> keys; // in the entry's order
};
OdbcDataSourceEntry odbcDataSourceEntry(const QString& name);
// Whether an entry's key (in lower case) is one of names: the keys a mapping passes over.
template <size_t N> bool isKeyOf(const QString& key, const char* const (&names)[N]) {
    for (const char* k : names)
        if (key == QLatin1String(k)) return true;
    return false;
}

// Their names, to choose from: a blank name cannot be chosen, so it is left out.
QStringList odbcDataSourceNames();

} // namespace db
