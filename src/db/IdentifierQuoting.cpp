#include "IdentifierQuoting.h"

#include "Connection.h"

#include <QSet>
#include <algorithm>

namespace db {

namespace {
const QString kForcing = QStringLiteral(" -$'\"%&=()?><@{}");
// Characters that would otherwise end the name, join another table or start a comment or a
// further statement: a name holding one is bracketed too.
const QString kStatementBreaking = QStringLiteral(";,./*[]`");

bool forcesBrackets(QChar c) {
    return kForcing.contains(c) || kStatementBreaking.contains(c) || c.unicode() < 0x20;
}

// Words that cannot name a table without quotes in PostgreSQL and standard SQL.
const QSet<QString>& reservedWords() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w : {"all",
                              "analyse",
                              "analyze",
                              "and",
                              "any",
                              "array",
                              "as",
                              "asc",
                              "asymmetric",
                              "authorization",
                              "binary",
                              "both",
                              "case",
                              "cast",
                              "check",
                              "collate",
                              "collation",
                              "column",
                              "concurrently",
                              "constraint",
                              "create",
                              "cross",
                              "current_catalog",
                              "current_date",
                              "current_role",
                              "current_schema",
                              "current_time",
                              "current_timestamp",
                              "current_user",
                              "default",
                              "deferrable",
                              "desc",
                              "distinct",
                              "do",
                              "else",
                              "end",
                              "except",
                              "false",
                              "fetch",
                              "for",
                              "foreign",
                              "freeze",
                              "from",
                              "full",
                              "grant",
                              "group",
                              "having",
                              "ilike",
                              "in",
                              "initially",
                              "inner",
                              "intersect",
                              "into",
                              "is",
                              "isnull",
                              "join",
                              "lateral",
                              "leading",
                              "left",
                              "like",
                              "limit",
                              "localtime",
                              "localtimestamp",
                              "natural",
                              "not",
                              "notnull",
                              "null",
                              "offset",
                              "on",
                              "only",
                              "or",
                              "order",
                              "outer",
                              "overlaps",
                              "placing",
                              "primary",
                              "references",
                              "returning",
                              "right",
                              "select",
                              "session_user",
                              "similar",
                              "some",
                              "symmetric",
                              "system_user",
                              "table",
                              "tablesample",
                              "then",
                              "to",
                              "trailing",
                              "true",
                              "union",
                              "unique",
                              "user",
                              "using",
                              "variadic",
                              "verbose",
                              "when",
                              "where",
                              "window",
                              "with"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

// A name the database reads as written only inside its quotes: one it would fold to
// another case, one that is not a plain identifier, or a reserved word (its own, as the
// driver lists them, or standard SQL's).
bool needsDriverQuotes(const QString& name, IdentifierCase identifierCase,
                       const QStringList& keywords) {
    if (name.isEmpty() || !(name.front().isLetter() || name.front() == QLatin1Char('_')))
        return true;
    if (std::any_of(name.begin(), name.end(), [](QChar c) {
            return !c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('$');
        }))
        return true;
    if (identifierCase == IdentifierCase::Lower && name != name.toLower()) return true;
    if (identifierCase == IdentifierCase::Upper && name != name.toUpper()) return true;
    return reservedWords().contains(name.toLower()) || keywords.contains(name.toUpper());
}

// Brackets cannot hold a "]" (the database ends the name there), and some drivers split
// statements at a ";" even between brackets: such a name goes in the database's own quotes,
// doubled inside.
QString inBrackets(const QString& name, const Connection* c) {
    const QString quote = c && c->isOpen() ? c->identifierQuote().trimmed() : QString();
    if ((name.contains(QLatin1Char(']')) || name.contains(QLatin1Char(';'))) && !quote.isEmpty() &&
        quote != QLatin1String("["))
        return quote + QString(name).replace(quote, quote + quote) + quote;
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// The open database reads no brackets: names go in its own quotes. The SQL Server and Access
// logins keep their brackets whatever their driver says.
bool usesDriverQuotes(const ConnectionRecord& connection) {
    const Connection* c = connection.adoConnection.get();
    const bool mayQuote =
        connection.kind == ConnectionKind::Odbc || connection.kind == ConnectionKind::Oracle;
    return mayQuote && c && c->isOpen() && !c->dialect().acceptsBrackets;
}

} // namespace

QString BracketName(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString AddTableName(const QString& name, const ConnectionRecord& connection) {
    if (usesDriverQuotes(connection)) {
        // PostgreSQL, MySQL and the like reject brackets: use the driver's own quotes.
        const DatabaseDialect& d = connection.adoConnection->dialect();
        const QString quote = d.identifierQuote.trimmed();
        if (quote.isEmpty() || !needsDriverQuotes(name, d.identifierCase, d.keywords)) return name;
        return quote + QString(name).replace(quote, quote + quote) + quote;
    }
    const Connection* c = connection.adoConnection.get();
    // The Access login brackets every table name, whatever file it opened.
    const bool everyName = connection.kind == ConnectionKind::Access ||
                           (c && c->isOpen() && c->dialect().bracketsEveryTable);
    if (!everyName && std::none_of(name.begin(), name.end(), forcesBrackets)) return name;
    return inBrackets(name, c);
}

QString AddColumnName(const QString& name, const ConnectionRecord& connection) {
    if (usesDriverQuotes(connection)) return AddTableName(name, connection);
    const Connection* c = connection.adoConnection.get();
    const bool open = c && c->isOpen();
    const bool beyondAscii =
        std::any_of(name.begin(), name.end(), [](QChar ch) { return ch.unicode() > 0x7f; });
    if ((beyondAscii && open && c->dialect().bracketsBeyondAscii) ||
        std::any_of(name.begin(), name.end(), forcesBrackets) ||
        needsDriverQuotes(name, IdentifierCase::Mixed,
                          open ? c->dialect().keywords : QStringList()))
        return inBrackets(name, c);
    return name;
}

} // namespace db
