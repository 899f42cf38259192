// The main window's Excel and browser output offscreen: the keys and toolbar buttons, the
// desktop's application found in private XDG folders (a stub that records its start), the
// failure without one, and the removal of the pages at close.
#include "ProgramState.h"
#include "SettingsKeys.h"
#include "TemporaryPages.h"
#include "TestBackends.h"
#include "WaitPanel.h"
#include "frmKorvel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const char* const kXlsxType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
}

class TestKorvelOutput : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dirs;
    QTemporaryDir m_mimeOnly;
    db::ConnectionRecord m_record;
    std::unique_ptr<ProgramState> m_state;
    std::unique_ptr<frmKorvel> m_window;
    QString m_program, m_cache, m_log;

    QPlainTextEdit* query() {
        return m_window->findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"));
    }
    QString status() { return m_window->findChild<QLabel*>(QStringLiteral("status"))->text(); }
    // An application for the type that writes its arguments to the log.
    void installApplication(const QByteArray& type) {
        const QString apps = m_dirs->filePath(QStringLiteral("data/applications/"));
        QVERIFY(QDir().mkpath(apps));
        const QString stub = m_dirs->filePath(QStringLiteral("stub.sh"));
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
        m_dirs = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dirs->filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_CACHE_HOME", m_dirs->filePath(QStringLiteral("cache")).toUtf8());
        qputenv("XDG_DATA_HOME", m_dirs->filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", m_dirs->filePath(QStringLiteral("etc")).toUtf8());
        qputenv("XDG_DATA_DIRS",
                (m_dirs->filePath(QStringLiteral("data")) + QLatin1Char(':') + m_mimeOnly.path())
                    .toUtf8());
        m_cache = m_dirs->filePath(QStringLiteral("cache/Tolvan/"));
        m_log = m_dirs->filePath(QStringLiteral("launched"));
        DeleteTemporaryPages({m_program});

        m_record = db::ConnectionRecord();
        m_record.adoConnection = std::make_unique<db::Connection>();
        QVERIFY(testdb::open(*m_record.adoConnection, QStringLiteral("sqlite")));
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS o"));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE o (id INTEGER, name VARCHAR(10))")));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO o VALUES (1, '001'), (2, 'b')")));
        m_state = std::make_unique<ProgramState>(m_record);
        m_window = std::make_unique<frmKorvel>(*m_state);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        query()->setPlainText(QStringLiteral("select * from o order by id"));
        m_window->ExecuteQueryBox();
        QVERIFY(m_state->resultOpen);
    }
    void cleanup() {
        m_window.reset();
        m_state.reset();
        m_record.adoConnection.reset();
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
        // Answers the report once it waits; the output lets events run before it gets there.
        QString shown;
        // Answers the panel once it waits, however many events run before that.
        QTimer answer;
        connect(&answer, &QTimer::timeout, m_window.get(), [&] {
            WaitPanel* p = m_window->waitPanel();
            if (!p->isVisible() || !p->okButton()->isEnabled()) return;
            shown = p->message();
            answer.stop();
            p->okButton()->click();
        });
        answer.start(10);
        // The workbook is offered for saving; cancelled, it stays where it was written.
        QStringList offered;
        m_window->showFileDialog = [&](bool save, const QString& title, const QString&,
                                       const QString&) {
            if (save) offered << title;
            return QString();
        };
        pressInQueryBox(Qt::Key_F3);
        const QString book = m_cache + QStringLiteral("Book1.xlsx");
        QCOMPARE(offered, QStringList{QStringLiteral("EXCELファイルの保存")});
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
