// The browser output against real databases: the page byte for byte, where it goes, how it
// fails, and the deletion of the pages at close.
#include "OutputWindow.h"
#include "QueryWait.h"
#include "TestBackends.h"
#include "query/modExecuteQuery.h"
#include "transfer/HtmlExport.h"
#include "transfer/TemporaryPages.h"
#include "transfer/TransferTexts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QByteArray kCrLf = "\r\n";

QByteArray lines(const QList<QByteArray>& items) {
    QByteArray out;
    for (const QByteArray& l : items)
        out += l + kCrLf;
    return out;
}

// The process's peak resident memory so far, in kB.
long peakKilobytes() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestHtmlExport : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dirs;
    // The result on screen, as the window hands it to the outputs.
    db::Recordset* result() const {
        return m_state->resultOpen ? m_state->resultSet.get() : nullptr;
    }
    db::ConnectionRecord m_record;
    std::unique_ptr<ProgramState> m_state;
    OutputWindow m_window;
    QString m_program, m_cache;

    void openBackend(const QString& backend) {
        m_record = db::ConnectionRecord();
        m_record.adoConnection = std::make_unique<db::Connection>();
        QVERIFY(testdb::open(*m_record.adoConnection, backend));
        m_state = std::make_unique<ProgramState>(m_record);
    }
    // A table h with rows 1 to n: id, and name "n" + id.
    void makeTable(int n) {
        db::Connection& c = *m_record.adoConnection;
        testdb::exec(c, QStringLiteral("DROP TABLE IF EXISTS h"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE h (id INTEGER, name VARCHAR(40))")));
        QStringList rows;
        for (int i = 1; i <= n; ++i)
            rows << QStringLiteral("(%1, 'n%1')").arg(i);
        if (n > 0)
            QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO h VALUES ") +
                                        rows.join(QLatin1Char(','))));
    }
    void select(const QString& sql) {
        QVERIFY(executeQueryAndWait(*m_state, m_window, sql));
        m_window = OutputWindow();
    }
    QString exportHtml() {
        return ExportHtml(result(), m_record.adoConnection.get(), m_window, {m_program});
    }

    static QByteArray head(const QList<QByteArray>& names) {
        QList<QByteArray> l{"<html><head><meta charset=\"UTF-8\"><title>Tolvan</title></head><body "
                            "bgcolor = white>",
                            "<table border=\"1\" cellpadding=\"0\" cellspacing=\"2\">"};
        return lines(l) + headerRow(names);
    }
    static QByteArray headerRow(const QList<QByteArray>& names) {
        QList<QByteArray> l{"<tr>"};
        for (const QByteArray& n : names)
            l << "<th>" + n + "</th>";
        l << "</tr>";
        return lines(l);
    }
    static QByteArray tail() { return lines({"</table>", "</body></html>"}); }

