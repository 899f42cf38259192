// The main window's batch command: F6 and "バッチ処理(&B)" open the batch window modally over
// the main window, with the table list deciding its modes and its texts kept between openings.
#include "MainWindowFixture.h"
#include "UrlRecorder.h"
#include "app/frmKorvel.h"
#include "batch/frmBatch.h"
#include "help/frmAbout.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QUrl>

class TestKorvelBatch : public QObject, public MainWindowFixture {
    Q_OBJECT

    struct Seen {
        bool modal = false;
        int modes = -1;
        QString command;
    };
    // Looks at the batch window once it waits, then does what it is told and closes it.
    void inspectBatchWindow(Seen& seen, const std::function<void(frmBatch*)>& act = {}) {
        QTimer::singleShot(0, m_window.get(), [this, &seen, act] {
            auto* batch = qobject_cast<frmBatch*>(QApplication::activeModalWidget());
            if (!batch) return;
            seen.modal = batch->isModal() && batch->parentWidget() == m_window.get();
            seen.modes = batch->findChild<QComboBox*>(QStringLiteral("cboBatch"))->count();
            seen.command = batch->commandText();
            if (act) act(batch);
            batch->close();
        });
    }

private slots:
    void init() {
        ownSettings();
        QVERIFY(connectTo(QStringLiteral("sqlite"), db::ConnectionKind::Access));
        QVERIFY(showWindow());
        query()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), query());
    }
    void cleanup() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        closeWindow();
    }

    void f6OpensTheBatchWindowModally() {
        Seen first;
        inspectBatchWindow(first,
                           [](frmBatch* b) { b->setCommandText(QStringLiteral("T1, a.csv")); });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QVERIFY(first.modal);
        QCOMPARE(first.modes, 6);
        QVERIFY(!QApplication::activeModalWidget());
        QTRY_COMPARE(QApplication::focusWidget(), query());
        // F6 went to the menu only, not into the query box.
        QCOMPARE(query()->toPlainText(), QString());

        // The menu item opens the same window, with the text typed last time.
        Seen second;
        inspectBatchWindow(second);
        m_window->action(QStringLiteral("mnuBatch"))->trigger();
        QCOMPARE(second.command, QStringLiteral("T1, a.csv"));
    }

    void fourModesWhileTheTableListIsDisabled() {
        m_window->findChild<QComboBox*>(QStringLiteral("cboTableList"))->setEnabled(false);
        Seen seen;
        inspectBatchWindow(seen);
        m_window->action(QStringLiteral("mnuBatch"))->trigger();
        QCOMPARE(seen.modes, 4);
    }

    void helpAndAboutFromTheBatchWindow() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        // The batch window's help shows what the main window's shows.
        m_window->action(QStringLiteral("mnuIndex"))->trigger();
        const QList<QUrl> fromMain = recorder.opened;
        recorder.opened.clear();

        m_window->setGeometry(120, 90, 900, 640);
        QRect about;
        QWidget* aboutOwner = nullptr;
        Seen seen;
        inspectBatchWindow(seen, [&](frmBatch* batch) {
            batch->findChild<QAction*>(QStringLiteral("mnuIndex"))->trigger();
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
                if (!box) return;
                about = box->frameGeometry();
                aboutOwner = box->parentWidget();
                box->reject();
            });
            batch->findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();
            QVERIFY(batch->isVisible());
            QCOMPARE(aboutOwner, batch);
        });
        m_window->action(QStringLiteral("mnuBatch"))->trigger();
        QCOMPARE(recorder.opened, fromMain);
        QVERIFY(!about.isEmpty());
        QCOMPARE(about.topLeft(), frmAbout::centredOn(m_window->frameGeometry(), about.size()));
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestKorvelBatch)
#include "tst_korvelbatch.moc"
