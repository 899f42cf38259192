// The main window's CSV and TAB commands and dropped files, offscreen on a real SQLite file:
// real drag-and-drop events with file URLs on each drop target, real panel buttons.
#include "MainWindowFixture.h"
#include "PaintCounter.h"
#include "TestBackends.h"
#include "app/WaitPanel.h"
#include "app/frmKorvel.h"
#include "options/SettingsStore.h"
#include "query/modExecuteQuery.h"
#include "transfer/TransferTexts.h"
#include "widgets/FileDialogFilter.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

class TestKorvelTransfer : public QObject, public MainWindowFixture {
    Q_OBJECT

    template <typename T> T* child(const char* name) {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }
    db::Connection& connection() { return *m_record.adoConnection; }
    // What the panel said, without the line breaks around it.
    QStringList prompts() const {
        QStringList out;
        for (const QString& p : m_prompts)
            out << p.trimmed();
        return out;
    }
    int count(const QString& table) {
        db::Recordset rs;
        return rs.Open(QStringLiteral("select count(*) from ") + table, &connection())
                   ? rs.text(0, 0).toInt()
                   : -1;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir->filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    // A drag with these files entering the widget, then dropped: whether the drop was taken.
    bool drop(QWidget* target, const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        const QPoint pos = target->rect().center();
        QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    }
    void showResult(const QString& sql) {
        child<QPlainTextEdit>("txtQuery")->setPlainText(sql);
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
        QVERIFY(m_state->resultOpen);
    }

private slots:
    void init() {
        ownSettings();
        QVERIFY(connectTo(QStringLiteral("sqlite")));
        testdb::exec(connection(), QStringLiteral("DROP TABLE IF EXISTS d"));
        QVERIFY(testdb::exec(connection(),
                             QStringLiteral("CREATE TABLE d (id INTEGER, name VARCHAR(10))")));
        QVERIFY(showWindow(OtherPrompts::PressOk));
    }
    void cleanup() { closeWindow(); }

    void dropTargets_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("imports");
        QTest::newRow("window") << "client" << true;
        QTest::newRow("query box") << "txtQuery" << true;
        QTest::newRow("table list") << "cboTableList" << true;
        QTest::newRow("toolbar") << "Toolbar1" << true;
        QTest::newRow("grid") << "DataGrid1" << false;
    }
    void dropTargets() {
        QFETCH(QString, target);
        QFETCH(bool, imports);
        showResult(QStringLiteral("select * from d"));
        QWidget* w = m_window->findChild<QWidget*>(target);
        QVERIFY(w);
        // Where the pointer really is: inside the text area, the list's edit field, the grid's
        // cells.
        if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) w = edit->viewport();
        if (auto* combo = qobject_cast<QComboBox*>(w)) w = combo->lineEdit();
        if (auto* grid = qobject_cast<QTableView*>(w)) w = grid->viewport();
        const QString path = file(QStringLiteral("data.CSV"), "1,\"a\"\r\n2,\"b\"\r\n");
        QCOMPARE(drop(w, {path}), imports);
        if (!imports) {
            QTest::qWait(50);
            QCOMPARE(count(QStringLiteral("d")), 0);
            return;
        }
        QTRY_COMPARE(count(QStringLiteral("d")), 2);
        QTRY_VERIFY(child<QPlainTextEdit>("txtQuery")->isEnabled());
        QCOMPARE(prompts(), QStringList());
        // The grid shows the new rows; the drop left nothing in the query box.
        QCOMPARE(child<QTableView>("DataGrid1")->model()->rowCount(), 2);
        QCOMPARE(child<QPlainTextEdit>("txtQuery")->toPlainText(),
                 QStringLiteral("select * from d"));
        QVERIFY(!m_window->waitPanel()->progressBar()->isVisible());
    }

    void dropOfSeveralFiles() {
        showResult(QStringLiteral("select * from d"));
        const QString csv = file(QStringLiteral("one.csv"), "1,a\r\n");
        const QString tab = file(QStringLiteral("two.Tab"), "2\tb\r\n3\tc\r\n");
        QVERIFY(drop(m_window.get(), {csv, tab}));
        QTRY_COMPARE(count(QStringLiteral("d")), 3);
        QTRY_VERIFY(child<QPlainTextEdit>("txtQuery")->isEnabled());
        QCOMPARE(prompts(), QStringList());

        // Other files, and paths too short to have a name and an extension, are refused.
        const QString report = file(QStringLiteral("report.txt"), "4,d\r\n");
        QVERIFY(drop(child<QToolBar>("Toolbar1"), {report, QStringLiteral("/.csv")}));
        // The panel shows the two lines with a plain line break.
        const QString refusal =
            QString(kDropRefused).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QTRY_COMPARE(m_prompts.size(), 2);
        QCOMPARE(prompts(), QStringList({refusal, refusal}));
        QCOMPARE(count(QStringLiteral("d")), 3);
        QTRY_VERIFY(child<QPlainTextEdit>("txtQuery")->isEnabled());

        // Nothing starts while another operation holds the window.
        m_window->transferFlags().bImporting = true;
        QVERIFY(!drop(m_window.get(), {csv}));
        m_window->transferFlags().bImporting = false;
        QTest::qWait(20);
        QCOMPARE(count(QStringLiteral("d")), 3);

        // With no result open there is nowhere to import to.
        m_state->resultOpen = false;
        m_prompts.clear();
        QVERIFY(drop(m_window.get(), {csv}));
        QTRY_COMPARE(prompts(), QStringList{kOpenResultFirst});
    }

    void menuExportAndImport() {
        QVERIFY(
            testdb::exec(connection(), QStringLiteral("INSERT INTO d VALUES (1, 'a'), (2, 'b')")));
        showResult(QStringLiteral("select * from d order by id"));
        const QString out = m_dir->filePath(QStringLiteral("menu.csv"));
        QStringList dialogs;
        m_window->showFileDialog = [&](bool save, const QString& title, const QString&,
                                       const QString&) {
            dialogs << QStringLiteral("%1 %2").arg(save ? "save" : "open", title);
            return out;
        };
        m_window->action(QStringLiteral("mnuCSV"))->trigger();
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("1,\"a\"\r\n2,\"b\"\r\n"));
        QVERIFY(!m_window->waitPanel()->progressBar()->isVisible());
        QVERIFY(child<QPlainTextEdit>("txtQuery")->isEnabled());

        m_window->action(QStringLiteral("mnuImportCSV"))->trigger();
        QVERIFY(idle());
        QCOMPARE(count(QStringLiteral("d")), 4);
        QCOMPARE(dialogs, QStringList({"save " + kCsvDialogTitle, "open " + kCsvDialogTitle}));
        QCOMPARE(child<QTableView>("DataGrid1")->model()->rowCount(), 4);
        QCOMPARE(prompts(), QStringList());
    }

    void dialogFilters() {
        QCOMPARE(dialogFilter(kCsvDialogFilter),
                 QStringLiteral("CSVファイル (*.csv);;テキストファイル (*.txt)"));
        QCOMPARE(dialogFilter(QStringLiteral("All|*.csv;*.tab")),
                 QStringLiteral("All (*.csv *.tab)"));
    }

    void escapeAsksToStop() {
        QStringList values;
        for (int i = 0; i < 20000; ++i)
            values << QStringLiteral("(%1, 'n')").arg(i);
        QVERIFY(testdb::exec(connection(), QStringLiteral("INSERT INTO d VALUES ") +
                                               values.join(QLatin1Char(','))));
        showResult(QStringLiteral("select * from d"));
        const QString out = m_dir->filePath(QStringLiteral("esc.csv"));
        m_window->showFileDialog = [&](bool, const QString&, const QString&, const QString&) {
            return out;
        };
        // Escape while the rows are being written, delivered as the platform does: to the
        // control with the focus, or to the window when its controls are locked.
        QTimer::singleShot(0, m_window.get(), [this] {
            QVERIFY(!child<QPlainTextEdit>("txtQuery")->isEnabled());
            QTest::keyClick(m_window->windowHandle(), Qt::Key_Escape);
        });
        m_answers << PanelAnswer::Ok;
        m_window->action(QStringLiteral("mnuCSV"))->trigger();
        QCOMPARE(prompts(), QStringList{kAbortQuestion});
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const qsizetype lines = written.readAll().count("\r\n");
        QVERIFY2(lines > 0 && lines < 20000, qPrintable(QString::number(lines)));
        // The count at the end is the lines in the file, the row in flight included.
        QCOMPARE(status(), QString::number(lines) + kRowsHandled);
        QVERIFY(!m_window->transferFlags().bExporting);
    }

    // A loop gives its feedback after every row; the window paints it with its events, a
    // few tens of milliseconds apart. Painted per row or per count shown, 100,000 rows would
    // paint the bar or the window thousands of times, far more than the time allows.
    void paintsFollowTimeNotRows_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("csv import") << "mnuImportCSV";
        QTest::newRow("tab import") << "mnuImportTAB";
        QTest::newRow("dropped file") << "drop";
        QTest::newRow("csv export") << "mnuCSV";
        QTest::newRow("tab export") << "mnuTab";
    }
    void paintsFollowTimeNotRows() {
        QFETCH(QString, command);
        const int rows = 100000;
        const bool tab = command.endsWith(QLatin1String("TAB"));
        QByteArray lines;
        for (int i = 0; i < rows; ++i)
            lines += QByteArray::number(i) + (tab ? "\tn\r\n" : ",\"n\"\r\n");
        const QString in =
            file(tab ? QStringLiteral("rows.tab") : QStringLiteral("rows.csv"), lines);
        const bool export_ =
            command == QLatin1String("mnuCSV") || command == QLatin1String("mnuTab");
        if (export_) {
            QVERIFY(
                testdb::exec(connection(),
                             QStringLiteral("WITH RECURSIVE r(i) AS (SELECT 0 UNION ALL SELECT i + "
                                            "1 FROM r WHERE i < %1) INSERT INTO d SELECT i, 'n' "
                                            "FROM r")
                                 .arg(rows - 1)));
        }
        showResult(QStringLiteral("select * from d"));
        const QString out = m_dir->filePath(QStringLiteral("out.txt"));
        m_window->showFileDialog = [&](bool save, const QString&, const QString&, const QString&) {
            return save ? out : in;
        };
        PaintCounter paints;
        qApp->installEventFilter(&paints);
        QElapsedTimer clock;
        clock.start();
        if (command == QLatin1String("drop")) {
            QVERIFY(drop(m_window.get(), {in}));
            // The import starts once the drop has been answered.
            QCoreApplication::processEvents();
        } else {
            m_window->action(command)->trigger();
        }
        QVERIFY(idle());
        const qint64 ms = clock.elapsed();
        qApp->removeEventFilter(&paints);
        QCOMPARE(count(QStringLiteral("d")), rows);
        // The rows written or stored, not the last multiple of the interval.
        QCOMPARE(status(), QString::number(rows) + kRowsHandled);
        if (export_) {
            QFile written(out);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll().count("\r\n"), rows);
        }
        QCOMPARE(prompts(), QStringList());
        // A paint every 10 ms at most, and a few for the start and the end.
        const int allowed = int(ms / 10) + 40;
        QVERIFY2(paints.busiest() <= allowed,
                 qPrintable(QStringLiteral("%1 painted %2 times in %3 ms")
                                .arg(paints.busiestName())
                                .arg(paints.busiest())
                                .arg(ms)));
    }

    // Inside each wait of the window (the rows of an export or an import between events, a
    // question in the message panel, a statement running on its worker) a close request is
    // refused and no key of another command starts a second operation: no statement, no
    // file dialog, no other window; the query box keeps its text.
    void nothingElseStartsInsideAWait_data() {
        QTest::addColumn<QString>("wait");
        for (const char* wait : {"export", "import", "question", "statement"})
            QTest::newRow(wait) << QString::fromLatin1(wait);
    }
    void nothingElseStartsInsideAWait() {
        QFETCH(QString, wait);
        QStringList values;
        for (int i = 0; i < 20000; ++i)
            values << QStringLiteral("(%1, 'n')").arg(i);
        QVERIFY(testdb::exec(connection(), QStringLiteral("INSERT INTO d VALUES ") +
                                               values.join(QLatin1Char(','))));
        testdb::exec(connection(), QStringLiteral("DROP TABLE IF EXISTS runs"));
        QVERIFY(testdb::exec(connection(), QStringLiteral("CREATE TABLE runs (n INTEGER)")));
        showResult(QStringLiteral("select * from d"));
        const QString rows = m_dir->filePath(QStringLiteral("rows.csv"));
        QFile csv(rows);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20000; ++i)
            csv.write(QByteArray::number(i) + ",\"m\"\r\n");
        csv.close();
        int dialogs = 0;
        m_window->showFileDialog = [&](bool save, const QString&, const QString&, const QString&) {
            ++dialogs;
            return save ? m_dir->filePath(QStringLiteral("out.csv")) : rows;
        };
        auto* box = child<QPlainTextEdit>("txtQuery");
        const QString inBox = QStringLiteral("insert into runs values (1)");
        bool tried = false;
        const auto tryEverything = [&] {
            QVERIFY(m_window->operationRunning());
            QVERIFY(!m_window->close());
            const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
                {Qt::Key_E, Qt::ControlModifier},  {Qt::Key_Return, Qt::ControlModifier},
                {Qt::Key_R, Qt::ControlModifier},  {Qt::Key_F5, Qt::NoModifier},
                {Qt::Key_N, Qt::ControlModifier},  {Qt::Key_Space, Qt::ControlModifier},
                {Qt::Key_F7, Qt::NoModifier},      {Qt::Key_F8, Qt::NoModifier},
                {Qt::Key_F7, Qt::ControlModifier}, {Qt::Key_F8, Qt::ControlModifier},
                {Qt::Key_F6, Qt::NoModifier},      {Qt::Key_F3, Qt::NoModifier},
                {Qt::Key_F4, Qt::NoModifier},      {Qt::Key_F9, Qt::NoModifier},
                {Qt::Key_Left, Qt::AltModifier},   {Qt::Key_F1, Qt::NoModifier}};
            for (const auto& [key, modifiers] : keys) {
                QWidget* focus = QApplication::focusWidget();
                if (focus)
                    QTest::keyClick(focus, key, modifiers);
                else
                    QTest::keyClick(m_window->windowHandle(), key, modifiers);
            }
            tried = true;
        };
        // The close request asks the transfer to stop: it goes on when told so.
        if (wait == QLatin1String("export") || wait == QLatin1String("import"))
            m_answers << PanelAnswer::Cancel;
        const int historyBefore = int(m_state->history.entries().size());
        if (wait == QLatin1String("question")) {
            box->setPlainText(QStringLiteral("delete from d where id < 0"));
            QString asked;
            QTimer::singleShot(0, m_window.get(), [&] {
                QVERIFY(m_window->waitPanel()->isVisible());
                asked = m_window->waitPanel()->message();
                tryEverything();
            });
            m_window->ExecuteQueryBox();
            QVERIFY(idle());
            QCOMPARE(asked.trimmed(), kDeleteQuestion);
        } else if (wait == QLatin1String("statement")) {
            box->setPlainText(QStringLiteral(
                "with recursive r(i) as (select 1 union all select i + 1 from r where i < "
                "100000000) select count(*) from r"));
            QTimer::singleShot(0, m_window.get(), [&] {
                tryEverything();
                m_window->waitPanel()->cancelButton()->click();
            });
            m_window->ExecuteQueryBox();
            QVERIFY(idle());
        } else {
            box->setPlainText(inBox);
            QTimer::singleShot(0, m_window.get(), tryEverything);
            m_window
                ->action(wait == QLatin1String("export") ? QStringLiteral("mnuCSV")
                                                         : QStringLiteral("mnuImportCSV"))
                ->trigger();
            QVERIFY(idle());
            QCOMPARE(dialogs, 1);
            QCOMPARE(box->toPlainText(), inBox);
            QCOMPARE(count(QStringLiteral("d")), wait == QLatin1String("import") ? 40000 : 20000);
        }
        QVERIFY(tried);
        QVERIFY(!m_window->operationRunning());
        QCOMPARE(count(QStringLiteral("runs")), 0);
        QCOMPARE(int(m_state->history.entries().size()),
                 historyBefore +
                     (wait == QLatin1String("export") || wait == QLatin1String("import") ? 0 : 1));
        QVERIFY(m_window->isVisible());
        QVERIFY(QApplication::topLevelWidgets().size() >= 1);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible() || w == m_window.get() || w->isAncestorOf(m_window.get()),
                     qPrintable(w->objectName()));
    }
};

QTEST_MAIN(TestKorvelTransfer)
#include "tst_korveltransfer.moc"
