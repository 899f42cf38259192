// The main window's help menu, F11, the "Info" button and the About item, offscreen.
#include "MainWindowFixture.h"
#include "UrlRecorder.h"
#include "app/frmKorvel.h"
#include "help/HelpTexts.h"
#include "help/frmAbout.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QUrl>

class TestKorvelHelp : public QObject, public MainWindowFixture {
    Q_OBJECT
    UrlRecorder m_recorder;

    QUrl helpIndex() const {
        return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                   QStringLiteral("/help/index.html"));
    }

private slots:
    void init() {
        // No desktop association reaches the test: no CHM viewer, so the HTML pages open.
        ownSettings();
        for (const char* var : {"XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
            qputenv(var, (m_dir->path() + QLatin1Char('/') + QString::fromLatin1(var)).toUtf8());
        m_recorder.opened.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_recorder, "open");

        QVERIFY(connectTo(QStringLiteral("sqlite")));
        QVERIFY(showWindow());
        query()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), query());
    }
    void cleanup() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        closeWindow();
    }

    void helpFromTheMenuKeyAndButton() {
        QVERIFY(
            QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/Tolvan.chm")));
        // F11 from the query box opens the help once, and the box keeps the focus.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
        QCOMPARE(m_recorder.opened, QList<QUrl>{helpIndex()});
        QCOMPARE(m_prompts, QStringList()); // opened: nothing to report
        QCOMPARE(QApplication::focusWidget(), query());
        QCOMPARE(query()->toPlainText(), QString());

        m_window->action(QStringLiteral("mnuIndex"))->trigger();
        QCOMPARE(m_recorder.opened.size(), 2);
        m_window->toolbarButton(QStringLiteral("Info"))->trigger();
        QCOMPARE(m_recorder.opened.size(), 3);
        QCOMPARE(m_recorder.opened.at(2), helpIndex());
        QCOMPARE(m_window->toolbarButton(QStringLiteral("Info"))->toolTip(),
                 QStringLiteral("ヘルプ"));

        // While an operation runs the help menu is off, and so is its key.
        m_window->SetWindowEnabled(false);
        QTest::keyClick(m_window.get(), Qt::Key_F11);
        QCOMPARE(m_recorder.opened.size(), 3);
        m_window->SetWindowEnabled(true);
    }

    // A desktop without anything that opens a file: F11 says so in the message panel and
    // names the help, instead of doing nothing.
    void helpWithoutALauncherIsReported() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", m_dir->path().toUtf8());
        m_answers << PanelAnswer::Ok;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
        qputenv("PATH", path);
        QCOMPARE(m_prompts.size(), 1);
        QVERIFY2(m_prompts.front().contains(kNoHelpViewer) &&
                     m_prompts.front().contains(helpIndex().toLocalFile()),
                 qPrintable(m_prompts.front()));
        QTRY_COMPARE(QApplication::focusWidget(), query());
    }

    void aboutIsCentredAndClosesBackToTheQueryBox() {
        m_window->setGeometry(120, 90, 900, 640);
        QRect seen;
        QString title, ado;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            if (!box) return;
            QTRY_COMPARE(QApplication::activeWindow(), box);
            seen = box->frameGeometry();
            title = box->windowTitle();
            ado = box->findChild<QLabel*>(QStringLiteral("lblADO"))->text();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            if (box->isVisible()) box->reject();
        });
        m_window->action(QStringLiteral("mnuAbout"))->trigger();
        QCOMPARE(title, QStringLiteral("About Tolvan"));
        QCOMPARE(ado, QStringLiteral("ADO version ") + m_record.adoConnection->Version());
        QCOMPARE(seen.topLeft(), frmAbout::centredOn(m_window->frameGeometry(), seen.size()));
        QVERIFY(!QApplication::activeModalWidget());
        QTRY_COMPARE(QApplication::focusWidget(), query());
        // The Esc that closed the box did not reach the window as a stop request.
        QVERIFY(!m_window->transferFlags().bAbort);
    }
};

QTEST_MAIN(TestKorvelHelp)
#include "tst_korvelhelp.moc"
