#pragma once

#include "SettingsStore.h"

#include <QString>

// Every key of the settings store, with its section and the default its readers pass. Callers
// read and write through these constants only, so a key is spelled in exactly one place.
struct SettingKey {
    const char* section;
    const char* key;
    const char* defaultValue;

    QString sectionName() const { return QString::fromLatin1(section); }
    QString keyName() const { return QString::fromLatin1(key); }
    QString defaultText() const { return QString::fromLatin1(defaultValue); }
};

namespace keys {
// Login data of the connection dialog.
inline constexpr SettingKey LoginOdbc{"LOGIN", "ODBC", ""};
inline constexpr SettingKey LoginSql{"LOGIN", "SQL", ""};
inline constexpr SettingKey LoginOracle{"LOGIN", "Oracle", ""};
inline constexpr SettingKey LoginAccess{"LOGIN", "Access", ""};
inline constexpr SettingKey LoginOdbcId{"LOGIN", "ODBCID", ""};
inline constexpr SettingKey LoginSqlId{"LOGIN", "SQLID", ""};
inline constexpr SettingKey LoginOracleId{"LOGIN", "OracleID", ""};
inline constexpr SettingKey LoginAccessId{"LOGIN", "AccessID", ""};
inline constexpr SettingKey LoginOdbcPass{"LOGIN", "ODBCPass", ""};
inline constexpr SettingKey LoginSqlPass{"LOGIN", "SQLPass", ""};
inline constexpr SettingKey LoginOraclePass{"LOGIN", "OraclePass", ""};
inline constexpr SettingKey LoginAccessPass{"LOGIN", "AccessPass", ""};
inline constexpr SettingKey LoginConnection{"LOGIN", "CONNECTION", "0"};

// Options.
inline constexpr SettingKey PasswordSave{"Password", "Save", "False"};
inline constexpr SettingKey TableListAutoRefresh{"TableList", "AutoRefresh", "True"};
inline constexpr SettingKey QueryTimeout{"Query", "Timeout", "30"};
inline constexpr SettingKey QueryDelete{"Query", "Delete", "True"};
inline constexpr SettingKey ImportErrorHandling{"Import", "ErrorHandling", "False"};
inline constexpr SettingKey ImportRefresh{"Import", "Refresh", "100"};
inline constexpr SettingKey ExportField{"Export", "Field", "False"};
inline constexpr SettingKey GridShowNull{"Grid", "ShowNull", "True"};
// Data sources kept on their ODBC drivers although a server's own client library could serve
// them: names separated by ";", or "*" for all.
inline constexpr SettingKey OdbcDriverOnly{"ODBC", "DriverOnly", ""};

// Last folders of the file dialogs; "0" means none.
inline constexpr SettingKey ImportDirTab{"ImportDir", "TAB", "0"};
inline constexpr SettingKey ImportDirCsv{"ImportDir", "CSV", "0"};
inline constexpr SettingKey ImportDirFile{"ImportDir", "FILE", "0"};
inline constexpr SettingKey ExportDirTab{"ExportDir", "TAB", "0"};
inline constexpr SettingKey ExportDirCsv{"ExportDir", "CSV", "0"};

// Window positions in twips; applied only when greater than 0.
inline constexpr SettingKey MainLeft{"WindowsPosition", "Left", "0"};
inline constexpr SettingKey MainTop{"WindowsPosition", "Top", "0"};
inline constexpr SettingKey MainHeight{"WindowsPosition", "Height", "0"};
inline constexpr SettingKey MainWidth{"WindowsPosition", "Width", "0"};
inline constexpr SettingKey BatchLeft{"WindowsPosition", "BatchLeft", "0"};
inline constexpr SettingKey BatchTop{"WindowsPosition", "BatchTop", "0"};
inline constexpr SettingKey BatchHeight{"WindowsPosition", "BatchHeight", "0"};
inline constexpr SettingKey BatchWidth{"WindowsPosition", "BatchWidth", "0"};
} // namespace keys

// The stored text, or the key's default.
inline QString ReadSetting(const SettingKey& k) {
    return GetSetting(k.sectionName(), k.keyName(), k.defaultText());
}
inline bool WriteSetting(const SettingKey& k, const QString& value) {
    return SaveSetting(k.sectionName(), k.keyName(), value);
}
// A boolean key; a text that is not a boolean counts as the default.
inline bool ReadBoolSetting(const SettingKey& k) {
    return BooleanText(ReadSetting(k)).value_or(BooleanText(k.defaultText()).value_or(false));
}
inline bool WriteBoolSetting(const SettingKey& k, bool value) {
    return WriteSetting(k, value ? QStringLiteral("True") : QStringLiteral("False"));
}
