// The message panel of the main window showing a real error report: centred, readable
// whole, placed below the menu bar, answered with Enter on the focused button.
#include "MainWindowFixture.h"
#include "app/WaitPanel.h"
#include "app/frmKorvel.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

class TestWaitPanel : public QObject, public MainWindowFixture {
    Q_OBJECT

    WaitPanel* panel() { return m_window->waitPanel(); }

private slots:
    void init() {
        ownSettings();
        QVERIFY(connectTo(QStringLiteral("sqlite"), db::ConnectionKind::Access));
        m_record.databaseName = QStringLiteral("native.db");
        QVERIFY(showWindow());
    }
    void cleanup() { closeWindow(); }

    // A failed statement's report: every line centred, nothing to scroll, the panel inside the
    // window and centred below the menu bar; Return on the focused OK answers it.
    void errorReportReadsWhole() {
        query()->setPlainText(
            QStringLiteral("select no_such_column_with_a_rather_long_name_for_the_message, "
                           "another_missing_column from no_such_table_in_this_database"));
        bool inspected = false;
        // The statement runs on a worker first: look once the report waits for its answer.
        QTimer poll;
        connect(&poll, &QTimer::timeout, m_window.get(), [&] {
            if (inspected || !panel()->okButton()->isEnabled()) return;
            poll.stop();
            QVERIFY(panel()->isVisible());
            auto* text = panel()->findChild<QTextEdit*>(QStringLiteral("txtMessage"));
            QVERIFY(text);
            QVERIFY(panel()->message().contains(QStringLiteral("no_such_table_in_this_database")));
            for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
                QVERIFY2(b.blockFormat().alignment() & Qt::AlignHCenter, qPrintable(b.text()));
            QCOMPARE(text->verticalScrollBar()->maximum(), 0);
            QCOMPARE(text->horizontalScrollBar()->maximum(), 0);
            const QRect client = m_window->centralWidget()->rect();
            QVERIFY(client.contains(panel()->geometry()));
            const int menu = m_window->menuBar()->height();
            QVERIFY2(qAbs(panel()->geometry().center().y() - client.center().y()) < menu,
                     qPrintable(QStringLiteral("%1 vs %2")
                                    .arg(panel()->geometry().center().y())
                                    .arg(client.center().y())));
            QCOMPARE(QApplication::focusWidget(), panel()->okButton());
            inspected = true;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        poll.start(5);
        // Should Return do nothing, the fixture's guard answers and fails the test.
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        QVERIFY(inspected);
        QVERIFY(!panel()->isVisible());
    }

    // Without wait pictures the message takes the picture's place and the panel shrinks: no
    // empty area above the text. With pictures, the picture stands above the progress bar and
    // the message as designed. Loaded anew, the panel follows.
    void layoutFollowsThePictures_data() {
        QTest::addColumn<int>("pictures");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("five") << 5;
    }
    void layoutFollowsThePictures() {
        QFETCH(int, pictures);
        QTemporaryDir folder;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        for (int i = 1; i <= pictures; ++i)
            QVERIFY(image.save(folder.filePath(QStringLiteral("Tolvan00%1.jpg").arg(i)), "JPG"));
        const int dpi = panel()->logicalDpiX();
        auto* text = panel()->findChild<QTextEdit*>(QStringLiteral("txtMessage"));
        auto* bar = panel()->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        // From pictures to none and back: each load lays the panel out for what it found.
        for (const int count : {5 - pictures, pictures}) {
            QTemporaryDir other;
            for (int i = 1; i <= count; ++i)
                QVERIFY(image.save(other.filePath(QStringLiteral("Tolvan00%1.jpg").arg(i)), "JPG"));
            QCOMPARE(panel()->LoadWaitPictures(
                         {(count == pictures ? folder.path() : other.path()) + QLatin1Char('/')},
                         QStringLiteral("Tolvan")),
                     count);
        }
        m_window->ShowBusy(QStringLiteral("処理中です"), false, true);
        QVERIFY(panel()->isVisible());
        QVERIFY(bar->geometry().bottom() < text->y());
        QVERIFY(text->geometry().bottom() < panel()->cancelButton()->y());
        QLabel* shown = nullptr;
        for (QLabel* label : panel()->findChildren<QLabel*>())
            if (label->objectName().startsWith(QLatin1String("imgWait")) && label->isVisible())
                shown = label;
        if (pictures == 0) {
            QVERIFY(!shown);
            // Only the progress bar's row above the text, and the panel no taller than needed.
            QVERIFY2(text->y() <= twipsToPixels(300, dpi), qPrintable(QString::number(text->y())));
            QVERIFY2(panel()->height() <= text->y() + text->height() +
                                              panel()->cancelButton()->height() +
                                              twipsToPixels(120, dpi),
                     qPrintable(QString::number(panel()->height())));
        } else {
            QVERIFY(shown);
            QCOMPARE(shown->geometry(), QRect(twipsToPixels(38, dpi), twipsToPixels(30, dpi),
                                              twipsToPixels(3855, dpi), twipsToPixels(3600, dpi)));
            QCOMPARE(bar->y(), twipsToPixels(3420, dpi));
            QCOMPARE(text->y(), twipsToPixels(3660, dpi));
            QVERIFY(panel()->height() >= twipsToPixels(4965, dpi) - 2);
        }
        m_window->HideBusy();
    }

    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("onCancel");
        QTest::addColumn<PanelAnswer>("answer");
        QTest::newRow("Return on OK") << int(Qt::Key_Return) << false << PanelAnswer::Ok;
        QTest::newRow("keypad Enter on OK") << int(Qt::Key_Enter) << false << PanelAnswer::Ok;
        QTest::newRow("Return on Cancel") << int(Qt::Key_Return) << true << PanelAnswer::Cancel;
        QTest::newRow("keypad Enter on Cancel")
            << int(Qt::Key_Enter) << true << PanelAnswer::Cancel;
    }
    void enterPressesTheFocusedButton() {
        QFETCH(int, key);
        QFETCH(bool, onCancel);
        QFETCH(PanelAnswer, answer);
        QTimer::singleShot(0, m_window.get(), [&] {
            if (onCancel) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(),
                     onCancel ? panel()->cancelButton() : panel()->okButton());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        // Should the key do nothing, the fixture's guard answers and fails the test.
        const PanelAnswer got =
            m_window->ShowMessagePanel(QStringLiteral("削除クエリを実行しますか？"), true, true);
        QCOMPARE(got, answer);
    }
};

QTEST_MAIN(TestWaitPanel)
#include "tst_waitpanel.moc"
