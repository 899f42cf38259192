#pragma once

#include <QString>
#include <map>

namespace db {

// The parts of a connection string that reach a driver, kept apart so that a ";" or "="
// typed by the user is never re-parsed.
struct LoginParams {
    QString provider;
    QString dataSource;
    QString userId;
    QString password;
    // Every other key of the connection string (a host, a port, a database, a driver's own
    // options), by its name in lower case: for backends that need more than the four above.
    std::map<QString, QString> options;

    QString option(const QString& name) const {
        const auto it = options.find(name.trimmed().toLower());
        return it == options.end() ? QString() : it->second;
    }
};

// Splits "Key=Value;Key=Value" as connection strings are written: keys are case-insensitive,
// values may be enclosed in double quotes, single quotes or braces to hold ";".
LoginParams parseConnectionString(const QString& text);

// Encloses a value for a driver connection string: braces, with "}" doubled.
QString braceQuote(const QString& value);
// A value for a driver connection string, in braces only where the grammar needs them (a ";",
// a brace, a blank in front): some drivers, MDBTools among them, keep braces in the value.
QString connectionValue(const QString& value);

} // namespace db
