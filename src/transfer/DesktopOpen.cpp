#include "DesktopOpen.h"

#include <QMimeDatabase>
#include <QProcess>

namespace {
// Splits an Exec line into words: blanks separate, double quotes group, backslash escapes in
// quotes.
QStringList execWords(const QString& exec) {
    QStringList words;
    QString word;
    bool inQuotes = false, any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                word += exec[++i];
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                word += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = any = true;
        } else if (c.isSpace()) {
            if (any || !word.isEmpty()) words << word;
            word.clear();
            any = false;
        } else {
            word += c;
        }
    }
    if (any || !word.isEmpty()) words << word;
    return words;
}
} // namespace

QStringList launchCommand(const DesktopApplication& app, const QString& path) {
    QStringList command;
    bool namedFile = false;
    for (const QString& word : execWords(app.exec)) {
        if (word == QLatin1String("%f") || word == QLatin1String("%F")) {
            command << path;
            namedFile = true;
        } else if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            command << QUrl::fromLocalFile(path).toString();
            namedFile = true;
        } else if (word == QLatin1String("%i")) {
            if (!app.icon.isEmpty()) command << QStringLiteral("--icon") << app.icon;
        } else {
            QString expanded;
            for (qsizetype i = 0; i < word.size(); ++i) {
                if (word[i] != QLatin1Char('%') || i + 1 >= word.size()) {
                    expanded += word[i];
                    continue;
                }
                const QChar code = word[++i];
                if (code == QLatin1Char('%'))
                    expanded += code;
                else if (code == QLatin1Char('c'))
                    expanded += app.name;
                else if (code == QLatin1Char('k'))
                    expanded += app.file;
                // Other codes are deprecated or name no file here: dropped.
            }
            if (!expanded.isEmpty() || word.isEmpty()) command << expanded;
        }
    }
    if (!namedFile && !command.isEmpty()) command << path;
    return command;
}

bool openWithDefaultApplication(const QString& path,
                                const std::function<bool(const QUrl&)>& platformOpen) {
    const QString type =
        QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const DesktopApplication app = defaultApplicationFor(type);
    if (!app.isValid()) return false;
    if (platformOpen && platformOpen(QUrl::fromLocalFile(path))) return true;
    QStringList command = launchCommand(app, path);
    if (command.isEmpty()) return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}
