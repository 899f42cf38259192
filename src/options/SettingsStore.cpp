#include "SettingsStore.h"

#include "IniText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Reads the file whole, or nothing when it is missing, unreadable or beyond the size cap.
std::optional<QByteArray> readSettingsFile(const QString& path, bool& missing) {
    missing = false;
    QFile f(path);
    if (!f.exists()) {
        missing = true;
        return QByteArray();
    }
    // Opening a pipe or a device in the file's place could wait for a writer for ever.
    if (!QFileInfo(f).isFile()) return std::nullopt;
    if (!f.open(QIODevice::ReadOnly) || f.size() > kSettingsFileSizeLimit) return std::nullopt;
    // In pieces up to the cap rather than readAll(): a file that grows meanwhile still cannot
    // take unbounded time, and a small file costs no more than its size. A read error is no
    // empty file: a write would then replace the file with that one key.
    QByteArray data;
    for (;;) {
        const QByteArray piece = f.read(64 * 1024);
        if (piece.isEmpty()) {
            if (f.error() != QFileDevice::NoError) return std::nullopt;
            return data;
        }
        data += piece;
        if (data.size() > kSettingsFileSizeLimit) return std::nullopt;
    }
}

// The file a write replaces: the settings file, or the file its symbolic links lead to.
// Dotfile managers keep the real file elsewhere and link it in; renaming over the link would
// cut it off. Empty when the links go round in a circle or on for too long.
QByteArray linkTarget(const QByteArray& path) {
    QByteArray current = path;
    // As many links as the system itself follows before it gives up with ELOOP.
    for (int hops = 0; hops < 40; ++hops) {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.constData(), buffer, sizeof buffer);
        // Not a link (or not there yet): the write goes here, and fails here if it must.
        if (n < 0) return current;
        if (size_t(n) == sizeof buffer) return {};
        const QByteArray next(buffer, qsizetype(n));
        current = next.startsWith('/') ? next : current.left(current.lastIndexOf('/') + 1) + next;
    }
    return {};
}

// Writes through a private temporary file renamed over the old one, so that a reader never
// sees half a file and the file is never readable by anyone but its owner.
bool replaceFile(const QByteArray& target, const QByteArray& data) {
    const QByteArray temp = target + ".tmp" + QByteArray::number(qint64(::getpid()));
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return false;
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += n;
    }
    const bool ok = written == data.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}
} // namespace

QString settingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + kApplicationName + QLatin1Char('/') + kApplicationName +
           QStringLiteral(".ini");
}

QString GetSetting(const QString& section, const QString& key, const QString& defaultValue) {
    bool missing = false;
    const std::optional<QByteArray> data = readSettingsFile(settingsFilePath(), missing);
    if (!data || missing) return defaultValue;
    return IniText(*data).value(section, key).value_or(defaultValue);
}

QString GetSetting(const QString& section, const QString& key, int defaultValue) {
    return GetSetting(section, key, QString::number(defaultValue));
}

QString GetSetting(const QString& section, const QString& key, bool defaultValue) {
    return GetSetting(section, key,
                      defaultValue ? QStringLiteral("True") : QStringLiteral("False"));
}

bool SaveSetting(const QString& section, const QString& key, const QString& value) {
    const QString path = settingsFilePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    // The same lock file other writers of the INI format take, so that no write is lost.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) return false;
    const QByteArray target = linkTarget(QFile::encodeName(path));
    if (target.isEmpty()) return false;
    bool missing = false;
    const std::optional<QByteArray> data = readSettingsFile(QFile::decodeName(target), missing);
    // A file that cannot be read whole is left alone rather than rewritten without its keys.
    if (!data) return false;
    IniText ini(*data);
    ini.setValue(section, key, value);
    return replaceFile(target, ini.text());
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
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(char16_t(u - 0xFEE0)); // full-width ASCII
        else if (u == 0x3000)
            c = QLatin1Char(' ');
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
