// The batch window offscreen: its controls, load and close state, resize rule, keys, log, and
// runs started from its Execute button against a real SQLite database.
#include "PaintCounter.h"
#include "TestBackends.h"
#include "batch/BatchLog.h"
#include "batch/frmBatch.h"
#include "db/Recordset.h"
#include "options/SettingsKeys.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

class TestFrmBatch : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_config;
    QTemporaryDir m_files;
    BatchState m_state;
    db::Connection m_connection;
    // The names of the main window's table list; none when it is not usable.
    std::optional<QStringList> m_tables;
    QStringList m_messages;

    std::unique_ptr<frmBatch> openWindow() {
        auto w = std::make_unique<frmBatch>(m_state, &m_connection, m_tables);
        w->showMessageBox = [this](const QString& text) { m_messages << text; };
        w->showFileDialog = [](const QString&, const QString&, const QString&) {
            return QString();
        };
        return w;
    }
    template <typename T> static T* child(QWidget* w, const char* name) {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
    static QPlainTextEdit* box(QWidget* w, const char* name) {
        return child<QPlainTextEdit>(w, name);
    }
    static QStringList modes(QWidget* w) {
        QStringList texts;
        auto* combo = child<QComboBox>(w, "cboBatch");
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemData(i).toInt() != i) texts << QStringLiteral("bad code");
            texts << combo->itemText(i);
        }
        return texts;
    }
    static QRect twips(int l, int t, int w, int h, int dpi) {
        return QRect(twipsToPixels(l, dpi), twipsToPixels(t, dpi), twipsToPixels(w, dpi),
                     twipsToPixels(h, dpi));
    }
    // The log with each timestamp checked and replaced by "T".
    static QString logWithoutTimes(const QString& log) {
        static const QRegularExpression stamp(
            QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\r$"),
            QRegularExpression::MultilineOption);
        QString text = log;
        return text.replace(stamp, QStringLiteral("T\r"));
    }
    void focusInto(QWidget* window, QWidget* target) {
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);
    }

