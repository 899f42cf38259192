#include "CacheFolder.h"

#include "options/SettingsStore.h"

#include <QDir>
#include <QStandardPaths>

QString userCacheFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty()) return QString();
    const QString folder = base + QLatin1Char('/') + kApplicationName + QLatin1Char('/');
    if (!QDir().mkpath(folder)) return QString();
    return folder;
}
