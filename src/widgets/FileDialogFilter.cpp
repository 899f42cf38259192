#include "FileDialogFilter.h"

#include <QStringList>

QString dialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Several patterns are ";"-separated in pairs and blank-separated for the dialog, also
        // where the description shows them: the dialog takes its patterns from there.
        const QString patterns =
            parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        QString description = parts[i];
        description.replace(QLatin1Char('(') + parts[i + 1] + QLatin1Char(')'),
                            QLatin1Char('(') + patterns + QLatin1Char(')'));
        filters << (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')'))
                        ? description
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}