private slots:
    void initTestCase() {
        QVERIFY(testdb::open(m_connection, QStringLiteral("sqlite")));
        testdb::exec(m_connection, QStringLiteral("DROP TABLE IF EXISTS Customers"));
        QVERIFY(testdb::exec(
            m_connection, QStringLiteral("CREATE TABLE Customers (id INTEGER, name VARCHAR(20))")));
        QVERIFY(testdb::exec(
            m_connection, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                         "FROM n WHERE i < 120) INSERT INTO Customers SELECT i, "
                                         "'name ' || i FROM n")));
    }
    void init() {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        m_state = BatchState();
        m_messages.clear();
        m_tables = QStringList();
    }

    void controlsMenusAndModes() {
        auto w = openWindow();
        const int dpi = w->logicalDpiX();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tolvan バッチ処理"));
        QCOMPARE(child<QComboBox>(w.get(), "cboBatch")->geometry(), twips(30, 90, 3675, 300, dpi));
        QVERIFY(!child<QComboBox>(w.get(), "cboBatch")->isEditable());
        auto* execute = child<QPushButton>(w.get(), "cmdBatch");
        QCOMPARE(execute->text(), QStringLiteral("実行"));
        QCOMPARE(execute->geometry(), twips(3780, 60, 1935, 375, dpi));
        QVERIFY(!execute->isDefault() && !execute->autoDefault());
        // The stop button beside it, within the narrowest window, usable only during a run.
        auto* stop = child<QPushButton>(w.get(), "cmdStop");
        QCOMPARE(stop->text(), QStringLiteral("中止"));
        QCOMPARE(stop->geometry(), twips(5775, 60, 765, 375, dpi));
        QVERIFY(stop->geometry().right() <
                twipsToPixels(6660, dpi) - (w->frameGeometry().width() - w->width()));
        QVERIFY(!stop->isEnabled() && !stop->isDefault() && !stop->autoDefault());
        QCOMPARE(box(w.get(), "txtBatch")->geometry(), twips(30, 480, 7545, 3555, dpi));
        QVERIFY(!box(w.get(), "txtBatch")->isReadOnly());
        QCOMPARE(box(w.get(), "txtBatchLog")->geometry(), twips(30, 4080, 7545, 1695, dpi));
        QVERIFY(box(w.get(), "txtBatchLog")->isReadOnly());
        auto* bar = child<QProgressBar>(w.get(), "ProgressBar1");
        QCOMPARE(bar->geometry(), twips(30, 5820, 7545, 255, dpi));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);

        QStringList captions;
        for (QAction* menu : child<QMenuBar>(w.get(), "menuBar")->actions()) {
            captions << menu->text();
            for (QAction* a : menu->menu()->actions()) {
                captions << (a->isSeparator() ? QStringLiteral("-")
                                              : a->objectName() + QLatin1Char(' ') + a->text());
                QVERIFY(a->shortcut().isEmpty());
            }
        }
        QCOMPARE(captions,
                 (QStringList{"ファイル(&F)", "mnuReadFile 読み込み(&R)", "-", "mnuEnd 終了(&X)",
                              "ヘルプ(&H)", "mnuIndex 目次(&I)", "-", "mnuAbout About(&A)"}));

        QCOMPARE(modes(w.get()),
                 (QStringList{"CSVファイルのバッチインポート", "TABファイルのバッチインポート",
                              "CSVファイルのバッチエクスポート", "TABファイルのバッチエクスポート",
                              "全てのテーブルのエクスポート(CSV)",
                              "全てのテーブルのエクスポート(TAB)"}));
    }

    void fourModesWithoutTheTableList() {
        m_tables.reset();
        QCOMPARE(modes(openWindow().get()).size(), 4);
    }

    void textsLogAndModeAcrossOpenings() {
        {
            auto w = openWindow();
            w->show();
            child<QComboBox>(w.get(), "cboBatch")->setCurrentIndex(3);
            w->setCommandText(QStringLiteral("T1, a.csv\r\nT2, b.csv"));
            w->AppendLog(QStringLiteral("first"), QString(), true);
            QVERIFY(w->close());
        }
        QCOMPARE(m_state.SavedBatchText, QStringLiteral("T1, a.csv\r\nT2, b.csv"));
        auto w = openWindow();
        QCOMPARE(child<QComboBox>(w.get(), "cboBatch")->currentIndex(), 0);
        QCOMPARE(box(w.get(), "txtBatch")->toPlainText(), QStringLiteral("T1, a.csv\nT2, b.csv"));
        QCOMPARE(w->commandText(), QStringLiteral("T1, a.csv\r\nT2, b.csv"));
        QCOMPARE(logWithoutTimes(w->logText()), QStringLiteral("T\r\nfirst\r\n"));
        // A new program run starts empty.
        m_state = BatchState();
        auto fresh = openWindow();
        QCOMPARE(fresh->commandText(), QString());
        QCOMPARE(fresh->logText(), QString());
    }

    void positionSavedOnlyInTheNormalState() {
        {
            auto w = openWindow();
            w->showMaximized();
            QTRY_VERIFY(w->windowState() & Qt::WindowMaximized);
            QVERIFY(w->close());
        }
        QCOMPARE(ReadSetting(keys::BatchLeft), QStringLiteral("0"));
        QCOMPARE(ReadSetting(keys::BatchWidth), QStringLiteral("0"));
        {
            auto w = openWindow();
            w->showMinimized();
            QVERIFY(w->close());
        }
        QCOMPARE(ReadSetting(keys::BatchHeight), QStringLiteral("0"));

        auto w = openWindow();
        const int dpi = w->logicalDpiX();
        w->show();
        w->move(150, 90);
        w->resize(700, 520);
        QVERIFY(w->close());
        QCOMPARE(ReadSetting(keys::BatchLeft),
                 QString::number(pixelsToTwips(w->frameGeometry().x(), dpi)));
        QCOMPARE(ReadSetting(keys::BatchTop),
                 QString::number(pixelsToTwips(w->frameGeometry().y(), dpi)));
        QCOMPARE(ReadSetting(keys::BatchWidth), QString::number(pixelsToTwips(700, dpi)));
        QCOMPARE(ReadSetting(keys::BatchHeight), QString::number(pixelsToTwips(520, dpi)));

        // The stored place and size come back at the next opening.
        auto again = openWindow();
        QCOMPARE(again->size(), QSize(700, 520));
        QCOMPARE(again->pos(), w->pos());
    }

    void storedValuesThatAreNotPositiveAreIgnored() {
        auto designed = openWindow();
        const QSize size = designed->size();
        const QPoint pos = designed->pos();
        designed.reset();
        WriteSetting(keys::BatchLeft, QStringLiteral("-300"));
        WriteSetting(keys::BatchTop, QStringLiteral("abc"));
        WriteSetting(keys::BatchHeight, QStringLiteral("0"));
        WriteSetting(keys::BatchWidth, QString());
        auto w = openWindow();
        QCOMPARE(w->size(), size);
        QCOMPARE(w->pos(), pos);
    }

    void resizeRule() {
        auto w = openWindow();
        const int dpi = w->logicalDpiX();
        w->show();
        auto* command = box(w.get(), "txtBatch");
        auto* log = box(w.get(), "txtBatchLog");
        auto* bar = child<QProgressBar>(w.get(), "ProgressBar1");
        auto* mode = child<QComboBox>(w.get(), "cboBatch");
        const QSize before = w->size();
        const QRect c0 = command->geometry(), l0 = log->geometry(), b0 = bar->geometry(),
                    m0 = mode->geometry();
        w->resize(before.width() + 200, before.height() + 150);
        QTRY_COMPARE(w->size(), QSize(before.width() + 200, before.height() + 150));
        QCOMPARE(command->size(), c0.size() + QSize(200, 150));
        QCOMPARE(log->geometry(), l0.adjusted(0, 150, 200, 150));
        QCOMPARE(bar->geometry(), b0.adjusted(0, 150, 200, 150));
        QCOMPARE(mode->geometry(), m0);

        // Smaller than the minimum snaps back to it.
        w->resize(50, 50);
        const QSize frame = w->frameGeometry().size() - w->size();
        QTRY_COMPARE(w->size(), QSize(twipsToPixels(6660, dpi), twipsToPixels(3675, dpi)) - frame);
        QCOMPARE(log->height(), l0.height());
        QCOMPARE(w->height() - log->geometry().top(), before.height() - l0.top());
    }

    void controlsDuringARunAndFocusAfterIt() {
        auto w = openWindow();
        focusInto(w.get(), box(w.get(), "txtBatch"));
        auto* bar = child<QProgressBar>(w.get(), "ProgressBar1");
        bar->setValue(40);
        w->SetControlsEnabled(false);
        for (const char* name : {"cboBatch", "cmdBatch", "txtBatch"})
            QVERIFY2(!child<QWidget>(w.get(), name)->isEnabled(), name);
        QVERIFY(box(w.get(), "txtBatchLog")->isEnabled());
        for (const char* name : {"mnuReadFile", "mnuEnd", "mnuIndex", "mnuAbout"})
            QVERIFY2(!child<QAction>(w.get(), name)->isEnabled(), name);
        QVERIFY(!child<QMenu>(w.get(), "mnuFile")->menuAction()->isEnabled());
        QVERIFY(!child<QMenu>(w.get(), "mnuHelp")->menuAction()->isEnabled());
        QCOMPARE(bar->value(), 0);
        w->SetControlsEnabled(true);
        for (const char* name : {"cboBatch", "cmdBatch", "txtBatch"})
            QVERIFY2(child<QWidget>(w.get(), name)->isEnabled(), name);
        QVERIFY(child<QAction>(w.get(), "mnuReadFile")->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), box(w.get(), "txtBatch"));
    }

    void closeIsRefusedWhileRunning() {
        auto w = openWindow();
        w->show();
        w->setBatchRunning(true);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        // Escape never closes the window.
        w->setBatchRunning(false);
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QVERIFY(w->isVisible());
        child<QAction>(w.get(), "mnuEnd")->trigger();
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Rejected));
    }

    void ctrlASelectsAll_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("command, Ctrl") << "txtBatch" << int(Qt::ControlModifier);
        QTest::newRow("command, Ctrl+Shift")
            << "txtBatch" << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("log, Ctrl") << "txtBatchLog" << int(Qt::ControlModifier);
        QTest::newRow("log, Ctrl+Shift+Alt")
            << "txtBatchLog" << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    }
    void ctrlASelectsAll() {
        QFETCH(QString, name);
        QFETCH(int, modifiers);
        auto w = openWindow();
        w->setCommandText(QStringLiteral("T1, a.csv\r\nT2, b.csv"));
        w->AppendLog(QStringLiteral("entry"), QString(), true);
        auto* target = box(w.get(), qPrintable(name));
        focusInto(w.get(), target);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::KeyboardModifiers(modifiers));
        const QTextCursor cursor = target->textCursor();
        QCOMPARE(cursor.selectionStart(), 0);
        QCOMPARE(cursor.selectionEnd(), target->document()->characterCount() - 1);
        QCOMPARE(QApplication::focusWidget(), target);
        QCOMPARE(w->commandText(), QStringLiteral("T1, a.csv\r\nT2, b.csv"));
    }

    void otherKeysTypeOnce() {
        auto w = openWindow();
        auto* command = box(w.get(), "txtBatch");
        focusInto(w.get(), command);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("T1,a"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_B);
        QCOMPARE(w->commandText(), QStringLiteral("T1,a\r\nb"));
        QVERIFY(w->isVisible());
    }

    void logIsNewestFirst() {
        auto w = openWindow();
        w->AppendLog(QStringLiteral("one"), QStringLiteral("ignored"), true);
        w->AppendLog(QStringLiteral("two"), QStringLiteral("why"), false);
        w->AppendLog(QStringLiteral("three"), QString(), true);
        QCOMPARE(
            logWithoutTimes(w->logText()),
            QStringLiteral(
                "T\r\nthree\r\nT\r\ntwoは正常に処理されませんでした。\r\nwhy\r\nT\r\none\r\n"));
    }

    // Each entry costs the same however long the log is: an append touches its own characters
    // only (the text before it is never set again) and keeps no undo history behind it.
    void longLogStaysFast() {
        auto w = openWindow();
        w->show();
        auto* log = w->findChild<QPlainTextEdit*>(QStringLiteral("txtBatchLog"));
        QVERIFY(log);
        QTextDocument* document = log->document();
        int changes = 0, widestChange = 0, removed = 0, elsewhere = 0;
        QObject::connect(document, &QTextDocument::contentsChange,
                         [&](int position, int charsRemoved, int charsAdded) {
                             ++changes;
                             // The newest entry goes first.
                             if (position != 0) ++elsewhere;
                             removed += charsRemoved;
                             widestChange = std::max(widestChange, charsAdded);
                         });
        for (int i = 0; i < 20000; ++i) {
            if (i == 5000) changes = widestChange = removed = elsewhere = 0;
            w->AppendLog(QStringLiteral("line %1").arg(i), QStringLiteral("detail"), false);
            // A log set anew each time grows slower with every entry: stop at the first.
            if (removed != 0 || elsewhere != 0) break;
        }
        QCOMPARE(removed, 0);
        QCOMPARE(elsewhere, 0);
        QCOMPARE(changes, 15000);
        const qsizetype entry =
            BatchLogEntry(QDateTime::currentDateTime(), QStringLiteral("line 19999"),
                          QStringLiteral("detail"), false)
                .size();
        QVERIFY2(widestChange <= entry,
                 qPrintable(QStringLiteral("an append changed %1 characters, an entry has %2")
                                .arg(widestChange)
                                .arg(entry)));
        QVERIFY(!document->isUndoRedoEnabled());
        QCOMPARE(document->availableUndoSteps(), 0);
        QVERIFY(w->logText().startsWith(QStringLiteral("20")));
        QCOMPARE(w->logText().count(QStringLiteral("は正常に処理されませんでした。")), 20000);
    }

    void readFileMenuFillsTheCommandBox() {
        const QString path = m_files.filePath(QStringLiteral("b.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\r\nT1, a.csv\r\nT2, b.csv\r\n");
        f.close();
        auto w = openWindow();
        QStringList asked;
        w->showFileDialog = [&](const QString& title, const QString& filter,
                                const QString& folder) {
            asked << title << filter << folder;
            return path;
        };
        child<QAction>(w.get(), "mnuReadFile")->trigger();
        QCOMPARE(w->commandText(), QStringLiteral("T1, a.csv\r\nT2, b.csv"));
        QCOMPARE(asked,
                 (QStringList{"バッチファイル インポート", "テキストファイル (*.txt)|*.txt", ""}));
        QVERIFY(child<QWidget>(w.get(), "txtBatch")->isEnabled());

        w->showFileDialog = [](const QString&, const QString&, const QString&) {
            return QStringLiteral("/no/such");
        };
        child<QAction>(w.get(), "mnuReadFile")->trigger();
        QCOMPARE(m_messages, QStringList{"指定されたファイルは存在しません"});
        QCOMPARE(w->commandText(), QStringLiteral("T1, a.csv\r\nT2, b.csv"));
        QVERIFY(child<QWidget>(w.get(), "cmdBatch")->isEnabled());
    }

    void aboutIsModalOverTheWindow() {
        auto w = openWindow();
        w->show();
        QWidget* over = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || box == w.get()) return;
            over = box->parentWidget();
            box->close();
        });
        child<QAction>(w.get(), "mnuAbout")->trigger();
        QCOMPARE(over, w.get());
        QVERIFY(w->isVisible());
        QVERIFY(m_messages.isEmpty());
    }

    // Runs through the Execute button ----------------------------------------------------

    void workedExample() {
        const QString dir = m_files.path() + QStringLiteral("/data/");
        QVERIFY(QDir().mkpath(dir));
        auto w = openWindow();
        w->show();
        child<QComboBox>(w.get(), "cboBatch")->setCurrentIndex(2);
        w->setCommandText(
            QStringLiteral(
                "Customers, %1customers.csv\r\nOrders %1orders.csv\r\n, %1x.csv\r\nItems, %1")
                .arg(dir));
        QTest::mouseClick(child<QPushButton>(w.get(), "cmdBatch"), Qt::LeftButton);
        const QString expected =
            QStringLiteral(
                "T\r\nItems, %1は正常に処理されませんでした。\r\nファイル名が不正です。\r\n"
                "T\r\n, "
                "%1x.csvは正常に処理されませんでした。\r\nテーブル名が入力されていません。\r\n"
                "T\r\nOrders %1orders.csvは正常に処理されませんでした。\r\n入力形式が不正です。\r\n"
                "T\r\n%1customers.csvに120件のデータが出力されました\r\n")
                .arg(dir);
        QCOMPARE(logWithoutTimes(w->logText()), expected);
        QVERIFY(QFile::exists(dir + QStringLiteral("customers.csv")));
        QVERIFY(!m_state.BatchRunning);
        QVERIFY(child<QWidget>(w.get(), "cmdBatch")->isEnabled());
        // The command box is not changed by a line-driven run.
        QVERIFY(w->commandText().startsWith(QStringLiteral("Customers, ")));
    }

    void fortyThousandLinesAreAllLogged() {
        auto w = openWindow();
        w->show();
        QString text;
        for (int i = 0; i < 40000; ++i)
            text += QStringLiteral("T%1 f%1.csv\r\n").arg(i);
        w->setCommandText(text);
        // A close request during the run is refused and the run goes on.
        bool closed = true;
        QTimer::singleShot(50, w.get(), [&] { closed = w->close(); });
        // The log keeps painting while the run goes on.
        PaintCounter paints;
        box(w.get(), "txtBatchLog")->viewport()->installEventFilter(&paints);
        QTest::mouseClick(child<QPushButton>(w.get(), "cmdBatch"), Qt::LeftButton);
        box(w.get(), "txtBatchLog")->viewport()->removeEventFilter(&paints);
        QVERIFY(!closed);
        QVERIFY(w->isVisible());
        QVERIFY2(paints.busiest() > 1, qPrintable(QString::number(paints.busiest())));
        const QString log = w->logText();
        QCOMPARE(log.count(QStringLiteral("入力形式が不正です。")), 40000);
        QVERIFY(log.contains(QStringLiteral("\r\nT39999 f39999.csvは正常に")));
        QVERIFY(log.endsWith(QStringLiteral(
            "\r\nT0 f0.csvは正常に処理されませんでした。\r\n入力形式が不正です。\r\n")));
    }

    // Escape or 中止 during a run asks 処理を中断しますか？ after the next row: OK ends the
    // transfer with the rows so far stored (or in the file), the log counts exactly those, and
    // the lines after it do not run; Cancel goes on to the end. The window stays open.
    void stopBetweenRows_data() {
        QTest::addColumn<int>("mode");     // 0 CSV import, 2 CSV export
        QTest::addColumn<bool>("button");  // 中止 rather than Escape
        QTest::addColumn<bool>("stopped"); // the answer
        QTest::newRow("import, Escape") << 0 << false << true;
        QTest::newRow("import, stop button") << 0 << true << true;
        QTest::newRow("import, Escape, go on") << 0 << false << false;
        QTest::newRow("export, Escape") << 2 << false << true;
        QTest::newRow("export, stop button") << 2 << true << true;
        QTest::newRow("export, stop button, go on") << 2 << true << false;
    }
    void stopBetweenRows() {
        QFETCH(int, mode);
        QFETCH(bool, button);
        QFETCH(bool, stopped);
        const bool import = mode == 0;
        constexpr int kRows = 3000;
        testdb::exec(m_connection, QStringLiteral("DROP TABLE IF EXISTS stop_t"));
        QVERIFY(testdb::exec(m_connection,
                             QStringLiteral("CREATE TABLE stop_t (id INTEGER, name VARCHAR(20))")));
        const QString first = m_files.filePath(QStringLiteral("stop_first.csv"));
        const QString second = m_files.filePath(QStringLiteral("stop_second.csv"));
        QFile::remove(first);
        QFile::remove(second);
        if (import) {
            QByteArray lines;
            for (int i = 1; i <= kRows; ++i)
                lines += QByteArray::number(i) + ",\"name " + QByteArray::number(i) + "\"\r\n";
            QFile file(first);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(lines);
            file.close();
            QFile next(second);
            QVERIFY(next.open(QIODevice::WriteOnly));
            next.write("9999,\"next\"\r\n");
        } else {
            QVERIFY(testdb::exec(
                m_connection,
                QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < %1) INSERT INTO stop_t SELECT i, 'name ' || i FROM n")
                    .arg(kRows)));
        }
        const auto tableRows = [&] {
            db::Recordset rs;
            return rs.Open(QStringLiteral("select count(*) from stop_t"), &m_connection)
                       ? rs.text(0, 0).toInt()
                       : -1;
        };
        const auto fileLines = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? int(file.readAll().count("\r\n")) : -1;
        };

        auto w = openWindow();
        QStringList questions;
        w->showQuestion = [&](const QString& text) {
            questions << text;
            return stopped;
        };
        child<QComboBox>(w.get(), "cboBatch")->setCurrentIndex(mode);
        w->setCommandText(QStringLiteral("stop_t, %1\r\nstop_t, %2").arg(first, second));
        auto* execute = child<QPushButton>(w.get(), "cmdBatch");
        auto* stop = child<QPushButton>(w.get(), "cmdStop");
        QCOMPARE(stop->text(), QStringLiteral("中止"));
        QVERIFY(!stop->isEnabled());
        focusInto(w.get(), execute);
        // Inside the first file or table, when the window's events first run, the user asks
        // to stop.
        bool asked = false;
        QTimer::singleShot(0, w.get(), [&] {
            if (!m_state.BatchRunning) return;
            asked = true;
            QVERIFY(stop->isEnabled());
            if (button) {
                QTest::mouseClick(stop, Qt::LeftButton);
            } else {
                // Execute went grey: the focus moved on to the stop button.
                QCOMPARE(QApplication::focusWidget(), stop);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            }
        });
        QTest::mouseClick(execute, Qt::LeftButton);
        QVERIFY(asked);
        QCOMPARE(questions, QStringList{QStringLiteral("処理を中断しますか？")});
        QVERIFY(w->isVisible());
        QVERIFY(!m_state.BatchRunning);
        QVERIFY(!stop->isEnabled());

        const QString log = w->logText();
        const int held = import ? tableRows() : fileLines(first);
        if (!stopped) {
            QCOMPARE(held, import ? kRows + 1 : kRows);
            QVERIFY(!log.contains(QStringLiteral("中断")));
            if (!import) QCOMPARE(fileLines(second), kRows);
            return;
        }
        // The count the log gives is what is in the table or the file, no more.
        const QRegularExpression count(
            QStringLiteral("%1に(\\d+)件のデータが%2")
                .arg(import ? QStringLiteral("stop_t") : first,
                     import ? QStringLiteral("追加されました") : QStringLiteral("出力されました")));
        const QRegularExpressionMatch match = count.match(log);
        QVERIFY2(match.hasMatch(), qPrintable(log));
        QCOMPARE(match.captured(1).toInt(), held);
        QVERIFY2(held > 0 && held < kRows, qPrintable(QString::number(held)));
        QCOMPARE(logWithoutTimes(log),
                 QStringLiteral(
                     "T\r\n中断したため、残りのバッチ命令は実行されませんでした\r\n"
                     "T\r\nstop_t, %1は正常に処理されませんでした。\r\n処理を中断しました。%2\r\n")
                     .arg(first, match.captured(0)));
        // The second line did not run.
        if (import)
            QCOMPARE(tableRows(), held);
        else
            QVERIFY(!QFile::exists(second));
    }

    // The bar is set after every row and painted with the window's events, a few tens of
    // milliseconds apart: 100,000 rows painted per row would paint it 100,000 times.
    void paintsFollowTimeNotRows_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("csv import") << 0;
        QTest::newRow("tab export") << 3;
        QTest::newRow("export of all tables") << 4;
    }
    void paintsFollowTimeNotRows() {
        QFETCH(int, mode);
        constexpr int kRows = 100000;
        testdb::exec(m_connection, QStringLiteral("DROP TABLE IF EXISTS paint_t"));
        QVERIFY(testdb::exec(
            m_connection, QStringLiteral("CREATE TABLE paint_t (id INTEGER, name VARCHAR(20))")));
        const QString path = m_files.filePath(QStringLiteral("paint.txt"));
        const QString folder = m_files.filePath(QStringLiteral("paint"));
        QVERIFY(QDir().mkpath(folder));
        if (mode == 0) {
            QByteArray lines;
            for (int i = 1; i <= kRows; ++i)
                lines += QByteArray::number(i) + ",\"n\"\r\n";
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(lines);
        } else {
            QVERIFY(testdb::exec(
                m_connection,
                QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < %1) INSERT INTO paint_t SELECT i, 'n' FROM n")
                    .arg(kRows)));
        }
        m_tables = QStringList{QStringLiteral("paint_t")};
        auto w = openWindow();
        w->show();
        child<QComboBox>(w.get(), "cboBatch")->setCurrentIndex(mode);
        w->setCommandText(mode == 4 ? folder : QStringLiteral("paint_t, ") + path);
        PaintCounter paints;
        qApp->installEventFilter(&paints);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(child<QPushButton>(w.get(), "cmdBatch"), Qt::LeftButton);
        const qint64 ms = clock.elapsed();
        qApp->removeEventFilter(&paints);
        QVERIFY2(w->logText().contains(QStringLiteral("100000件")), qPrintable(w->logText()));
        // A paint every 10 ms at most, and a few for the start and the end.
        QVERIFY2(paints.busiest() <= int(ms / 10) + 40,
                 qPrintable(QStringLiteral("%1 painted %2 times in %3 ms")
                                .arg(paints.busiestName())
                                .arg(paints.busiest())
                                .arg(ms)));
    }

    void exportAllWritesTheListedTables() {
        const QString dir = m_files.path() + QStringLiteral("/all");
        QVERIFY(QDir().mkpath(dir));
        m_tables = QStringList{QStringLiteral("Customers"), QStringLiteral("Missing")};
        auto w = openWindow();
        w->show();
        child<QComboBox>(w.get(), "cboBatch")->setCurrentIndex(4);
        w->setCommandText(dir + QStringLiteral("\r\n"));
        QTest::mouseClick(child<QPushButton>(w.get(), "cmdBatch"), Qt::LeftButton);
        QCOMPARE(w->commandText(), dir + QStringLiteral("/"));
        QFile batch(dir + QStringLiteral("/ImportAllCSV.txt"));
        QVERIFY(batch.open(QIODevice::ReadOnly));
        QCOMPARE(batch.readAll(),
                 (QStringLiteral("Customers, %1/Customers.csv\r\n\r\n").arg(dir)).toUtf8());
    }
};

QTEST_MAIN(TestFrmBatch)
#include "tst_frmbatch.moc"
