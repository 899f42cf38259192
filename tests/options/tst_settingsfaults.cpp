// The settings file when it cannot be used as it is: unreadable, in a read-only folder, below
// a regular file, a pipe, garbled, or a symbolic link. Each read gives the defaults (or what can
// still be read), each write reports failure rather than replacing what is there, and nothing
// waits for ever.
#include "options/SettingsStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kSection = QStringLiteral("Query");
const QString kKey = QStringLiteral("Timeout");
const QByteArray kStored = "[Query]\nTimeout=45\n";

QString timeout() {
    return GetSetting(kSection, kKey, 30);
}

bool save(const QString& value) {
    return SaveSetting(kSection, kKey, value);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

int fileMode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// A symbolic link at "at" holding the text "to" as it is, relative or not.
bool makeLink(const QString& to, const QString& at) {
    return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(at).constData()) == 0;
}

// The text a symbolic link holds; empty when it is no link.
QString linkText(const QString& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(buffer, qsizetype(n)));
}

// Root passes every permission check. While this lives the process acts as "nobody" on a tree
// that user owns, so that mode bits really refuse; run by another user they refuse already.
class Unprivileged {
public:
    explicit Unprivileged(const QString& tree) {
        if (::geteuid() != 0) return;
        const passwd* pw = ::getpwnam("nobody");
        const uid_t uid = pw ? pw->pw_uid : 65534;
        const gid_t gid = pw ? pw->pw_gid : 65534;
        chownTree(tree, uid, gid);
        m_ok = ::setegid(gid) == 0 && ::seteuid(uid) == 0;
        m_switched = true;
    }
    ~Unprivileged() {
        if (!m_switched) return;
        if (::seteuid(0) != 0 || ::setegid(0) != 0) qFatal("cannot return to root");
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;
    bool ok() const { return m_ok; }

private:
    static void chownTree(const QString& tree, uid_t uid, gid_t gid) {
        [[maybe_unused]] int r = ::chown(QFile::encodeName(tree).constData(), uid, gid);
        QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            r = ::lchown(QFile::encodeName(it.next()).constData(), uid, gid);
    }
    bool m_ok = true;
    bool m_switched = false;
};
} // namespace

