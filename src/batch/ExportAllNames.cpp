#include "ExportAllNames.h"

#include "BatchLine.h"
#include "BatchTexts.h"
#include "common/BlankText.h"

QString JoinedCommandText(const QString& commandText) {
    QString text = commandText;
    text.remove(batchtext::kCrLf);
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

QString OutputFolder(const QString& typed) {
    // Trailing blanks after the separator must not earn it a second one.
    QString folder = trimBlanks(typed);
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

QString DataFilePath(const QString& folder, const QString& tableEntry, const QString& extension) {
    QString name = trimBlanks(tableEntry);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    return folder + name + extension;
}

QString UnusedDataFilePath(const QString& folder, const QString& tableEntry,
                           const QString& extension, const QSet<QString>& used) {
    const QString path = DataFilePath(folder, tableEntry, extension);
    if (!used.contains(path)) return path;
    const QString stem = path.chopped(extension.size());
    for (int n = 2;; ++n) {
        const QString numbered = stem + QLatin1Char('_') + QString::number(n) + extension;
        if (!used.contains(numbered)) return numbered;
    }
}
