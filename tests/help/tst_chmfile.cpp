// The built help file: a real ITSF (CHM) file whose directory holds every page, picture and
// the contents and index of the project file; and the check that fails the build when the
// project file and the pages disagree.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {
struct ChmEntry {
    QString name;
    quint64 section = 0;
    quint64 offset = 0;
    quint64 length = 0;
};

// The directory of a CHM file: ITSF header, ITSP directory header, PMGL listing chunks.
class ChmDirectory {
public:
    explicit ChmDirectory(const QByteArray& data) : m_data(data) { parse(); }
    QString error;
    QList<ChmEntry> entries;
    quint32 language = 0;

private:
    const QByteArray& m_data;

    template <typename T> bool read(qsizetype at, T& value) const {
        if (at < 0 || at + qsizetype(sizeof(T)) > m_data.size()) return false;
        value = qFromLittleEndian<T>(m_data.constData() + at);
        return true;
    }
    // Directory numbers: 7 bits a byte, most significant first, high bit = more follows.
    static bool encint(const QByteArray& chunk, qsizetype& at, qsizetype end, quint64& value) {
        value = 0;
        for (int i = 0; i < 10 && at < end; ++i) {
            const quint8 b = quint8(chunk.at(at++));
            value = (value << 7) | (b & 0x7f);
            if (!(b & 0x80)) return true;
        }
        return false;
    }

    void parse() {
        if (!m_data.startsWith("ITSF")) return void(error = QStringLiteral("no ITSF signature"));
        quint32 version = 0, headerLength = 0;
        quint64 dirOffset = 0, dirLength = 0;
        if (!read(4, version) || !read(8, headerLength) || !read(0x14, language) ||
            !read(0x48, dirOffset) || !read(0x50, dirLength))
            return void(error = QStringLiteral("short ITSF header"));
        if (version != 3 && version != 2)
            return void(error = QStringLiteral("ITSF version %1").arg(version));
        const qsizetype dir = qsizetype(dirOffset);
        if (m_data.mid(dir, 4) != "ITSP")
            return void(error = QStringLiteral("no ITSP directory header"));
        quint32 itspLength = 0, chunkSize = 0, chunkCount = 0;
        if (!read(dir + 8, itspLength) || !read(dir + 0x10, chunkSize) ||
            !read(dir + 0x2c, chunkCount))
            return void(error = QStringLiteral("short ITSP header"));
        if (chunkSize < 32 ||
            qsizetype(itspLength) + qsizetype(chunkSize) * chunkCount > qsizetype(dirLength))
            return void(error = QStringLiteral("directory chunks out of range"));
        for (quint32 c = 0; c < chunkCount; ++c) {
            const QByteArray chunk =
                m_data.mid(dir + itspLength + qsizetype(c) * chunkSize, chunkSize);
            if (!chunk.startsWith("PMGL")) continue; // index chunks only repeat names
            const quint32 freeSpace = qFromLittleEndian<quint32>(chunk.constData() + 4);
            const qsizetype end = qsizetype(chunkSize) - freeSpace;
            qsizetype at = 20;
            while (at < end) {
                quint64 nameLength = 0;
                ChmEntry e;
                if (!encint(chunk, at, end, nameLength) || at + qsizetype(nameLength) > end)
                    return void(error = QStringLiteral("bad directory entry in chunk %1").arg(c));
                e.name = QString::fromUtf8(chunk.mid(at, qsizetype(nameLength)));
                at += qsizetype(nameLength);
                if (!encint(chunk, at, end, e.section) || !encint(chunk, at, end, e.offset) ||
                    !encint(chunk, at, end, e.length))
                    return void(error = QStringLiteral("bad directory entry %1").arg(e.name));
                entries << e;
            }
        }
    }
};

// The [FILES] section of a project file.
QStringList projectFiles(const QString& hhp) {
    QFile f(hhp);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QStringList files;
    bool inFiles = false;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inFiles = line == QLatin1String("[FILES]");
        else if (inFiles && !line.isEmpty())
            files << line;
    }
    return files;
}

void copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QVERIFY(QFile::copy(file, target));
    }
}
} // namespace

