#include "SettingsStore.h"

#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Section and key as they stand in the file, matched without regard to letter case.
QString storedName(QSettings& s, const QString& section, const QString& key) {
    QString group = section;
    if (!s.childGroups().contains(section)) {
        for (const QString& g : s.childGroups())
            if (g.compare(section, Qt::CaseInsensitive) == 0) {
                group = g;
                break;
            }
    }
    s.beginGroup(group);
    QString name = key;
    const QStringList keys = s.childKeys();
    if (!keys.contains(key)) {
        for (const QString& k : keys)
            if (k.compare(key, Qt::CaseInsensitive) == 0) {
                name = k;
                break;
            }
    }
    s.endGroup();
    return group + QLatin1Char('/') + name;
}

// A value of the INI format can come back as a list when it holds commas.
QString asText(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

// Creates the file readable by its owner only before anything is written into it.
void ensurePrivateFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) ::close(fd);
}
} // namespace

QString settingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           kApplicationName + QLatin1Char('/') + kApplicationName + QStringLiteral(".ini");
}

QString GetSetting(const QString& section, const QString& key, const QString& defaultValue) {
    const QString path = settingsFilePath();
    if (!QFileInfo::exists(path)) return defaultValue;
    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError) return defaultValue;
    const QString name = storedName(s, section, key);
    const QVariant v = s.value(name);
    return v.isValid() ? asText(v) : defaultValue;
}

QString GetSetting(const QString& section, const QString& key, int defaultValue) {
    return GetSetting(section, key, QString::number(defaultValue));
}

QString GetSetting(const QString& section, const QString& key, bool defaultValue) {
    return GetSetting(section, key, defaultValue ? QStringLiteral("True") : QStringLiteral("False"));
}

bool SaveSetting(const QString& section, const QString& key, const QString& value) {
    const QString path = settingsFilePath();
    ensurePrivateFile(path);
    QSettings s(path, QSettings::IniFormat);
    if (s.status() == QSettings::AccessError) return false;
    s.setValue(storedName(s, section, key), value);
    s.sync();
    // The file is rewritten through a temporary file: keep it private.
    QFile::setPermissions(path, kOwnerOnly);
    return s.status() == QSettings::NoError;
}

std::optional<bool> BooleanText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (ok) return number != 0;
    return std::nullopt;
}

std::optional<double> NumericText(const QString& text) {
    QString t;
    t.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) c = QChar(char16_t(u - 0xFEE0)); // full-width ASCII
        else if (u == 0x3000) c = QLatin1Char(' ');
        t += c;
    }
    t = t.trimmed();
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    if (!number.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok ? std::optional(v) : std::nullopt;
}

std::optional<qint16> Integer16Text(const QString& text) {
    const std::optional<double> v = NumericText(text);
    if (!v) return std::nullopt;
    const double rounded = std::nearbyint(*v); // the default rounding mode rounds halves to even
    if (rounded < -32768 || rounded > 32767) return std::nullopt;
    return qint16(rounded);
}

bool GetBoolSetting(const QString& section, const QString& key, bool defaultValue) {
    return BooleanText(GetSetting(section, key, defaultValue)).value_or(defaultValue);
}
