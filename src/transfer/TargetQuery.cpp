#include "TargetQuery.h"

QString importTargetQuery(const QString& source) {
    if (source.contains(QLatin1String("ORDER"), Qt::CaseInsensitive)) return source;
    if (!source.contains(QLatin1String("SELECT"), Qt::CaseInsensitive)) return source;
    const qsizetype where = source.indexOf(QLatin1String("WHERE"), 0, Qt::CaseInsensitive);
    if (where >= 0) return source.left(where) + QStringLiteral("where 1 = 2");
    return source + QStringLiteral(" where 1 = 2");
}

QString tableTargetQuery(const QString& tableName) {
    return QStringLiteral("select * from ") + tableName + QStringLiteral(" where 1 = 2");
}

QString tableSourceQuery(const QString& tableName) {
    return QStringLiteral("select * from ") + tableName + QLatin1Char(' ');
}
