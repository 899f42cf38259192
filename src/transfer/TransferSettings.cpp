#include "TransferSettings.h"

#include "TransferErrors.h"
#include "TransferTexts.h"

#include <QFileInfo>

bool readRefreshInterval(int& interval, db::Error& error) {
    const QString text = ReadSetting(keys::ImportRefresh);
    interval = keys::ImportRefresh.defaultText().toInt();
    if (!NumericText(text)) return true;
    const std::optional<qint16> value = Integer16Text(text);
    if (!value) {
        error = transfer_error::overflow();
        return false;
    }
    interval = std::max<int>(1, *value);
    return true;
}

QString dialogFolder(const SettingKey& key) {
    const QString dir = ReadSetting(key);
    if (dir == QLatin1String("0") || !QFileInfo(dir).isDir()) return QString();
    return dir;
}

bool isTabSeparator(const QString& separator) {
    return separator == kTab;
}

DialogTexts dialogTexts(const QString& separator) {
    if (isTabSeparator(separator)) return {kTabDialogTitle, kTabDialogFilter};
    return {kCsvDialogTitle, kCsvDialogFilter};
}

DialogTexts importDialogTexts(const QString& separator) {
    DialogTexts texts = dialogTexts(separator);
    texts.filter += QLatin1Char('|') + kWorkbookImportFilter;
    return texts;
}