private slots:
    void init() {
        m_dirs = std::make_unique<QTemporaryDir>();
        QDir(m_dirs->path()).mkpath(QStringLiteral("program"));
        QDir(m_dirs->path()).mkpath(QStringLiteral("config"));
        m_program = m_dirs->filePath(QStringLiteral("program/"));
        m_cache = m_dirs->filePath(QStringLiteral("cache/Tolvan/"));
        qputenv("XDG_CONFIG_HOME", m_dirs->filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_CACHE_HOME", m_dirs->filePath(QStringLiteral("cache")).toUtf8());
        m_window = OutputWindow();
    }

    void pageOf45Rows_data() { testdb::addBackendRows(); }
    void pageOf45Rows() {
        QFETCH(QString, backend);
        openBackend(backend);
        makeTable(45);
        db::Connection& c = *m_record.adoConnection;
        QVERIFY(testdb::exec(c, QStringLiteral("UPDATE h SET name = NULL WHERE id = 3")));
        QVERIFY(testdb::exec(c, QStringLiteral("UPDATE h SET name = '   ' WHERE id = 4")));
        QVERIFY(testdb::exec(c, QStringLiteral("UPDATE h SET name = '<b>\"&\"</b>' WHERE id = 5")));
        QVERIFY(testdb::exec(c, QStringLiteral("UPDATE h SET name = '0' WHERE id = 6")));
        QVERIFY(testdb::exec(c, QStringLiteral("UPDATE h SET name = ' 日本語 ' WHERE id = 7")));
        QVERIFY(testdb::exec(c, QStringLiteral("UPDATE h SET name = '' WHERE id = 8")));
        select(QStringLiteral("select id, name as \"a<b\" from h order by id"));

        const QString page = exportHtml();
        QCOMPARE(page, m_program + QStringLiteral("temp0.html"));

        const QList<QByteArray> names{"id", "a&lt;b"};
        const QByteArray dot = "<td><font color = white>.</font></td>";
        QByteArray expected = head(names);
        for (int i = 1; i <= 45; ++i) {
            QByteArray name = "<td>n" + QByteArray::number(i) + "</td>";
            if (i == 3 || i == 4 || i == 8) name = dot;
            if (i == 5) name = "<td>&lt;b&gt;&quot;&amp;&quot;&lt;/b&gt;</td>";
            if (i == 6) name = "<td>0</td>";
            if (i == 7) name = "<td> 日本語 </td>";
            expected += lines({"<tr>", "<td>" + QByteArray::number(i) + "</td>", name, "</tr>"});
            if (i == 20 || i == 40) expected += headerRow(names);
        }
        expected += tail();
        QCOMPARE(readAll(page), expected);

        QCOMPARE(m_window.opened, QStringList{page});
        QCOMPARE(m_window.calls,
                 QStringList({"enabled=0", "progress=1", "busy 00", "open", "hide", "enabled=1"}));
        QVERIFY(m_window.statuses.isEmpty());
        QCOMPARE(m_window.progress.size(), 45);
        QCOMPARE(m_window.progress.front(), 0);
        QCOMPARE(m_window.progress.back(), 44 * 100 / 45);
    }

    void exactlyTwentyRowsEndWithTheHeader_data() { testdb::addBackendRows(); }
    void exactlyTwentyRowsEndWithTheHeader() {
        QFETCH(QString, backend);
        openBackend(backend);
        makeTable(20);
        select(QStringLiteral("select name from h order by id"));
        QByteArray expected = head({"name"});
        for (int i = 1; i <= 20; ++i)
            expected += lines({"<tr>", "<td>n" + QByteArray::number(i) + "</td>", "</tr>"});
        expected += headerRow({"name"}) + tail();
        QCOMPARE(readAll(exportHtml()), expected);
    }

    void pagesTakeTheNextFreeNumber() {
        openBackend(QStringLiteral("sqlite"));
        makeTable(2);
        select(QStringLiteral("select * from h"));
        QCOMPARE(exportHtml(), m_program + QStringLiteral("temp0.html"));
        QCOMPARE(exportHtml(), m_program + QStringLiteral("temp1.html"));
        // A gap is filled first.
        QVERIFY(QFile::remove(m_program + QStringLiteral("temp0.html")));
        QCOMPARE(exportHtml(), m_program + QStringLiteral("temp0.html"));
        QCOMPARE(exportHtml(), m_program + QStringLiteral("temp2.html"));
    }

    void unusableProgramFolderFallsBackToTheCache() {
        openBackend(QStringLiteral("sqlite"));
        makeTable(2);
        select(QStringLiteral("select * from h"));
        // A folder that is a plain file takes no new file, even for root.
        const QString plain = m_dirs->filePath(QStringLiteral("plain"));
        QFile f(plain);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QStringList folders = temporaryPageFolders(plain + QLatin1Char('/'));
        QCOMPARE(folders, QStringList({plain + QLatin1Char('/'), m_cache}));
        QCOMPARE(ExportHtml(result(), m_record.adoConnection.get(), m_window, folders),
                 m_cache + QStringLiteral("temp0.html"));
        QVERIFY(readAll(m_cache + QStringLiteral("temp0.html")).endsWith(tail()));

        // Neither folder: the failure path, the window unlocked.
        qputenv("XDG_CACHE_HOME", plain.toUtf8());
        m_window = OutputWindow();
        QCOMPARE(ExportHtml(result(), m_record.adoConnection.get(), m_window,
                            temporaryPageFolders(plain + QLatin1Char('/'))),
                 QString());
        QCOMPARE(m_window.prompts.size(), 1);
        QVERIFY(m_window.prompts.front().startsWith(QStringLiteral("   VB Error # 75")));
        QCOMPARE(m_window.statuses, QStringList{kStatusError});
        QCOMPARE(m_window.calls, QStringList({"enabled=0", "progress=1", "busy 00", "prompt",
                                              "hide", "enabled=1"}));
        QVERIFY(m_window.opened.isEmpty());
    }

    void nothingToWrite_data() { testdb::addBackendRows(); }
    void nothingToWrite() {
        QFETCH(QString, backend);
        openBackend(backend);
        // No result at all.
        QCOMPARE(exportHtml(), QString());
        QCOMPARE(m_window.prompts, QStringList{kNothingToExport});
        QCOMPARE(m_window.calls, QStringList({"enabled=0", "progress=1", "prompt", "enabled=1"}));
        // An empty result: no page, no word.
        makeTable(0);
        select(QStringLiteral("select * from h"));
        QCOMPARE(exportHtml(), QString());
        QCOMPARE(m_window.calls, QStringList({"enabled=0", "progress=1", "enabled=1"}));
        QVERIFY(QDir(m_program).isEmpty());
    }

    void failedQueryGoesThroughTheFailurePath() {
        openBackend(QStringLiteral("sqlite"));
        makeTable(3);
        select(QStringLiteral("select * from h"));
        // The table goes away under the result: reading it again fails.
        QVERIFY(testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE h")));
        QCOMPARE(exportHtml(), QString());
        QCOMPARE(m_window.prompts.size(), 1);
        QVERIFY(m_window.prompts.front().startsWith(QStringLiteral("   VB Error # ")));
        QCOMPARE(m_window.statuses, QStringList{kStatusError});
        QVERIFY(m_window.enabled);
        QVERIFY(QDir(m_program).isEmpty());
    }

    void noBrowserLeavesThePageAndSaysWhere() {
        openBackend(QStringLiteral("sqlite"));
        makeTable(1);
        select(QStringLiteral("select * from h"));
        m_window.desktopHasHandler = false;
        const QString page = exportHtml();
        QVERIFY(QFile::exists(page));
        QCOMPARE(m_window.prompts, QStringList{kNoHtmlHandler + QStringLiteral("\r\n") + page});
        QVERIFY(m_window.statuses.isEmpty());
        QVERIFY(m_window.enabled);
    }

    void millionRowsStreamInFlatMemory() {
#ifdef __SANITIZE_ADDRESS__
        // Freed memory sits in AddressSanitizer's quarantine, so the peak says nothing here.
        QSKIP("peak memory is not measurable under AddressSanitizer");
#endif
        openBackend(QStringLiteral("sqlite"));
        makeTable(0);
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 1000000) INSERT INTO h SELECT i, 'name ' || i FROM n")));
        select(QStringLiteral("select * from h"));
        const long before = peakKilobytes();
        const QString page = exportHtml();
        const long grown = peakKilobytes() - before;
        QVERIFY2(grown < 30 * 1024, qPrintable(QStringLiteral("peak grew by %1 kB").arg(grown)));
        // Every row and every repeated header made it into the page.
        QFile f(page);
        QVERIFY(f.open(QIODevice::ReadOnly));
        qint64 rows = 0, headers = 0;
        QByteArray last;
        while (!f.atEnd()) {
            const QByteArray line = f.readLine();
            rows += line == "<tr>\r\n";
            headers += line == "<th>id</th>\r\n";
            if (line.startsWith("<td>")) last = line;
        }
        QCOMPARE(rows, 1000000 + 1000000 / 20 + 1);
        QCOMPARE(headers, 1000000 / 20 + 1);
        QCOMPARE(last, QByteArray("<td>name 1000000</td>\r\n"));
        QCOMPARE(m_window.lastProgress, 99);
    }

    void closeDeletesPagesUpTo256InBothFolders() {
        QVERIFY(QDir().mkpath(m_cache));
        const QStringList folders{m_program, m_cache};
        for (const QString& folder : folders)
            for (int n : {0, 1, 17, 256, 257}) {
                QFile f(folder + temporaryPageName(n));
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        QFile other(m_program + QStringLiteral("temp.html"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        DeleteTemporaryPages(folders);
        for (const QString& folder : folders) {
            QCOMPARE(QDir(folder).entryList(QDir::Files),
                     folder == m_program ? QStringList({"temp.html", "temp257.html"})
                                         : QStringList{"temp257.html"});
        }
    }
};

QTEST_GUILESS_MAIN(TestHtmlExport)
#include "tst_htmlexport.moc"
