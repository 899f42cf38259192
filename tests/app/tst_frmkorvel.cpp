// The main window offscreen on a real SQLite file: controls, menus, toolbar, keys, the
// feedback routines and the window's life cycle.
#include "MainWindowFixture.h"
#include "TestBackends.h"
#include "app/WaitPanel.h"
#include "app/frmKorvel.h"
#include "options/SettingsStore.h"
#include "query/modExecuteQuery.h"
#include "widgets/QtTranslations.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

class TestFrmKorvel : public QObject, public MainWindowFixture {
    Q_OBJECT

    QString panel(const char* key) {
        return m_window->findChild<QLabel*>(QString::fromLatin1(key))->text();
    }

private slots:
    void init() {
        ownSettings();
        QVERIFY(connectTo(QStringLiteral("sqlite"), db::ConnectionKind::Access));
        m_record.databaseName = QStringLiteral("native.db");
        m_record.userId = QStringLiteral("admin");
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS k"));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE k (id INTEGER, name VARCHAR(10))")));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO k VALUES (1, 'a'), (2, 'b')")));
        QVERIFY(showWindow());
        m_window->startSecondProcess = [] { return true; };
    }
    void cleanup() { closeWindow(); }

    void controlsAndMenus() {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Tolvan"));
        for (const char* name : {"Toolbar1", "cboTableList", "txtQuery", "DataGrid1", "StatusBar1",
                                 "frameWait", "txtFocus"})
            QVERIFY2(m_window->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(query()->toolTip(), QStringLiteral("クエリボックス"));
        QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("cboTableList"))->toolTip(),
                 QStringLiteral("テーブルリスト"));
        const struct {
            const char* name;
            const char* caption;
            QKeySequence shortcut;
        } items[] = {{"mnuNewConnection", "新規接続(&N)", Qt::Key_F1},
                     {"mnuExit", "終了(&X)", Qt::Key_F12},
                     {"mnuExecute", "実行(&J)", Qt::CTRL | Qt::Key_E},
                     {"mnuRefresh", "リフレッシュ(&R)", Qt::CTRL | Qt::Key_R},
                     {"mnuNewQuery", "新規クエリ(&N)", Qt::CTRL | Qt::Key_N},
                     {"mnuQueryForward", "次のクエリ (ALT + →)", {}},
                     {"mnuQueryBackward", "前のクエリ (ALT + ←)", {}},
                     {"mnuExcel", "EXCEL出力(&E)", Qt::Key_F3},
                     {"mnuHTML", "ブラウザ出力(&H)", Qt::Key_F4},
                     {"mnuBatch", "バッチ処理(&B)", Qt::Key_F6},
                     {"mnuImportCSV", "CSV入力(&C)", Qt::Key_F7},
                     {"mnuImportTAB", "TAB入力(&T)", Qt::Key_F8},
                     {"mnuCSV", "CSV出力(&C)", Qt::CTRL | Qt::Key_F7},
                     {"mnuTab", "TAB出力(&T)", Qt::CTRL | Qt::Key_F8},
                     {"mnuSetup", "環境設定(&S)", Qt::Key_F9},
                     {"mnuIndex", "目次(&I)", Qt::Key_F11},
                     {"mnuAbout", "About(&A)", {}},
                     {"mnuFile", "ファイル(&F)", {}},
                     {"mnuQuery", "クエリ(&Q)", {}},
                     {"mnuImportExport", "データ入出力(&D)", {}},
                     {"mnuImport", "インポート(&I)", {}},
                     {"mnuExport", "エクスポート(&E)", {}},
                     {"mnuOption", "オプション(&O)", {}},
                     {"mnuHelp", "ヘルプ(&H)", {}}};
        for (const auto& it : items) {
            QAction* a = m_window->action(QString::fromLatin1(it.name));
            QVERIFY2(a, it.name);
            QCOMPARE(a->text(), QString::fromUtf8(it.caption));
            QCOMPARE(a->shortcut(), it.shortcut);
        }
        const QStringList keys = {
            "Connect",           "Execute", "Refresh", "Backward", "Forward", "display_tablelist",
            "refresh_tablelist", "HTML",    "Excel",   "Setup",    "Info",    "Shutdown"};
        QStringList onToolbar;
        for (QAction* a : m_window->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions())
            if (a->data().isValid()) onToolbar << a->data().toString();
        QCOMPARE(onToolbar, keys);
        QCOMPARE(m_window->toolbarButton(QStringLiteral("refresh_tablelist"))->toolTip(),
                 QStringLiteral("テーブルリストのリフレッシュ"));
        QVERIFY(!m_window->toolbarButton(QStringLiteral("refresh_tablelist"))->icon().isNull());
        // Loaded state: history commands off, status bar filled.
        QVERIFY(!m_window->action(QStringLiteral("mnuQueryBackward"))->isEnabled());
        QVERIFY(!m_window->toolbarButton(QStringLiteral("Forward"))->isEnabled());
        QCOMPARE(panel("database"), QStringLiteral("Access: native.db"));
        QCOMPARE(panel("user"), QStringLiteral("ID: admin"));
    }

    void executeShowsRowsAndCount() {
        query()->setPlainText(QStringLiteral("select * from k order by id"));
        m_window->action(QStringLiteral("mnuExecute"))->trigger();
        QVERIFY(idle());
        QVERIFY(m_state->resultOpen);
        QTableView* grid = this->grid();
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("name"));
        QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("b"));
        QCOMPARE(panel("status"), QStringLiteral("2件のデータが処理されました"));
        QVERIFY(m_window->action(QStringLiteral("mnuQueryBackward"))->isEnabled());
        QVERIFY(query()->isEnabled());
        QVERIFY(!m_window->busyVisible());

        // Only the selection runs when it holds more than blanks.
        query()->setPlainText(QStringLiteral("select 1\r\nselect name from k where id = 2"));
        QTextCursor c = query()->textCursor();
        c.setPosition(9); // the line break is one character in the box
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        query()->setTextCursor(c);
        m_window->toolbarButton(QStringLiteral("Execute"))->trigger();
        QVERIFY(idle());
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(m_state->history.entries().last(),
                 QStringLiteral("select name from k where id = 2"));
        // Line breaks typed in the box reach the executor as CR LF, so a statement that
        // starts on a new line is still a SELECT and keeps nothing else from running.
        query()->setPlainText(QStringLiteral("\n\nselect *\nfrom k"));
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        QCOMPARE(m_state->history.entries().last(), QStringLiteral("\r\n\r\nselect *\r\nfrom k"));
        QCOMPARE(panel("status"), QStringLiteral("2件のデータが処理されました"));
    }

    void keysReachTheirHandlers() {
        query()->setPlainText(QStringLiteral("select * from k"));
        QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QVERIFY(m_state->resultOpen);
        QVERIFY(
            testdb::exec(*m_record.adoConnection, QStringLiteral("INSERT INTO k VALUES (3, 'c')")));
        QTest::keyClick(query(), Qt::Key_F5);
        QVERIFY(idle());
        QCOMPARE(panel("status"),
                 QStringLiteral("2件のデータが処理されました")); // the count is not redone
        QCOMPARE(grid()->model()->rowCount(), 3);
        QTest::keyClick(query(), Qt::Key_Escape);
        QVERIFY(m_window->transferFlags().bAbort);
        // Ctrl+A selects the whole text.
        QTest::keyClick(query(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(query()->textCursor().selectedText(), QStringLiteral("select * from k"));
        // Alt+Left walks back only while Backward is enabled.
        query()->setPlainText(QStringLiteral("typed"));
        QTest::keyClick(query(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select * from k"));
        QTest::keyClick(query(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(query()->toPlainText(), QString());
    }

    void historyButtonsFollowTheHistory() {
        for (const char* s : {"select 1", "select 2", "select 3"}) {
            query()->setPlainText(QString::fromLatin1(s));
            m_window->ExecuteQueryBox();
            QVERIFY(idle());
        }
        QAction* back = m_window->toolbarButton(QStringLiteral("Backward"));
        QAction* forward = m_window->toolbarButton(QStringLiteral("Forward"));
        back->trigger();
        QCOMPARE(query()->toPlainText(), QStringLiteral("select 3"));
        back->trigger();
        back->trigger();
        QCOMPARE(query()->toPlainText(), QStringLiteral("select 1"));
        QVERIFY(!back->isEnabled());
        QVERIFY(!m_window->action(QStringLiteral("mnuQueryBackward"))->isEnabled());
        QVERIFY(forward->isEnabled());
        m_window->Toolbar1_ButtonClick(QStringLiteral("Backward")); // disabled: nothing happens
        QCOMPARE(query()->toPlainText(), QStringLiteral("select 1"));
        m_window->Toolbar1_ButtonClick(QStringLiteral("forward")); // keys match exactly
        QCOMPARE(query()->toPlainText(), QStringLiteral("select 1"));
        m_window->Toolbar1_ButtonClick(QStringLiteral("Forward"));
        QCOMPARE(query()->toPlainText(), QStringLiteral("select 2"));
    }

    void disabledWindowSilencesMenusAndShortcuts() {
        m_window->SetWindowEnabled(false);
        QVERIFY(!query()->isEnabled());
        QVERIFY(!m_window->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->isEnabled());
        QVERIFY(!m_window->action(QStringLiteral("mnuQuery"))->isEnabled());
        QVERIFY(!m_window->action(QStringLiteral("mnuExecute"))->isEnabled());
        QVERIFY(!m_window->action(QStringLiteral("mnuCSV"))->isEnabled());
        m_window->SetWindowEnabled(true);
        QVERIFY(m_window->action(QStringLiteral("mnuExecute"))->isEnabled());
        // Items disabled for their own reasons stay disabled.
        QVERIFY(!m_window->action(QStringLiteral("mnuQueryForward"))->isEnabled());
        QVERIFY(!m_window->waitPanel()->progressBar()->isVisible());
    }

    void messagePanelWaitsForAButton() {
        m_answers << PanelAnswer::Cancel;
        QCOMPARE(
            m_window->ShowMessagePanel(QStringLiteral("削除クエリを実行しますか？"), true, true),
            PanelAnswer::Cancel);
        QVERIFY(!m_window->waitPanel()->isVisible());
        // A prompt during a busy phase returns to the busy panel.
        m_window->ShowBusy(QString(), false, false);
        m_answers << PanelAnswer::Ok;
        QCOMPARE(m_window->ShowMessagePanel(QStringLiteral("line\n"), true, false),
                 PanelAnswer::Ok);
        QVERIFY(m_window->waitPanel()->isVisible());
        QCOMPARE(m_window->waitPanel()->message(), QStringLiteral("\nしばらくお待ちください"));
        m_window->HideBusy();
        QVERIFY(!m_window->waitPanel()->isVisible());
    }

    // Escape answers a question's Cancel wherever the focus is in the panel; a report with OK
    // alone stays until OK. Keys go where the platform sends them, to the focused control.
    // Qt's own dialogs and buttons speak Japanese, as the program does.
    void qtDialogsInJapanese() {
        QVERIFY(installQtTranslations(*qApp));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 QStringLiteral("キャンセル"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("開く(&O)"));
    }

    void escapeAnswersCancel() {
        query()->setPlainText(QStringLiteral("delete from k where id = 1"));
        QStringList asked;
        QTimer::singleShot(0, m_window.get(), [&] {
            WaitPanel* wait = m_window->waitPanel();
            asked << wait->message().trimmed();
            QCOMPARE(QApplication::focusWidget(), wait->okButton());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(asked, QStringList{kDeleteQuestion});
        QCOMPARE(panel("status"), kQueryNotRun);
        QVERIFY(!m_window->waitPanel()->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), query());
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select count(*) from k"), m_record.adoConnection.get()));
        QCOMPARE(rs.text(0, 0), QStringLiteral("2"));

        bool stayed = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            stayed = m_window->waitPanel()->isVisible();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(m_window->ShowMessagePanel(QStringLiteral("report"), true, false),
                 PanelAnswer::Ok);
        QVERIFY(stayed);
    }

    void waitPicturesAndCancel() {
        QTemporaryDir pictures;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        // Slots 2 and 4 only: later files keep their own slot numbers.
        QVERIFY(image.save(pictures.filePath(QStringLiteral("Tolvan002.jpg")), "JPG"));
        QVERIFY(image.save(pictures.filePath(QStringLiteral("Tolvan004.jpg")), "JPG"));
        WaitPanel* panel = m_window->waitPanel();
        QCOMPARE(
            panel->LoadWaitPictures({pictures.path() + QLatin1Char('/')}, QStringLiteral("Tolvan")),
            2);
        QVERIFY(!panel->findChild<QLabel*>(QStringLiteral("imgWait(1)"))->pixmap().isNull());
        QVERIFY(panel->findChild<QLabel*>(QStringLiteral("imgWait(0)"))->pixmap().isNull());
        panel->ShowRandomWaitPicture(); // any slot drawn, missing pictures show only the text
        QCOMPARE(
            panel->LoadWaitPictures({QStringLiteral("/nonexistent/")}, QStringLiteral("Tolvan")),
            0);

        // Cancel on the busy panel asks a running import to stop.
        m_window->transferFlags().bImporting = true;
        m_window->ShowBusy(QString(), false, true);
        QVERIFY(m_window->findChild<QWidget*>(QStringLiteral("txtFocus"))->isEnabled());
        panel->cancelButton()->click();
        QVERIFY(m_window->transferFlags().bAbort);
        m_window->HideBusy();
        QVERIFY(!m_window->findChild<QWidget*>(QStringLiteral("txtFocus"))->isEnabled());
        m_window->transferFlags().bImporting = false;
    }

    void runningStatementIsCancelled_data() {
        QTest::addColumn<bool>("button");
        QTest::newRow("Escape") << false;
        QTest::newRow("Cancel") << true;
    }
    void runningStatementIsCancelled() {
        QFETCH(bool, button);
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QStringLiteral("0"));
        QTableView* grid = this->grid();
        WaitPanel* wait = m_window->waitPanel();
        query()->setPlainText(QStringLiteral("select * from k order by id"));
        QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(grid->model()->rowCount(), 2);
        QTRY_COMPARE(QApplication::focusWidget(), query());

        query()->setPlainText(QStringLiteral(
            "select count(*) from (with recursive r(i) as (select 1 union all select i + 1 "
            "from r) select i from r)"));
        bool lockedAndBusy = false;
        bool cancelled = false;
        QTimer::singleShot(300, m_window.get(), [&] {
            // Still running, and this event came through: the window is locked and shows the
            // panel with Cancel.
            lockedAndBusy = m_window->busyVisible() && wait->isVisible() &&
                            wait->cancelButton()->isEnabled() && !query()->isEnabled() &&
                            !m_window->action(QStringLiteral("mnuExecute"))->isEnabled();
            cancelled = true;
            if (button) {
                QTest::mouseClick(wait->cancelButton(), Qt::LeftButton);
            } else {
                QWidget* focus = QApplication::focusWidget();
                QVERIFY(focus && m_window->isAncestorOf(focus));
                QTest::keyClick(focus, Qt::Key_Escape);
            }
        });
        QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QVERIFY(lockedAndBusy);
        // The statement never ends by itself: that it came back at all is the cancel's doing.
        // The user asked for it: the status bar says so, and no report waits for OK (the
        // fixture fails the test on a prompt nobody expected).
        QVERIFY(cancelled);
        QCOMPARE(panel("status"), kQueryCancelled);
        // As after a failed SELECT: the old rows stay, the statement is in the history and
        // the window is back with the focus where it was.
        QCOMPARE(grid->model()->rowCount(), 2);
        QVERIFY(m_state->resultOpen);
        QVERIFY(m_state->history.entries().last().startsWith(QStringLiteral("select count(*)")));
        QVERIFY(!m_window->busyVisible());
        QVERIFY(query()->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), query());

        // The next statement runs as usual.
        query()->setPlainText(QStringLiteral("select name from k order by id"));
        QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(panel("status"), QStringLiteral("2件のデータが処理されました"));
        QCOMPARE(grid->model()->index(1, 0).data().toString(), QStringLiteral("b"));
    }

    void deleteIsConfirmedInThePanel() {
        query()->setPlainText(QStringLiteral("select * from k"));
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        query()->setPlainText(QStringLiteral("delete from k where id = 1"));
        m_answers << PanelAnswer::Cancel;
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        QCOMPARE(panel("status"), QStringLiteral("クエリは実行されませんでした"));
        m_answers << PanelAnswer::Ok;
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        QCOMPARE(panel("status"), QStringLiteral("1件のデータが削除されました"));
        QCOMPARE(grid()->model()->rowCount(), 1);
    }

    // F5 on a result whose text changed data asks first, with Cancel as the default: Enter
    // keeps the rows shown and runs nothing; asked again, OK runs it once more.
    void refreshOfAChangeAsksFirst() {
        QVERIFY(
            testdb::exec(*m_record.adoConnection,
                         QStringLiteral("CREATE TABLE IF NOT EXISTS zz (id INTEGER PRIMARY KEY, "
                                        "v TEXT)")));
        const auto inserted = [&] {
            db::Recordset rs;
            rs.Open(QStringLiteral("select count(*) from zz"), m_record.adoConnection.get());
            return rs.text(0, 0).toInt();
        };
        const int before = inserted();
        QTableView* grid = this->grid();
        query()->setPlainText(QStringLiteral("insert into zz(v) values ('a') returning id"));
        QTest::keyClick(query(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(inserted(), before + 1);
        grid->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), grid);
        QString asked;
        QWidget* focused = nullptr;
        QTimer::singleShot(0, m_window.get(), [&] {
            asked = m_window->waitPanel()->message();
            focused = QApplication::focusWidget();
            QTest::keyClick(focused, Qt::Key_Return);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        QVERIFY(idle());
        QVERIFY2(asked.contains(QStringLiteral("もう一度実行しますか")), qPrintable(asked));
        QCOMPARE(focused, m_window->waitPanel()->cancelButton());
        QCOMPARE(inserted(), before + 1);
        QCOMPARE(grid->model()->rowCount(), 1);
        QTRY_COMPARE(QApplication::focusWidget(), grid);

        m_answers << PanelAnswer::Ok;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        QVERIFY(idle());
        QCOMPARE(inserted(), before + 2);
    }

    void closeIsRefusedWhileWorkRuns() {
        m_window->transferFlags().bImporting = true;
        QVERIFY(!m_window->close());
        QVERIFY(m_window->transferFlags().bAbort);
        m_window->transferFlags().bImporting = false;
        m_window->transferFlags().bAbort = false;
        m_window->SetWindowEnabled(false);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->transferFlags().bAbort);
        m_window->SetWindowEnabled(true);
        QVERIFY(m_window->close());
        QVERIFY(!m_record.adoConnection->isOpen());
        // The position is kept in twips.
        const int dpi = m_window->logicalDpiX();
        QCOMPARE(GetSetting(QStringLiteral("WindowsPosition"), QStringLiteral("Width"), 0),
                 QString::number(pixelsToTwips(m_window->width(), dpi)));
    }

    void savedPositionApplies() {
        SaveSetting(QStringLiteral("WindowsPosition"), QStringLiteral("Left"),
                    QStringLiteral("1500"));
        SaveSetting(QStringLiteral("WindowsPosition"), QStringLiteral("Top"),
                    QStringLiteral("-120"));
        SaveSetting(QStringLiteral("WindowsPosition"), QStringLiteral("Width"),
                    QStringLiteral("9000"));
        frmKorvel other(*m_state);
        const int dpi = other.logicalDpiX();
        QCOMPARE(other.x(), twipsToPixels(1500, dpi));
        QCOMPARE(other.y(), twipsToPixels(4275, dpi)); // not above 0: the design value stays
        QCOMPARE(other.width(), twipsToPixels(9000, dpi));
        // The new-connection command resets the position for the next process.
        bool started = false;
        other.startSecondProcess = [&] { return started = true; };
        other.toolbarButton(QStringLiteral("Connect"))->trigger();
        QVERIFY(started);
        QCOMPARE(GetSetting(QStringLiteral("WindowsPosition"), QStringLiteral("Left"), 0),
                 QStringLiteral("0"));
        QCOMPARE(GetSetting(QStringLiteral("WindowsPosition"), QStringLiteral("Top"), 0),
                 QStringLiteral("0"));
    }

    void resizeKeepsTheLayout() {
        const int dpi = m_window->logicalDpiX();
        m_window->resize(twipsToPixels(5000, dpi), twipsToPixels(3000, dpi));
        QVERIFY(m_window->width() >= twipsToPixels(7845, dpi));
        QVERIFY(m_window->height() >= twipsToPixels(5600, dpi));
        m_window->resize(1000, 800);
        QTableView* grid = this->grid();
        QCOMPARE(grid->width(), m_window->centralWidget()->width());
        QCOMPARE(query()->width(), m_window->centralWidget()->width() -
                                       (twipsToPixels(11715, dpi) - twipsToPixels(11710, dpi)));
    }
};

QTEST_MAIN(TestFrmKorvel)
#include "tst_frmkorvel.moc"
