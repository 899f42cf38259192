// The settings file: read through the store as the program reads it, and one value set into
// it as the program sets one, the rest of the file keeping its meaning.
#include "FuzzFile.h"
#include "options/IniText.h"
#include "options/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <array>
#include <cstdlib>
#include <optional>

namespace {
struct Probe {
    const char* section;
    const char* key;
};
// Keys the program uses, one outside any section, and names that need escaping in the file.
constexpr std::array kProbes{
    Probe{"LOGIN", "CONNECTION"}, Probe{"LOGIN", "ODBCPass"}, Probe{"Query", "Timeout"},
    Probe{"General", "key"},      Probe{"日本語", "キー"},    Probe{"a/b", "c d;=#"},
};

QString sectionOf(const Probe& p) {
    return QString::fromUtf8(p.section);
}
QString keyOf(const Probe& p) {
    return QString::fromUtf8(p.key);
}

QString g_home;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The store reads $XDG_CONFIG_HOME/Tolvan/Tolvan.ini: a private folder in memory, gone at
    // exit.
    char pattern[] = "/dev/shm/tolvan-fuzz-settings.XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    g_home = QString::fromLocal8Bit(pattern);
    ::setenv("XDG_CONFIG_HOME", pattern, 1);
    if (!QDir().mkpath(g_home + QStringLiteral("/Tolvan"))) std::abort();
    std::atexit([] { QDir(g_home).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    const IniText ini(file);

    std::array<std::optional<QString>, kProbes.size()> before;
    for (size_t i = 0; i < kProbes.size(); ++i)
        before[i] = ini.value(sectionOf(kProbes[i]), keyOf(kProbes[i]));

    {
        QFile f(settingsFilePath());
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   f.write(file) == file.size());
    }
    const QString absent = QStringLiteral("\x01none");
    for (size_t i = 0; i < kProbes.size(); ++i)
        FUZZ_CHECK(GetSetting(sectionOf(kProbes[i]), keyOf(kProbes[i]), absent) ==
                   before[i].value_or(absent));

    // The first byte picks the key to set, the last bytes are the value.
    const size_t target = data[0] % kProbes.size();
    const size_t valueBytes = std::min<size_t>(size - 1, data[size - 1] % 40);
    const QString value = QString::fromUtf8(file.right(qsizetype(valueBytes)));
    IniText changed(file);
    changed.setValue(sectionOf(kProbes[target]), keyOf(kProbes[target]), value);
    const IniText reread(changed.text());
    for (size_t i = 0; i < kProbes.size(); ++i) {
        const auto now = reread.value(sectionOf(kProbes[i]), keyOf(kProbes[i]));
        if (i == target)
            FUZZ_CHECK(now == value);
        else
            FUZZ_CHECK(now == before[i]);
    }
    FUZZ_CHECK(IniText::unescapeValue(IniText::escapeValue(value)) == value);
    return 0;
}
