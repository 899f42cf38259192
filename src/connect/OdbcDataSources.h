#pragma once

#include <QStringList>

// The names of the ODBC data sources the driver manager knows, user and system alike, in the
// driver manager's order; empty when there are none or the driver manager fails.
QStringList odbcDataSourceNames();
