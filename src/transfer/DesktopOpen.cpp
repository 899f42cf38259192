#include "DesktopOpen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace {
using Groups = QHash<QString, QHash<QString, QString>>;

// A desktop-entry style file: [Group] headers and key=value lines; localised keys are skipped.
Groups readKeyFile(const QString& path) {
    Groups groups;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return groups;
    QTextStream in(&f);
    QString group;
    QString line;
    while (in.readLineInto(&line)) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#'))) continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            group = t.mid(1, t.size() - 2);
            continue;
        }
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = t.left(eq).trimmed();
        if (key.contains(QLatin1Char('['))) continue;
        groups[group].insert(key, t.mid(eq + 1).trimmed());
    }
    return groups;
}

QStringList listValue(const QString& value) {
    QStringList items = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& s : items)
        s = s.trimmed();
    items.removeAll(QString());
    return items;
}

QString envOr(const char* name, const QString& fallback) {
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? fallback : v;
}

QStringList envDirs(const char* name, const QString& fallback) {
    return envOr(name, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QStringList applicationDirs() {
    QStringList dirs{envOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share")) +
                     QStringLiteral("/applications")};
    for (const QString& d : envDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        dirs << d + QStringLiteral("/applications");
    return dirs;
}

// The mimeapps.list files from the most to the least important.
QStringList associationFiles() {
    QStringList desktops;
    for (const QString& d :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops << d.toLower();
    QStringList dirs{envOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"))};
    dirs << envDirs("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    dirs << applicationDirs();
    QStringList files;
    for (const QString& dir : dirs) {
        for (const QString& d : desktops)
            files << dir + QLatin1Char('/') + d + QStringLiteral("-mimeapps.list");
        files << dir + QStringLiteral("/mimeapps.list");
    }
    return files;
}

// The entry of an installed application; invalid when it is missing, hidden or cannot run.
DesktopApplication installed(const QString& id) {
    for (const QString& dir : applicationDirs()) {
        const QString path = dir + QLatin1Char('/') + id;
        if (!QFileInfo(path).isFile()) continue;
        const QHash<QString, QString> entry =
            readKeyFile(path).value(QStringLiteral("Desktop Entry"));
        // The first entry of an id hides the ones after it, even when it is itself unusable.
        if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true")) return {};
        if (entry.value(QStringLiteral("Type"), QStringLiteral("Application")) !=
            QLatin1String("Application"))
            return {};
        const QString tryExec = entry.value(QStringLiteral("TryExec"));
        if (!tryExec.isEmpty() && QStandardPaths::findExecutable(tryExec).isEmpty() &&
            !QFileInfo(tryExec).isExecutable())
            return {};
        return {id, path, entry.value(QStringLiteral("Exec")), entry.value(QStringLiteral("Name")),
                entry.value(QStringLiteral("Icon"))};
    }
    return {};
}

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

DesktopApplication defaultApplicationFor(const QString& mimeType) {
    QStringList types{mimeType};
    const QMimeType mime = QMimeDatabase().mimeTypeForName(mimeType);
    if (mime.isValid()) {
        types << mime.name() << mime.aliases();
        types.removeDuplicates();
    }
    const QStringList files = associationFiles();
    QList<Groups> lists;
    QStringList removed;
    for (const QString& f : files) {
        lists << readKeyFile(f);
        for (const QString& t : types)
            removed << listValue(
                lists.back().value(QStringLiteral("Removed Associations")).value(t));
    }
    for (const char* group : {"Default Applications", "Added Associations"}) {
        const bool added = QByteArrayView(group) == "Added Associations";
        for (const Groups& list : lists)
            for (const QString& t : types)
                for (const QString& id :
                     listValue(list.value(QString::fromLatin1(group)).value(t))) {
                    if (added && removed.contains(id)) continue;
                    const DesktopApplication app = installed(id);
                    if (app.isValid()) return app;
                }
    }
    // Installed entries that list the type, by name.
    for (const QString& dir : applicationDirs()) {
        for (const QString& id :
             QDir(dir).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name)) {
            if (removed.contains(id)) continue;
            const QStringList listed = listValue(readKeyFile(dir + QLatin1Char('/') + id)
                                                     .value(QStringLiteral("Desktop Entry"))
                                                     .value(QStringLiteral("MimeType")));
            bool match = false;
            for (const QString& t : types)
                match = match || listed.contains(t);
            if (!match) continue;
            const DesktopApplication app = installed(id);
            if (app.isValid()) return app;
        }
    }
    return {};
}

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
