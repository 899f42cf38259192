// The settings store on a real file in a private configuration folder.
#include "options/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {
int fileMode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

    QByteArray fileText() {
        QFile f(settingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        QCOMPARE(settingsFilePath(), m_dir->path() + QStringLiteral("/Tolvan/Tolvan.ini"));
    }

    void defaultsAsText() {
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("30"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION"), 0),
                 QStringLiteral("0"));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Delete"), true),
                 QStringLiteral("True"));
        QCOMPARE(GetSetting(QStringLiteral("Password"), QStringLiteral("Save"), false),
                 QStringLiteral("False"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC")), QString());
        QVERIFY(!QFile::exists(settingsFilePath())); // reading creates nothing
    }

    void roundTrips_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty stays a key") << "";
        QTest::newRow("japanese") << "株式会社　山田";
        QTest::newRow("separators") << "a;b=c,d \"q\" #x [s]";
        QTest::newRow("blanks around") << "  padded  ";
        QTest::newRow("backslashes") << "C:\\data\\sales.mdb";
        QTest::newRow("path") << "/home/user/データ/sample.db";
    }
    void roundTrips() {
        QFETCH(QString, value);
        QVERIFY(SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBCPass"), value));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBCPass"),
                            QStringLiteral("default")),
                 value);
        QCOMPARE(fileMode(settingsFilePath()), 0600);
        // Other programs reading the INI format see the same text.
        QSettings other(settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(other.status(), QSettings::NoError);
        QCOMPARE(other.value(QStringLiteral("LOGIN/ODBCPass")).toString(), value);
    }

    void readsWhatOtherWritersWrote() {
        QSettings other(settingsFilePath(), QSettings::IniFormat);
        other.setValue(QStringLiteral("LOGIN/ODBC"), QStringLiteral("a;b=c,d \"q\" #x [s] @at"));
        other.setValue(QStringLiteral("LOGIN/SQL"), QStringLiteral("@starts with at"));
        other.setValue(QStringLiteral("LOGIN/Access"), QStringLiteral("  /home/データ/x.db  "));
        other.sync();
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC")),
                 QStringLiteral("a;b=c,d \"q\" #x [s] @at"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("SQL")),
                 QStringLiteral("@starts with at"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("Access")),
                 QStringLiteral("  /home/データ/x.db  "));
    }

    void namesMatchWithoutCase() {
        QVERIFY(
            SaveSetting(QStringLiteral("Login"), QStringLiteral("odbc"), QStringLiteral("first")));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC")),
                 QStringLiteral("first"));
        // Writing with another spelling updates the same key instead of adding a second one.
        QVERIFY(
            SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC"), QStringLiteral("second")));
        QCOMPARE(GetSetting(QStringLiteral("login"), QStringLiteral("Odbc")),
                 QStringLiteral("second"));
        const QByteArray text = fileText();
        QCOMPARE(text.count("second"), 1);
        QVERIFY(!text.contains("first"));
    }

    void writersDoNotLoseEachOthersKeys() {
        QVERIFY(SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("SQL"), QStringLiteral("srv")));
        // Another process's view of the file, taken before the next write.
        QSettings other(settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(other.value(QStringLiteral("LOGIN/SQL")).toString(), QStringLiteral("srv"));
        QVERIFY(
            SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("60")));
        other.setValue(QStringLiteral("Import/Refresh"), QStringLiteral("500"));
        other.sync();
        QVERIFY(
            SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("SQL"), QStringLiteral("srv2")));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("60"));
        QCOMPARE(GetSetting(QStringLiteral("Import"), QStringLiteral("Refresh"), 100),
                 QStringLiteral("500"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("SQL")),
                 QStringLiteral("srv2"));
        QCOMPARE(fileMode(settingsFilePath()), 0600);
    }

    void badFilesGiveDefaults_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[\x01\x02=\x03\n\xc3\x28", 12);
        QTest::newRow("no sections") << QByteArray("just some words\n=\n[[[\n");
    }
    void badFilesGiveDefaults() {
        QFETCH(QByteArray, content);
        QDir().mkpath(m_dir->path() + QStringLiteral("/Tolvan"));
        QFile f(settingsFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("30"));
        QCOMPARE(GetBoolSetting(QStringLiteral("Query"), QStringLiteral("Delete"), true), true);
        // A later write still works and is read back.
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("45"));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("45"));
    }

    // A line that is not a setting (binary garbage, a stray bracket, a comment) neither hides
    // the valid keys around it nor disappears when another key is written.
    void damagedLinesKeepTheRest() {
        QDir().mkpath(m_dir->path() + QStringLiteral("/Tolvan"));
        const char raw[] = "\x00\xff\xfe[\x01\x02=\x03\xc3\x28 \"unclosed";
        const QByteArray garbage(raw, sizeof raw - 1);
        const QByteArray content =
            QByteArray("; written by hand: keep the timeout high\n[Query]\nTimeout=45\n") +
            garbage + "\n[[broken\n# another comment\n[LOGIN]\nSQL=srv\nnot a setting\n";
        QFile f(settingsFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("45"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("SQL")), QStringLiteral("srv"));

        QVERIFY(
            SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC"), QStringLiteral("dsn")));
        QVERIFY(
            SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("60")));
        const QByteArray text = fileText();
        for (const QByteArray& kept :
             {QByteArray("; written by hand: keep the timeout high\n"), garbage + '\n',
              QByteArray("\n[[broken\n# another comment\n"), QByteArray("\nnot a setting\n")})
            QVERIFY2(text.contains(kept), kept.constData());
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("60"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("SQL")), QStringLiteral("srv"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC")),
                 QStringLiteral("dsn"));
        QCOMPARE(text.count("Timeout"), 1);
        QCOMPARE(fileMode(settingsFilePath()), 0600);
    }

    // A huge file is not waited on: reads give the defaults at once and a write leaves it be.
    // A file too big to be settings is not read at all: the line at its start gives way to
    // the default, and the file is never rewritten.
    void hugeFileGivesDefaultsAndIsKept() {
        QDir().mkpath(m_dir->path() + QStringLiteral("/Tolvan"));
        QFile f(settingsFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Query]\nTimeout=45\n");
        const QByteArray block(1024 * 1024, 'x');
        for (int i = 0; i < 50; ++i) {
            f.write("[Section");
            f.write(QByteArray::number(i));
            f.write("]\nkey=");
            f.write(block);
            f.write("\n");
        }
        f.close();
        const qint64 size = QFileInfo(settingsFilePath()).size();
        QVERIFY(size > 50 * 1024 * 1024);

        // As many reads as the options dialog makes when it opens, and one write.
        for (int i = 0; i < 7; ++i)
            QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                     QStringLiteral("30"));
        QVERIFY(
            !SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("60")));
        QCOMPARE(QFileInfo(settingsFilePath()).size(), size);
    }

    void unreadableFileGivesDefaults() {
        // A folder where the file should be cannot be read or written, even by root.
        QVERIFY(QDir().mkpath(settingsFilePath()));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("30"));
        QVERIFY(
            !SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("45")));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("30"));
    }

    // A "%" that starts no escape in a section or key name is a plain character; such a
    // name once kept the reader in a loop, so the program hung before its first window.
    void percentInNames() {
        QDir().mkpath(m_dir->path() + QStringLiteral("/Tolvan"));
        QFile f(settingsFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[50%]\nrate%=1\n%U12=2\n%=3\n[Query]\nTimeout=45\n[%U65E5%]\nk%zz=4\n");
        f.close();
        QCOMPARE(GetSetting(QStringLiteral("50%"), QStringLiteral("rate%")), QStringLiteral("1"));
        QCOMPARE(GetSetting(QStringLiteral("50%"), QStringLiteral("%U12")), QStringLiteral("2"));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("45"));
        QCOMPARE(GetSetting(QStringLiteral("日%"), QStringLiteral("k%zz")), QStringLiteral("4"));
        QVERIFY(
            SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("60")));
        QCOMPARE(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30),
                 QStringLiteral("60"));
        QVERIFY(fileText().startsWith("[50%]\nrate%=1\n%U12=2\n%=3\n"));
    }

    void booleanTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 not a boolean
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("lower false") << "false" << 0;
        QTest::newRow("upper TRUE") << "TRUE" << 1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("blank zero") << " 0 " << 0;
        QTest::newRow("minus one") << "-1" << 1;
        QTest::newRow("fraction") << "2.5" << 1;
        QTest::newRow("word") << "yes" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void booleanTexts() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<bool> b = BooleanText(text);
        QCOMPARE(b.has_value() ? int(*b) : -1, expected);
    }

    void booleanSettings() {
        QCOMPARE(GetBoolSetting(QStringLiteral("Query"), QStringLiteral("Delete"), true), true);
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Delete"), QStringLiteral("false"));
        QCOMPARE(GetBoolSetting(QStringLiteral("Query"), QStringLiteral("Delete"), true), false);
        // A text that is not a boolean keeps the default.
        SaveSetting(QStringLiteral("Password"), QStringLiteral("Save"), QStringLiteral("maybe"));
        QCOMPARE(GetBoolSetting(QStringLiteral("Password"), QStringLiteral("Save"), false), false);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
