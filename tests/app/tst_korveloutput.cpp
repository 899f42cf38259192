// The main window's Excel and browser output offscreen: the keys and toolbar buttons, the
// desktop's application found in private XDG folders (a stub that records its start), the
// failure without one, and the removal of the pages at close.
#include "MainWindowFixture.h"
#include "TestBackends.h"
#include "app/frmKorvel.h"
#include "options/SettingsKeys.h"
#include "transfer/TemporaryPages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {
const char* const kXlsxType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
}

class TestKorvelOutput : public QObject, public MainWindowFixture {
    Q_OBJECT
    QTemporaryDir m_mimeOnly;
    QString m_program, m_cache, m_log;

    // An application for the type that writes its arguments to the log.
    void installApplication(const QByteArray& type) {
        const QString apps = m_dir->filePath(QStringLiteral("data/applications/"));
        QVERIFY(QDir().mkpath(apps));
        const QString stub = m_dir->filePath(QStringLiteral("stub.sh"));
        QFile s(stub);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> " + m_log.toUtf8() + "\n");
        s.close();
        QFile::setPermissions(stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile entry(apps + QString::fromLatin1(type).replace(QLatin1Char('/'), QLatin1Char('-')) +
                    ".desktop");
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Stub\nExec=" + stub.toUtf8() +
                    " %f\nMimeType=" + type + ";\n");
    }
    QStringList launched() {
        QFile f(m_log);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Presses a key where the focus is, as a user would.
    void pressInQueryBox(Qt::Key key) {
        query()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), query());
        QTest::keyClick(QApplication::focusWidget(), key);
    }
    QStringList programPages() {
        return QDir(m_program).entryList({QStringLiteral("temp*.html")}, QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase() {
        QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"),
                            m_mimeOnly.filePath(QStringLiteral("mime"))));
        m_program = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    }

    void init() {
        ownSettings();
        qputenv("XDG_CACHE_HOME", m_dir->filePath(QStringLiteral("cache")).toUtf8());
        qputenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", m_dir->filePath(QStringLiteral("etc")).toUtf8());
        qputenv("XDG_DATA_DIRS",
                (m_dir->filePath(QStringLiteral("data")) + QLatin1Char(':') + m_mimeOnly.path())
                    .toUtf8());
        m_cache = m_dir->filePath(QStringLiteral("cache/Tolvan/"));
        m_log = m_dir->filePath(QStringLiteral("launched"));
        DeleteTemporaryPages({m_program});

        QVERIFY(connectTo(QStringLiteral("sqlite")));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS o"));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE o (id INTEGER, name VARCHAR(10))")));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO o VALUES (1, '001'), (2, 'b')")));
        QVERIFY(showWindow());
        query()->setPlainText(QStringLiteral("select * from o order by id"));
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        QVERIFY(m_state->resultOpen);
    }
    void cleanup() {
        closeWindow();
        DeleteTemporaryPages({m_program});
        QFile::remove(m_program + temporaryPageName(257));
    }

    void f4WritesThePageAndOpensIt() {
        installApplication("text/html");
        pressInQueryBox(Qt::Key_F4);
        QCOMPARE(programPages(), QStringList{"temp0.html"});
        QTRY_COMPARE(launched(), QStringList{m_program + QStringLiteral("temp0.html")});
        QCOMPARE(QApplication::focusWidget(), query());
        QVERIFY(query()->isEnabled());
        // The toolbar button does the same, into the next page.
        m_window->toolbarButton(QStringLiteral("HTML"))->trigger();
        QCOMPARE(programPages(), QStringList({"temp0.html", "temp1.html"}));
        QTRY_COMPARE(launched().size(), 2);
    }

    void f3HandsTheWorkbookOver() {
        installApplication(kXlsxType);
        WriteBoolSetting(keys::ExportField, true);
        pressInQueryBox(Qt::Key_F3);
        const QString book = m_cache + QStringLiteral("Book1.xlsx");
        QVERIFY(QFile::exists(book));
        QTRY_COMPARE(launched(), QStringList{book});
        QCOMPARE(QApplication::focusWidget(), query());
        QVERIFY(query()->isEnabled());
        m_window->toolbarButton(QStringLiteral("Excel"))->trigger();
        QTRY_COMPARE(launched(), QStringList({book, m_cache + QStringLiteral("Book2.xlsx")}));
    }

    void noSpreadsheetApplicationIsReported() {
        installApplication("text/html"); // a browser, but nothing for workbooks
        // The report is answered once it waits, however many events the output lets run first.
        m_answers << PanelAnswer::Ok;
        // The workbook is offered for saving in the export folder, named after its table;
        // cancelled, it stays where it was written.
        WriteSetting(keys::ExportDirCsv, m_dir->path());
        QStringList offered;
        m_window->showFileDialog = [&](bool save, const QString& title, const QString&,
                                       const QString& proposed) {
            if (save) offered << title << proposed;
            return QString();
        };
        pressInQueryBox(Qt::Key_F3);
        const QString book = m_cache + QStringLiteral("Book1.xlsx");
        QCOMPARE(offered, QStringList({QStringLiteral("EXCELファイルの保存"),
                                       m_dir->filePath(QStringLiteral("o.xlsx"))}));
        QCOMPARE(m_prompts.size(), 1);
        const QString shown = m_prompts.front();
        QVERIFY2(shown.contains(QStringLiteral("XLSXファイルを開くアプリケーションがありません")) &&
                     shown.contains(book),
                 qPrintable(shown));
        QVERIFY(QFile::exists(book));
        QVERIFY(query()->isEnabled());
        QVERIFY(launched().isEmpty());
    }

    void closeDeletesThePagesInBothFolders() {
        QVERIFY(QDir().mkpath(m_cache));
        for (const QString& folder : {m_program, m_cache})
            for (int n : {0, 256, 257}) {
                QFile f(folder + temporaryPageName(n));
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        QVERIFY(m_window->close());
        for (const QString& folder : {m_program, m_cache}) {
            QVERIFY(!QFile::exists(folder + temporaryPageName(0)));
            QVERIFY(!QFile::exists(folder + temporaryPageName(256)));
            QVERIFY(QFile::exists(folder + temporaryPageName(257)));
        }
    }
};

QTEST_MAIN(TestKorvelOutput)
#include "tst_korveloutput.moc"
