#include "TargetQuery.h"

#include "db/SqlText.h"

#include <QStringList>

QString importTargetQuery(const QString& source) {
    if (source.contains(QLatin1String("ORDER"), Qt::CaseInsensitive)) return source;
    if (!source.contains(QLatin1String("SELECT"), Qt::CaseInsensitive)) return source;
    const qsizetype where = source.indexOf(QLatin1String("WHERE"), 0, Qt::CaseInsensitive);
    if (where >= 0) return source.left(where) + QStringLiteral("where 1 = 2");
    return source + QStringLiteral(" where 1 = 2");
}

namespace {
// Brackets are a guess for a driver that names no quote of its own; a database that reads
// none would end the statement at a ";" or cut it at a comment inside them.
bool bracketable(const QString& name) {
    for (const char* end : {"]", ";", "--", "/*", "#"})
        if (name.contains(QLatin1String(end))) return false;
    return true;
}
} // namespace

std::optional<QString> tableNameSql(const QString& tableName, const QString& quote) {
    // A comment ("#" in MySQL, "--") ends at a line break: one inside the name would let the
    // rest of it run as SQL.
    const QString inner = tableName.trimmed();
    if (inner.contains(QLatin1Char('\n')) || inner.contains(QLatin1Char('\r'))) return std::nullopt;
    const auto parts = db::splitTableName(tableName);
    if (!parts) return std::nullopt;
    const QString q = quote.trimmed();
    const bool quotes = q == QLatin1String("\"") || q == QLatin1String("`");
    QStringList sql;
    for (const db::NamePart& p : *parts) {
        if (!p.quoted)
            sql << p.name;
        else if (quotes)
            sql << db::quoteIdentifier(p.name, q);
        else if (bracketable(p.name))
            sql << QLatin1Char('[') + p.name + QLatin1Char(']');
        else
            return std::nullopt;
    }
    return sql.join(QLatin1Char('.'));
}

std::optional<QString> tableTargetQuery(const QString& tableName, const QString& quote) {
    const std::optional<QString> name = tableNameSql(tableName, quote);
    if (!name) return std::nullopt;
    return QStringLiteral("select * from ") + *name + QStringLiteral(" where 1 = 2");
}

std::optional<QString> tableSourceQuery(const QString& tableName, const QString& quote) {
    const std::optional<QString> name = tableNameSql(tableName, quote);
    if (!name) return std::nullopt;
    return QStringLiteral("select * from ") + *name + QLatin1Char(' ');
}
