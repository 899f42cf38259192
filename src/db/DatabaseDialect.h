#pragma once

#include "Error.h"
#include "ResultData.h"
#include "SqlParts.h"

#include <QStringList>
#include <vector>

namespace db {

// What a database reads and can do, as its backend tells it once when it opens. The layers
// above ask this, never the product's name: a new backend describes itself here and the
// table list, the colouring and the bulk writer follow.
struct DatabaseDialect {
    // The product as its driver names it ("SQLite", "PostgreSQL", "MDBTOOLS"): to be shown.
    QString dbmsName;
    // How its statements read: quotes, comments, names.
    SqlFamily family = SqlFamily::Postgres;
    // The database's own quote for names ("\"", "`"), doubled inside a name.
    QString identifierQuote;
    // [name] is a name, and names that need quotes go in brackets; otherwise in
    // identifierQuote.
    bool acceptsBrackets = false;
    // Every table name goes in brackets, needed or not.
    bool bracketsEveryTable = false;
    // A column name beyond ASCII goes in brackets: the driver finds it no other way
    // (MDBTools).
    bool bracketsBeyondAscii = false;
    // How unquoted names are stored; names stored otherwise need quotes.
    IdentifierCase identifierCase = IdentifierCase::Mixed;
    // Words reserved beyond standard SQL's, in upper case, as the driver tells.
    QStringList keywords;
    // The driver only reads: every write is refused before it is tried.
    bool readOnly = false;
    // A statement whose rows are the schemas an unqualified name is looked up in, in order;
    // empty where the database does not tell, and every listed table is taken unqualified.
    QString searchPathQuery;

    // What it can do.
    // A text of several statements runs, each once, in order.
    bool severalStatements = true;
    // Many rows of an insert go in one statement, where the table allows it.
    bool rowsInBatches = false;
    // A failed statement inside a transaction leaves the earlier ones intact, so that inserts
    // may be committed in batches.
    bool keepsTransactionOnError = false;
    // How a lost session shows in an error: its SQL state starts with one of these, or it is
    // one of these numbers of the database under one of the given states. Class 08 means a
    // lost connection in every database, and also before any session told more.
    QStringList lostSessionStates{QStringLiteral("08")};
    struct NumberedError {
        QString state;
        qint32 number;
    };
    std::vector<NumberedError> lostSessionErrors;

    bool endsSession(const Error& e) const {
        for (const QString& prefix : lostSessionStates)
            if (e.sqlState.startsWith(prefix)) return true;
        for (const NumberedError& n : lostSessionErrors)
            if (e.sqlState == n.state && e.Number == n.number) return true;
        return false;
    }
    bool endsSession(const ErrorList& errors) const {
        for (const Error& e : errors)
            if (endsSession(e)) return true;
        return false;
    }
};

} // namespace db
