#pragma once

#include "db/Error.h"
#include "options/SettingsKeys.h"

#include <QString>

// The rows between two status updates ("Import"/"Refresh", a 16-bit number; not a number
// gives the default). 0 or less counts as 1, so that the count still shows. False (with
// an overflow error) for a number beyond 16 bits.
bool readRefreshInterval(int& interval, db::Error& error);

// The folder a file dialog opens in, from its setting: "" when none is saved ("0") or the
// saved folder no longer exists.
QString dialogFolder(const SettingKey& key);

// The dialog setting, title and filter for a separator: TAB for a tab, CSV otherwise.
struct DialogTexts {
    QString title;
    QString filter;
};
DialogTexts dialogTexts(const QString& separator);
// The import's: the same, and workbooks offered beside the text files.
DialogTexts importDialogTexts(const QString& separator);
bool isTabSeparator(const QString& separator);
