#include "DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>

namespace {
using Group = QHash<QString, QString>;
using KeyFile = QHash<QString, Group>;

// The [Group] and key=value lines of a desktop file (mimeapps.list, a .desktop entry);
// localised keys are never asked for and skipped.
KeyFile readKeyFile(const QString& path) {
    KeyFile file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return file;
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
        if (eq <= 0 || group.isEmpty()) continue;
        const QString key = t.left(eq).trimmed();
        if (key.contains(QLatin1Char('['))) continue;
        file[group].insert(key, t.mid(eq + 1).trimmed());
    }
    return file;
}

QStringList listValue(const QString& value) {
    QStringList items;
    for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty()) items << item.trimmed();
    return items;
}

QStringList applicationFolders() {
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

// An id is the entry's path below an applications folder with "/" turned into "-".
QString findEntry(const QString& id) {
    for (const QString& folder : applicationFolders()) {
        const QString direct = folder + QLatin1Char('/') + id;
        if (QFileInfo(direct).isFile()) return direct;
        QString nested = id;
        for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash >= 0;
             dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
            nested[dash] = QLatin1Char('/');
            if (QFileInfo(folder + QLatin1Char('/') + nested).isFile())
                return folder + QLatin1Char('/') + nested;
        }
    }
    return QString();
}

// The installed application of an id; invalid when it is missing, hidden or cannot run.
DesktopApplication installed(const QString& id) {
    const QString path = findEntry(id);
    if (path.isEmpty()) return {};
    const Group entry = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
    if (entry.value(QStringLiteral("Hidden")).compare(QLatin1String("true"), Qt::CaseInsensitive) ==
        0)
        return {};
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

// mimeapps.list files, the most important first: the desktop's own before the general one,
// config folders before the applications folders.
QStringList mimeappsFiles() {
    QStringList prefixes;
    for (const QString& d :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        prefixes << d.toLower() + QLatin1Char('-');
    prefixes << QString();
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders << applicationFolders();
    QStringList files;
    for (const QString& folder : folders)
        for (const QString& prefix : prefixes)
            files << folder + QLatin1Char('/') + prefix + QStringLiteral("mimeapps.list");
    return files;
}

// Installed entries below an applications folder, by id.
QStringList entryIds(const QString& folder) {
    QStringList ids;
    QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ids << QDir(folder).relativeFilePath(it.next()).replace(QLatin1Char('/'), QLatin1Char('-'));
    ids.sort();
    return ids;
}
} // namespace

QList<DesktopApplication> desktopApplications(const QStringList& mimeTypes) {
    QList<DesktopApplication> apps;
    QSet<QString> seen;
    const auto consider = [&](const QString& id) {
        if (seen.contains(id)) return;
        seen.insert(id);
        const DesktopApplication app = installed(id);
        if (app.isValid()) apps << app;
    };
    const auto listed = [&](const KeyFile& file, const QString& group) {
        QStringList ids;
        for (const QString& type : mimeTypes)
            ids << listValue(file.value(group).value(type));
        return ids;
    };
    QStringList added;
    QSet<QString> removed;
    for (const QString& path : mimeappsFiles()) {
        const KeyFile file = readKeyFile(path);
        for (const QString& id : listed(file, QStringLiteral("Default Applications")))
            consider(id);
        // A removal holds in its own file and the less important ones that follow.
        for (const QString& id : listed(file, QStringLiteral("Removed Associations")))
            removed.insert(id);
        for (const QString& id : listed(file, QStringLiteral("Added Associations")))
            if (!removed.contains(id)) added << id;
    }
    for (const QString& id : added)
        consider(id);
    for (const QString& folder : applicationFolders()) {
        for (const QString& id : entryIds(folder)) {
            if (seen.contains(id) || removed.contains(id)) continue;
            // Another folder's entry of this id decides it, listed or not.
            const QString path = findEntry(id);
            const QStringList types = listValue(readKeyFile(path)
                                                    .value(QStringLiteral("Desktop Entry"))
                                                    .value(QStringLiteral("MimeType")));
            if (std::any_of(mimeTypes.begin(), mimeTypes.end(),
                            [&](const QString& t) { return types.contains(t); }))
                consider(id);
        }
    }
    return apps;
}

QStringList desktopHandlers(const QString& mimeType) {
    QStringList ids;
    for (const DesktopApplication& app : desktopApplications({mimeType}))
        ids << app.id;
    return ids;
}

DesktopApplication defaultApplicationFor(const QString& mimeType) {
    QStringList types{mimeType};
    const QMimeType mime = QMimeDatabase().mimeTypeForName(mimeType);
    if (mime.isValid()) {
        types << mime.name() << mime.aliases();
        types.removeDuplicates();
    }
    const QList<DesktopApplication> apps = desktopApplications(types);
    return apps.isEmpty() ? DesktopApplication{} : apps.front();
}

bool hasDesktopHandler(const QString& filePath) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(filePath, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return false;
    return defaultApplicationFor(type.name()).isValid();
}