class TestSettingsFaults : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

    QString folder() const { return m_dir->path() + QStringLiteral("/Tolvan"); }
    // Names in the settings folder other than the file itself: temporary files and locks
    // must not be left behind by a failed write.
    QStringList strays() const {
        QStringList names = QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                     QDir::Hidden | QDir::System);
        names.removeAll(QStringLiteral("Tolvan.ini"));
        return names;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        QVERIFY(QDir().mkpath(folder()));
    }

    // Mode 000: the program cannot read its own file. Defaults, and no write over it.
    void unreadableFile() {
        const QString path = settingsFilePath();
        QVERIFY(writeFile(path, kStored));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0) == 0);
        {
            Unprivileged user(m_dir->path());
            QVERIFY(user.ok());
            QVERIFY(!QFile(path).open(QIODevice::ReadOnly)); // the refusal is real
            QCOMPARE(timeout(), QStringLiteral("30"));
            QVERIFY(!save(QStringLiteral("60")));
            QCOMPARE(timeout(), QStringLiteral("30"));
            QCOMPARE(strays(), QStringList());
        }
        QCOMPARE(fileMode(path), 0);
        QCOMPARE(contents(path), kStored);
    }

    // A folder the user cannot write to: the stored values are still read; a write fails at
    // once and the file stays as it was.
    void readOnlyFolder() {
        const QString path = settingsFilePath();
        QVERIFY(writeFile(path, kStored));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0600) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0500) == 0);
        {
            Unprivileged user(m_dir->path());
            QVERIFY(user.ok());
            QVERIFY(!QFile(folder() + QStringLiteral("/probe")).open(QIODevice::WriteOnly));
            QCOMPARE(timeout(), QStringLiteral("45"));
            QVERIFY(!save(QStringLiteral("60")));
            QCOMPARE(timeout(), QStringLiteral("45"));
        }
        QCOMPARE(strays(), QStringList());
        QCOMPARE(contents(path), kStored);
        QCOMPARE(fileMode(path), 0600);
    }

    // The configuration folder is a regular file: no folder can be made below it, even by
    // root. Defaults, a failed write, and the file that is in the way untouched.
    void folderIsAFile() {
        const QString config = m_dir->path() + QStringLiteral("/config");
        QVERIFY(writeFile(config, "not a folder\n"));
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        QCOMPARE(timeout(), QStringLiteral("30"));
        QVERIFY(!save(QStringLiteral("60")));
        QCOMPARE(timeout(), QStringLiteral("30"));
        QCOMPARE(contents(config), QByteArray("not a folder\n"));
    }

    // A named pipe in the file's place would block the first read until some writer opens it:
    // the program would never show its first window.
    void pipeInsteadOfFile() {
        const QString path = settingsFilePath();
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        QCOMPARE(timeout(), QStringLiteral("30"));
        QVERIFY(!save(QStringLiteral("60")));
        QCOMPARE(timeout(), QStringLiteral("30"));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QCOMPARE(strays(), QStringList());
    }

    // Dotfile managers keep the real file in a folder of their own and link it in: a write
    // goes to the file at the end of the links, which stays private, and the links stay.
    void linkedFileIsWrittenThrough_data() {
        QTest::addColumn<QStringList>("links"); // from the settings file on, each to the next
        QTest::newRow("relative") << QStringList{QStringLiteral("../dotfiles/Tolvan.ini")};
        QTest::newRow("absolute") << QStringList{QStringLiteral("<dir>/dotfiles/Tolvan.ini")};
        QTest::newRow("chain") << QStringList{QStringLiteral("<dir>/dotfiles/hop.ini"),
                                              QStringLiteral("Tolvan.ini")};
    }
    void linkedFileIsWrittenThrough() {
        QFETCH(QStringList, links);
        const QString dotfiles = m_dir->path() + QStringLiteral("/dotfiles");
        const QString target = dotfiles + QStringLiteral("/Tolvan.ini");
        QVERIFY(QDir().mkpath(dotfiles));
        QVERIFY(writeFile(target, kStored));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0644) == 0);
        for (QString& to : links)
            to.replace(QStringLiteral("<dir>"), m_dir->path());
        QStringList chain{settingsFilePath()};
        for (const QString& to : links) {
            QVERIFY(makeLink(to, chain.last()));
            chain << QFileInfo(QFileInfo(chain.last()).absolutePath(), to).absoluteFilePath();
        }
        QCOMPARE(QFileInfo(chain.last()).canonicalFilePath(),
                 QFileInfo(target).canonicalFilePath());
        QCOMPARE(timeout(), QStringLiteral("45"));
        QVERIFY(save(QStringLiteral("60")));
        QCOMPARE(timeout(), QStringLiteral("60"));
        for (qsizetype i = 0; i < links.size(); ++i)
            QCOMPARE(linkText(chain[i]), links[i]);
        QCOMPARE(contents(target), QByteArray("[Query]\nTimeout=60\n"));
        QCOMPARE(fileMode(target), 0600);
        QCOMPARE(strays(), QStringList());
        QStringList besideTarget = QDir(dotfiles).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        besideTarget.removeAll(QStringLiteral("Tolvan.ini"));
        besideTarget.removeAll(QStringLiteral("hop.ini"));
        QCOMPARE(besideTarget, QStringList());

        // Where the target's folder refuses the write, the old text stays whole.
        QVERIFY(::chmod(QFile::encodeName(dotfiles).constData(), 0500) == 0);
        {
            Unprivileged user(m_dir->path());
            QVERIFY(user.ok());
            QVERIFY(!save(QStringLiteral("90")));
            QCOMPARE(timeout(), QStringLiteral("60"));
        }
        QCOMPARE(contents(target), QByteArray("[Query]\nTimeout=60\n"));
        QCOMPARE(linkText(settingsFilePath()), links[0]);
        QCOMPARE(strays(), QStringList());
    }

    // A link to a file that is not there yet: the write creates it where the link points.
    void danglingLinkCreatesItsTarget() {
        const QString target = m_dir->path() + QStringLiteral("/new.ini");
        QVERIFY(makeLink(target, settingsFilePath()));
        QCOMPARE(timeout(), QStringLiteral("30"));
        QVERIFY(save(QStringLiteral("60")));
        QCOMPARE(linkText(settingsFilePath()), target);
        QCOMPARE(contents(target), QByteArray("[Query]\nTimeout=60\n"));
        QCOMPARE(fileMode(target), 0600);
        QCOMPARE(strays(), QStringList());
    }
    // A link into a folder that is missing, or links that go round in a circle: defaults, a
    // failed write, nothing waits, and the links are left as they were.
    void brokenLinksAreLeftAlone_data() {
        QTest::addColumn<QStringList>("links"); // names in the folder and where each points
        QTest::newRow("missing folder")
            << QStringList{QStringLiteral("Tolvan.ini"), QStringLiteral("../nowhere/Tolvan.ini")};
        QTest::newRow("to itself")
            << QStringList{QStringLiteral("Tolvan.ini"), QStringLiteral("Tolvan.ini")};
        QTest::newRow("round two")
            << QStringList{QStringLiteral("Tolvan.ini"), QStringLiteral("b.ini"),
                           QStringLiteral("b.ini"), QStringLiteral("Tolvan.ini")};
    }
    void brokenLinksAreLeftAlone() {
        QFETCH(QStringList, links);
        for (qsizetype i = 0; i + 1 < links.size(); i += 2)
            QVERIFY(makeLink(links[i + 1], folder() + QLatin1Char('/') + links[i]));
        QCOMPARE(timeout(), QStringLiteral("30"));
        QVERIFY(!save(QStringLiteral("60")));
        QCOMPARE(timeout(), QStringLiteral("30"));
        QStringList names;
        for (qsizetype i = 0; i + 1 < links.size(); i += 2) {
            QCOMPARE(linkText(folder() + QLatin1Char('/') + links[i]), links[i + 1]);
            names << links[i];
        }
        names.sort(Qt::CaseInsensitive);
        QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                          QDir::System),
                 names);
        QVERIFY(!QFileInfo::exists(m_dir->path() + QStringLiteral("/nowhere")));
    }

    // Garbled and binary files: what cannot be read gives the default, a write adds the key
    // and keeps every byte that was there.
    void garbledFileKeptOnWrite_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[\x01\x02=\x03\n\xc3\x28\x00", 12);
        QTest::newRow("cut off") << QByteArray("[Query]\nTime");
        QTest::newRow("bad escapes") << QByteArray("[Qu%ery]\n%U12=\\x\\\n[%UZZZZ]\n\"=\"\n");
        QTest::newRow("CR only") << QByteArray("[Import]\rRefresh=5\r[Query]\rDelete=False\r");
        QTest::newRow("NUL lines") << QByteArray(4096, '\0');
    }
    void garbledFileKeptOnWrite() {
        QFETCH(QByteArray, content);
        const QString path = settingsFilePath();
        QVERIFY(writeFile(path, content));
        QCOMPARE(timeout(), QStringLiteral("30"));
        QVERIFY(save(QStringLiteral("60")));
        QCOMPARE(timeout(), QStringLiteral("60"));
        const QByteArray after = contents(path);
        QCOMPARE(after.count("Timeout=60"), 1);
        // The old lines, in their order, with the new one among them.
        const QList<QByteArray> lines = after.split('\n');
        qsizetype at = 0;
        for (const QByteArray& line : content.split('\n')) {
            while (at < lines.size() && lines[at] != line)
                ++at;
            QVERIFY2(at < lines.size(), line.toHex().constData());
            ++at;
        }
        QCOMPARE(fileMode(path), 0600);
        QCOMPARE(strays(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFaults)
#include "tst_settingsfaults.moc"
