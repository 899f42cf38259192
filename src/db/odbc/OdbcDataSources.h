#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace db {

struct OdbcDataSource {
    QString name;
    QString driver; // the driver's name the data source is registered with
};

// The ODBC data sources the driver manager knows, user and system alike, in the driver
// manager's order; empty when there are none or the driver manager fails.
QList<OdbcDataSource> odbcDataSources();

// Their names, to choose from: a blank name cannot be chosen, so it is left out.
QStringList odbcDataSourceNames();

} // namespace db
