#include "TemporaryPages.h"

#include "CacheFolder.h"

QString temporaryPageName(int number) {
    return QStringLiteral("temp%1.html").arg(number);
}

QStringList temporaryPageFolders(const QString& programFolder) {
    QStringList folders;
    if (!programFolder.isEmpty()) folders << programFolder;
    const QString cache = userCacheFolder();
    if (!cache.isEmpty() && !folders.contains(cache)) folders << cache;
    return folders;
}

bool createTemporaryPage(const QStringList& folders, QFile& file) {
    for (const QString& folder : folders) {
        for (int n = 0; n >= 0; ++n) {
            const QString path = folder + temporaryPageName(n);
            if (QFile::exists(path)) continue;
            file.setFileName(path);
            // NewOnly: a second process of the program may take the same number at the same time.
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
                return true;
            if (!QFile::exists(path)) break; // the folder takes no new file: try the next one
        }
    }
    return false;
}

void DeleteTemporaryPages(const QStringList& folders) {
    for (const QString& folder : folders)
        for (int n = 0; n <= kLastDeletedPage; ++n)
            QFile::remove(folder + temporaryPageName(n));
}
