#pragma once

#include <QString>
#include <optional>

// The per-user settings store: text values by section and key under the application name
// "Tolvan", kept in $XDG_CONFIG_HOME/Tolvan/Tolvan.ini (readable by its owner only, since it
// can hold passwords). Every read goes to the file, so two running processes see each
// other's writes; a write merges into the file and never drops another process's keys.

inline const QString kApplicationName = QStringLiteral("Tolvan");

QString settingsFilePath();

// A settings file larger than this is not a settings file the program wrote: reads then give
// the defaults and writes leave it untouched, instead of the dialogs waiting on it.
inline constexpr qint64 kSettingsFileSizeLimit = 4 * 1024 * 1024;

// The stored text, or the default as text when the key (or the file) is missing or
// unreadable: "" stays "", numbers give their decimal text, booleans "True"/"False".
QString GetSetting(const QString& section, const QString& key,
                   const QString& defaultValue = QString());
QString GetSetting(const QString& section, const QString& key, int defaultValue);
QString GetSetting(const QString& section, const QString& key, bool defaultValue);
inline QString GetSetting(const QString& section, const QString& key, const char* defaultValue) {
    return GetSetting(section, key, QString::fromUtf8(defaultValue));
}

// Stores the text; an empty text is kept as an empty value. Every other line of the file,
// comments and lines that are not settings included, stays as it was. False when the file
// could not be written (the old value then stays).
bool SaveSetting(const QString& section, const QString& key, const QString& value);

// "True"/"False" in any letter case, or a number (0 is False, any other True); nothing else
// is a boolean.
std::optional<bool> BooleanText(const QString& text);

// A boolean setting; a text that is not a boolean counts as the default.
bool GetBoolSetting(const QString& section, const QString& key, bool defaultValue);

// A number as the settings and the options dialog accept it: optional sign, decimals and
// exponent, blanks around, full-width digits too; nothing else.
std::optional<double> NumericText(const QString& text);

// A numeric text converted to a 16-bit integer, halves rounded to even; nothing when it is
// not numeric or out of range.
std::optional<qint16> Integer16Text(const QString& text);