class TestChmFile : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_copy;

    // Runs the build's check on the copy of the help sources: exit code and output.
    std::pair<int, QString> check() {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(TOLVAN_CMAKE_COMMAND),
                {QStringLiteral("-DHELP_SOURCE=") + m_copy->path(), QStringLiteral("-P"),
                 QStringLiteral(TOLVAN_HELP_CHECK)});
        if (!p.waitForFinished(60000)) return {-1, QStringLiteral("check did not finish")};
        return {p.exitCode(), QString::fromUtf8(p.readAll())};
    }
    void edit(const QString& file, const QString& from, const QString& to) {
        QFile f(m_copy->path() + QLatin1Char('/') + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(f.readAll());
        f.close();
        QVERIFY2(text.contains(from), qPrintable(from));
        text.replace(from, to);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
    }

private slots:
    void init() {
        m_copy = std::make_unique<QTemporaryDir>();
        copyTree(QStringLiteral(TOLVAN_HELP_SOURCE), m_copy->path());
    }

    void theHelpFileHoldsEveryListedFile() {
        QFile f(QStringLiteral(TOLVAN_HELP_CHM));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        const ChmDirectory dir(data);
        QVERIFY2(dir.error.isEmpty(), qPrintable(dir.error));
        QCOMPARE(dir.language, quint32(0x411)); // Japanese

        QHash<QString, ChmEntry> byName;
        for (const ChmEntry& e : dir.entries)
            byName.insert(e.name, e);
        const QStringList listed = projectFiles(QStringLiteral(TOLVAN_HELP_SOURCE "/Tolvan.hhp"));
        QVERIFY(listed.size() > 20);
        for (const QString& file : listed) {
            const QString name = QLatin1Char('/') + file;
            QVERIFY2(byName.contains(name),
                     qPrintable(name + QStringLiteral(" is not in the help file")));
            QVERIFY2(byName.value(name).length ==
                         quint64(QFileInfo(QStringLiteral(TOLVAN_HELP_SOURCE "/") + file).size()),
                     qPrintable(name + QStringLiteral(" has the wrong length")));
        }
        // The viewer's own files: system data, contents and index.
        for (const char* name : {"/#SYSTEM", "/Tolvan.hhc", "/Tolvan.hhk"})
            QVERIFY2(byName.contains(QString::fromLatin1(name)), name);
        // Every page of the sources is in the project, so in the file.
        QDirIterator pages(QStringLiteral(TOLVAN_HELP_SOURCE), {QStringLiteral("*.html")},
                           QDir::Files);
        int count = 0;
        while (pages.hasNext()) {
            const QString page = QLatin1Char('/') + QFileInfo(pages.next()).fileName();
            QVERIFY2(byName.contains(page), qPrintable(page));
            ++count;
        }
        QVERIFY(count >= 20);
    }

    void theSourcesPassTheCheck() {
        const auto [code, output] = check();
        QVERIFY2(code == 0, qPrintable(output));
    }

    void aPageMissingFromTheProjectFails() {
        QFile page(m_copy->path() + QStringLiteral("/extra.html"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<html><body>extra</body></html>");
        page.close();
        const auto [code, output] = check();
        QVERIFY(code != 0);
        QVERIFY2(
            output.contains(QStringLiteral("extra.html is missing from the [FILES] of Tolvan.hhp")),
            qPrintable(output));
    }

    void aListedFileThatIsGoneFails() {
        QVERIFY(QFile::remove(m_copy->path() + QStringLiteral("/keys.html")));
        const auto [code, output] = check();
        QVERIFY(code != 0);
        QVERIFY2(
            output.contains(QStringLiteral("keys.html is listed in Tolvan.hhp but does not exist")),
            qPrintable(output));
    }

    void aPageOutsideTheContentsFails() {
        edit(QStringLiteral("Tolvan.hhc"), QStringLiteral("value=\"drop.html\""),
             QStringLiteral("value=\"import.html\""));
        const auto [code, output] = check();
        QVERIFY(code != 0);
        QVERIFY2(output.contains(QStringLiteral("drop.html is not in the table of contents")),
                 qPrintable(output));
    }

    void aPageWithoutItsCharacterSetFails() {
        edit(QStringLiteral("grid.html"),
             QStringLiteral("http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\""),
             QStringLiteral("charset=\"utf-8\""));
        const auto [code, output] = check();
        QVERIFY(code != 0);
        QVERIFY2(output.contains(QStringLiteral("grid.html does not declare its character set")),
                 qPrintable(output));
    }

    void aLinkToAnUnlistedFileFails() {
        edit(QStringLiteral("about.html"), QStringLiteral("images/about.png"),
             QStringLiteral("images/gone.png"));
        edit(QStringLiteral("index.html"), QStringLiteral("href=\"keys.html\""),
             QStringLiteral("href=\"keys.html#top\""));
        const auto [code, output] = check();
        QVERIFY(code != 0);
        QVERIFY2(output.contains(QStringLiteral("about.html links to images/gone.png")),
                 qPrintable(output));
        // An anchor on a listed page is fine.
        QVERIFY2(!output.contains(QStringLiteral("index.html links")), qPrintable(output));
    }
};

QTEST_MAIN(TestChmFile)
#include "tst_chmfile.moc"
