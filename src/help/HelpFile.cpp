#include "HelpFile.h"

#include "HelpTexts.h"
#include "common/DesktopEntries.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

QStringList helpFolders(const QString& programFolder) {
    QStringList folders;
    auto add = [&](const QString& folder) {
        const QString clean = QDir::cleanPath(folder);
        if (!folder.isEmpty() && !folders.contains(clean)) folders << clean;
    };
    add(programFolder);
    add(programFolder + QLatin1Char('/') + kInstalledDataFolder);
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        add(data + QLatin1Char('/') + kDataFolderName);
    return folders;
}

QString findHelpFile(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QFileInfo file(folder + QLatin1Char('/') + kHelpFileName);
        if (file.isFile()) return file.absoluteFilePath();
    }
    return QString();
}

QString helpDocument(const QStringList& folders,
                     const std::function<bool(const QString&)>& hasViewer) {
    const QString chm = findHelpFile(folders);
    if (chm.isEmpty()) return QString();
    if (hasViewer && hasViewer(chm)) return chm;
    const QFileInfo index(QFileInfo(chm).absolutePath() + QLatin1Char('/') + kHelpIndexPage);
    return index.isFile() ? index.absoluteFilePath() : QString();
}

QString OpenHelpFile() {
    try {
        const QStringList folders = helpFolders(QCoreApplication::applicationDirPath());
        const QString document = helpDocument(folders, hasDesktopHandler);
        if (document.isEmpty()) {
            const QString chm = findHelpFile(folders);
            return chm.isEmpty() ? kNoHelpFile + kHelpFileName : kNoHelpViewer + chm;
        }
        // Whether a viewer then came up is the desktop's business; a desktop without any
        // launcher says so at once.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(document)))
            return kNoHelpViewer + document;
    } catch (...) {
        // Opening the help never disturbs the window it was asked from.
    }
    return QString();
}
