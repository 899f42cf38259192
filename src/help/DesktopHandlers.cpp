#include "DesktopHandlers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QProcessEnvironment>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

namespace {
using Group = QHash<QString, QString>;
using KeyFile = QHash<QString, Group>;

// The group/key=value files of the desktop (mimeapps.list, .desktop entries); locale keys and
// comments are kept as plain keys and never asked for.
KeyFile readKeyFile(const QString& path) {
    KeyFile file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return file;
    QTextStream in(&f);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || group.isEmpty()) continue;
        file[group].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
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

// A desktop entry id is its path below an applications folder with "/" turned into "-".
QString findDesktopEntry(const QString& id) {
    for (const QString& folder : applicationFolders()) {
        const QString direct = folder + QLatin1Char('/') + id;
        if (QFile::exists(direct)) return direct;
        QString nested = id;
        for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash >= 0;
             dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
            nested[dash] = QLatin1Char('/');
            if (QFile::exists(folder + QLatin1Char('/') + nested))
                return folder + QLatin1Char('/') + nested;
        }
    }
    return QString();
}

bool usableEntry(const QString& path) {
    if (path.isEmpty()) return false;
    const Group entry = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
    if (entry.value(QStringLiteral("Hidden")).compare(QLatin1String("true"), Qt::CaseInsensitive) ==
        0)
        return false;
    const QString type = entry.value(QStringLiteral("Type"), QStringLiteral("Application"));
    return type == QLatin1String("Application");
}

// mimeapps.list files, the most important first.
QStringList mimeappsFiles() {
    QStringList prefixes;
    const QString desktops =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CURRENT_DESKTOP"));
    for (const QString& d : desktops.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        prefixes << d.toLower() + QLatin1Char('-');
    prefixes << QString();
    QStringList files;
    auto addFolder = [&](const QString& folder) {
        for (const QString& prefix : prefixes)
            files << folder + QLatin1Char('/') + prefix + QStringLiteral("mimeapps.list");
    };
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        addFolder(folder);
    for (const QString& folder : applicationFolders())
        addFolder(folder);
    return files;
}
} // namespace

QStringList desktopHandlers(const QString& mimeType) {
    QStringList handlers;
    QSet<QString> removed;
    auto consider = [&](const QString& id) {
        if (handlers.contains(id) || removed.contains(id)) return;
        if (usableEntry(findDesktopEntry(id))) handlers << id;
    };
    QStringList added;
    for (const QString& path : mimeappsFiles()) {
        const KeyFile file = readKeyFile(path);
        for (const QString& id :
             listValue(file.value(QStringLiteral("Default Applications")).value(mimeType)))
            consider(id);
        for (const QString& id :
             listValue(file.value(QStringLiteral("Added Associations")).value(mimeType)))
            if (!removed.contains(id)) added << id;
        // A removal holds for the less important files that follow.
        for (const QString& id :
             listValue(file.value(QStringLiteral("Removed Associations")).value(mimeType)))
            removed.insert(id);
    }
    for (const QString& id : added)
        consider(id);

    for (const QString& folder : applicationFolders()) {
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString id =
                QDir(folder).relativeFilePath(path).replace(QLatin1Char('/'), QLatin1Char('-'));
            if (handlers.contains(id) || removed.contains(id)) continue;
            // The first folder that holds an id decides it; later copies are shadowed.
            if (findDesktopEntry(id) != path) continue;
            const Group entry = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
            if (listValue(entry.value(QStringLiteral("MimeType"))).contains(mimeType) &&
                usableEntry(path))
                handlers << id;
        }
    }
    return handlers;
}

bool hasDesktopHandler(const QString& filePath) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(filePath, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return false;
    QStringList names{type.name()};
    names << type.aliases();
    for (const QString& name : names)
        if (!desktopHandlers(name).isEmpty()) return true;
    return false;
}
