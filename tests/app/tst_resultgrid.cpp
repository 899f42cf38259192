// The result grid and the table list in the main window, offscreen on a real SQLite file.
#include "MainWindowFixture.h"
#include "TestBackends.h"
#include "app/CompletionList.h"
#include "app/FindBar.h"
#include "app/GridTypeTable.h"
#include "app/RecordsetModel.h"
#include "app/ResultGrid.h"
#include "app/WaitPanel.h"
#include "app/frmKorvel.h"
#include "db/Recordset.h"
#include "options/SettingsKeys.h"
#include "options/SettingsStore.h"
#include "query/modExecuteQuery.h"
#include "query/modKorvel.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

class TestResultGrid : public QObject, public MainWindowFixture {
    Q_OBJECT
    QString m_file;
    QString m_backend;

    QLabel* panel(const char* key) {
        return m_window->findChild<QLabel*>(QString::fromLatin1(key));
    }
    QStringList column(int col) {
        QStringList out;
        for (int r = 0; r < grid()->model()->rowCount(); ++r)
            out << grid()->model()->index(r, col).data().toString();
        return out;
    }
    void run(const QString& sql) {
        m_window->findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setPlainText(sql);
        m_window->ExecuteQueryBox();
        QVERIFY(idle());
    }
    // A key as a user presses it: to whichever control has the focus.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, key, modifiers);
    }
    void clickCell(int row, int col) {
        const QRect r = grid()->visualRect(grid()->model()->index(row, col));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
    }
    // As a user's: the first click, then the second that makes it a double-click.
    void doubleClickAt(const QPoint& point) {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, point);
    }
    void clickHeader(int col) {
        QHeaderView* h = grid()->horizontalHeader();
        const int x = h->sectionViewportPosition(col) + h->sectionSize(col) / 2;
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
    }
    // A double-click on the right border of a column's header, as a user's.
    void doubleClickBorder(int col) {
        QHeaderView* h = grid()->horizontalHeader();
        const QPoint at(h->sectionViewportPosition(col) + h->sectionSize(col) - 1, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(h->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, at);
    }
    // What a cell needs to show whole, by the grid's own measure (and its grid line).
    int cellNeeds(int row, int col) {
        return grid()->sizeHintForIndex(grid()->model()->index(row, col)).width() + 1;
    }
    // The rows on the first screen of a result.
    int firstScreenRows() {
        int rows = 0;
        while (rows < grid()->model()->rowCount() &&
               grid()->visualRect(grid()->model()->index(rows, 0)).top() <
                   grid()->viewport()->height())
            ++rows;
        return rows;
    }
    // Whether the header of a column shows its name whole in bold, as it does while its column
    // holds the current cell.
    int boldHeaderNeeds(int col) {
        QHeaderView* h = grid()->horizontalHeader();
        QFont bold = h->font();
        bold.setBold(true);
        const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
        const QString name = grid()->model()->headerData(col, Qt::Horizontal).toString();
        return QFontMetrics(bold).horizontalAdvance(name) + 2 * margin;
    }
    bool boldHeaderFits(int col) {
        return boldHeaderNeeds(col) <= grid()->horizontalHeader()->sectionSize(col);
    }
    QStringList readBack(const QString& sql) {
        db::Connection c;
        if (m_backend == QLatin1String("sqlite")) {
            c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                  m_file);
            if (!c.Open()) return {};
        } else if (!testdb::open(c, m_backend)) {
            return {};
        }
        db::Recordset rs;
        if (!rs.Open(sql, &c)) return {};
        QStringList out;
        for (qint32 r = 0; r < rs.RecordCount(); ++r)
            out << rs.text(r, 0);
        return out;
    }
    // Characters typed one by one, each to the control that has the focus then.
    void type(const QString& text) {
        for (const QChar ch : text) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            QTest::keyClick(focus, ch.toLatin1());
        }
    }
    // Text as an input method gives it: composed (shown, not yet text), then committed.
    void compose(const QString& text) {
        QInputMethodEvent e(text, {});
        QApplication::sendEvent(QApplication::focusWidget(), &e);
    }
    void commitText(const QString& text) {
        QInputMethodEvent e;
        e.setCommitString(text);
        QApplication::sendEvent(QApplication::focusWidget(), &e);
    }
    CompletionList* completion() { return m_window->completionList(); }
    QStringList offered() {
        QStringList out;
        for (int i = 0; i < completion()->count(); ++i)
            out << completion()->item(i)->text();
        return out;
    }
    QLineEdit* cellEditor() {
        auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return edit && grid()->isAncestorOf(edit) ? edit : nullptr;
    }
    // Enter, and the editor's text written: the delegate commits on the next turn of the loop.
    void commit() {
        press(Qt::Key_Return);
        QTRY_VERIFY(!cellEditor());
    }
    QString rows() {
        return readBack(QStringLiteral("select %1 from g order by id")
                            .arg(m_backend == QLatin1String("mariadb-odbc")
                                     ? QStringLiteral("concat_ws('|', id, name, amount)")
                                     : QStringLiteral("id || '|' || name || '|' || amount")))
            .join(QLatin1Char(';'));
    }

    // Makes the table <table>_updates whose one value n counts the rows any UPDATE of the
    // table touches, by a trigger in each database's own words.
    bool countUpdates(testdb::Kind kind, const QString& table) {
        db::Connection& c = *m_record.adoConnection;
        const QString counter = table + QStringLiteral("_updates");
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + counter);
        if (!testdb::exec(c, QStringLiteral("CREATE TABLE %1 (n INTEGER)").arg(counter)) ||
            !testdb::exec(c, QStringLiteral("INSERT INTO %1 VALUES (0)").arg(counter)))
            return false;
        const QString count = QStringLiteral("UPDATE %1 SET n = n + 1").arg(counter);
        switch (kind) {
        case testdb::Kind::SqliteNative:
        case testdb::Kind::SqliteOdbc:
            return testdb::exec(c, QStringLiteral("CREATE TRIGGER %1_counted AFTER UPDATE ON %1 "
                                                  "BEGIN %2; END")
                                       .arg(table, count));
        case testdb::Kind::PostgresOdbc:
        case testdb::Kind::PostgresNative:
            return testdb::exec(c, QStringLiteral("CREATE OR REPLACE FUNCTION %1_count() RETURNS "
                                                  "trigger LANGUAGE plpgsql AS $$ BEGIN %2; "
                                                  "RETURN NULL; END $$")
                                       .arg(table, count)) &&
                   testdb::exec(c, QStringLiteral("CREATE TRIGGER %1_counted AFTER UPDATE ON %1 "
                                                  "FOR EACH ROW EXECUTE FUNCTION %1_count()")
                                       .arg(table));
        case testdb::Kind::MariaDbOdbc:
        case testdb::Kind::MariaDbNative:
            return testdb::exec(c, QStringLiteral("CREATE TRIGGER %1_counted AFTER UPDATE ON %1 "
                                                  "FOR EACH ROW %2")
                                       .arg(table, count));
        }
        return false;
    }

private slots:
    void init() {
        ownSettings();
        m_file = testdb::newSqliteFile(QStringLiteral("grid.db"));
        m_backend = QStringLiteral("sqlite");
        QVERIFY(connectTo(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_file,
                          db::ConnectionKind::Access));
        createTables();
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE \"g two\" (x INTEGER)")));
        QVERIFY(showWindow(OtherPrompts::PressOk));
    }
    void createTables() {
        testdb::exec(*m_record.adoConnection, QStringLiteral("DROP TABLE IF EXISTS g"));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE g (id INTEGER PRIMARY KEY, name "
                                            "VARCHAR(50), amount DECIMAL(18,2))")));
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral("INSERT INTO g VALUES (1, 'b', 10), (2, 'a', 9.5), (3, 'c', 100)")));
    }
    // A slot, so QtTest runs it as a test of its own: a window built anew over the same
    // connection opens active.
    void openWindow() { QVERIFY(showWindow(OtherPrompts::PressOk)); }
    // The window anew on another backend, with the table g made there.
    void useBackend(const QString& backend) {
        if (backend == m_backend) return;
        closeWindow();
        m_backend = backend;
        QVERIFY(connectTo(backend));
        createTables();
        QVERIFY(showWindow(OtherPrompts::PressOk));
    }
    void cleanup() { closeWindow(); }

    void typeTable_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        QTest::newRow("200/50") << 200 << "VarChar 50"
                                << "文字列型 (String)";
        QTest::newRow("131/18,2") << 131 << "Numeric 18,2"
                                  << "固定精度およびスケールの真数値 (DBTYPE_NUMERIC)";
        QTest::newRow("14") << 14 << "Decimal"
                            << "固定精度およびスケールの真数値 (DBTYPE_DECIMAL)";
        QTest::newRow("203") << 203 << "LongVarWChar"
                             << "Null 終了型の長文字列型";
        QTest::newRow("201 keeps its blank") << 201 << "LongVarChar"
                                             << "長文字列型 (String) ";
        QTest::newRow("64") << 64 << ""
                            << "";
    }
    void typeTable() {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QString, tip);
        QCOMPARE(gridTypeText(type, 50, 18, 2), text);
        QCOMPARE(gridTypeTip(type), tip);
    }

    void panelFollowsTheCurrentColumn() {
        run(QStringLiteral("select * from g order by id"));
        grid()->setFocus();
        grid()->setCurrentIndex(grid()->model()->index(0, 1));
        QCOMPARE(panel("datagrid")->text(), QStringLiteral("VarChar 50"));
        grid()->setCurrentIndex(grid()->model()->index(0, 2));
        QCOMPARE(panel("datagrid")->text(), QStringLiteral("Numeric 18,2"));
        QCOMPARE(panel("datagrid")->toolTip(),
                 QStringLiteral("固定精度およびスケールの真数値 (DBTYPE_NUMERIC)"));
        // Down keeps the column.
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->currentIndex().row(), 1);
        QCOMPARE(grid()->currentIndex().column(), 2);
        m_window->findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setFocus();
        QTRY_COMPARE(panel("datagrid")->text(), QString());
    }

    void twoClickSorting() {
        run(QStringLiteral("select * from g order by id"));
        QHeaderView* header = grid()->horizontalHeader();
        auto clickHeader = [&](int c) { emit header->sectionClicked(c); };
        clickHeader(1); // marks only
        QCOMPARE(column(1), QStringList({"b", "a", "c"}));
        clickHeader(1);
        QCOMPARE(column(1), QStringList({"a", "b", "c"}));
        QCOMPARE(m_state->resultSet->Sort(), QStringLiteral("name asc"));
        clickHeader(1);
        QCOMPARE(column(1), QStringList({"c", "b", "a"}));
        // Another header in between only marks that one; the order stays.
        clickHeader(2);
        QCOMPARE(column(1), QStringList({"c", "b", "a"}));
        clickHeader(2);
        QCOMPARE(column(2), QStringList({"9.5", "10", "100"}));
        // A new statement forgets the marked header.
        run(QStringLiteral("select * from g order by id"));
        clickHeader(2);
        QCOMPARE(column(0), QStringList({"1", "2", "3"}));
    }

    void editsAreWrittenBack() {
        run(QStringLiteral("select * from g order by id"));
        QVERIFY(grid()->model()->setData(grid()->model()->index(1, 1), QStringLiteral("edited")));
        QCOMPARE(readBack(QStringLiteral("select name from g where id = 2")),
                 QStringList{"edited"});
        // A row another connection deleted: the error is shown and nothing else changes.
        db::Connection other;
        other.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                  m_file);
        QVERIFY(other.Open());
        QVERIFY(other.Execute(QStringLiteral("DELETE FROM g WHERE id = 3")));
        QVERIFY(!grid()->model()->setData(grid()->model()->index(2, 1), QStringLiteral("lost")));
        QTRY_COMPARE(m_prompts.size(), 1);
        QVERIFY(m_prompts.front().startsWith(QStringLiteral("VB Error # ")));
        QCOMPARE(grid()->model()->index(2, 1).data().toString(), QStringLiteral("c"));
        QCOMPARE(readBack(QStringLiteral("select name from g order by id")),
                 QStringList({"b", "edited"}));
        QVERIFY(grid()->isEnabled());
    }

    // A key that starts an edit is its first character, in the cell shown as current only.
    void typingEditsTheCurrentCell_data() { testdb::addBackendRows(); }
    void typingEditsTheCurrentCell() {
        QFETCH(QString, backend);
        useBackend(backend);
        run(QStringLiteral("select * from g order by id"));
        const QString before = rows();
        // A double-click right of the last column gives the focus and no current cell.
        const QPoint beyond(grid()->horizontalHeader()->length() + 30,
                            grid()->rowViewportPosition(0) + grid()->rowHeight(0) / 2);
        QVERIFY(beyond.x() < grid()->viewport()->width());
        doubleClickAt(beyond);
        QCOMPARE(QApplication::focusWidget(), grid());
        QVERIFY(!grid()->currentIndex().isValid());
        press(Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("2000"));
        commit();
        QCOMPARE(rows(), before);
        QVERIFY(m_prompts.isEmpty());

        // With a current cell the first key opens its editor and is its first character.
        clickCell(1, 1);
        press(Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("2"));
        QVERIFY(cellEditor());
        QCOMPARE(cellEditor()->text(), QStringLiteral("2"));
        type(QStringLiteral("000"));
        QCOMPARE(cellEditor()->text(), QStringLiteral("2000"));
        commit();
        QCOMPARE(grid()->model()->index(1, 1).data().toString(), QStringLiteral("2000"));
        QCOMPARE(readBack(QStringLiteral("select name from g order by id")),
                 QStringList({"b", "2000", "c"}));
        QCOMPARE(readBack(QStringLiteral("select id from g order by id")),
                 QStringList({"1", "2", "3"}));
        QVERIFY(m_prompts.isEmpty());
    }

    // A computed column is read-only before any editing starts, and the status bar says why;
    // editing beside it keeps what the statement computed.
    void computedColumnsAreNotEdited_data() { testdb::addBackendRows(); }
    void computedColumnsAreNotEdited() {
        QFETCH(QString, backend);
        useBackend(backend);
        run(QStringLiteral("select id, name, amount * 1.1 as amount from g order by id"));
        QAbstractItemModel* model = grid()->model();
        QVERIFY(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(!(model->flags(model->index(0, 2)) & Qt::ItemIsEditable));
        const QString computed = model->index(0, 2).data().toString();
        QCOMPARE(computed, QStringLiteral("11"));
        const QString before = rows();
        const QString readOnly = QStringLiteral("この列は計算された値のため編集できません");

        clickCell(0, 2);
        QCOMPARE(panel("status")->text(), QString(QStringLiteral("3") + kRowsProcessed));
        press(Qt::Key_F2);
        QVERIFY(!cellEditor());
        QCOMPARE(panel("status")->text(), readOnly);
        m_window->UpdateStatusBar(QString());
        type(QStringLiteral("7"));
        QVERIFY(!cellEditor());
        QCOMPARE(panel("status")->text(), readOnly);
        QCOMPARE(grid()->currentIndex(), model->index(0, 2));
        m_window->UpdateStatusBar(QString());
        doubleClickAt(grid()->visualRect(model->index(1, 2)).center());
        QVERIFY(!cellEditor());
        QCOMPARE(panel("status")->text(), readOnly);
        QVERIFY(!model->setData(model->index(0, 2), QStringLiteral("7")));
        QCOMPARE(rows(), before);
        QVERIFY(m_prompts.isEmpty());

        // An edit of another cell of the row leaves the computed value as it was.
        clickCell(0, 1);
        type(QStringLiteral("z"));
        commit();
        QVERIFY(m_prompts.isEmpty());
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("z"));
        QCOMPARE(model->index(0, 2).data().toString(), computed);
        QCOMPARE(readBack(QStringLiteral("select name from g order by id")),
                 QStringList({"z", "a", "c"}));
    }

    void f2TogglesTheSelectionInTheEditor() {
        run(QStringLiteral("select * from g order by id"));
        grid()->setFocus();
        grid()->setCurrentIndex(grid()->model()->index(0, 1));
        grid()->edit(grid()->currentIndex());
        auto* editor = grid()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->deselect();
        QTest::keyClick(editor, Qt::Key_F2);
        QCOMPARE(editor->selectedText(), QStringLiteral("b"));
        QTest::keyClick(editor, Qt::Key_F2);
        QCOMPARE(editor->selectedText(), QString());
        QCOMPARE(editor->cursorPosition(), 1);
    }

    void setupOpensFromItsThreeCommands() {
        int shown = 0;
        m_window->showSetup = [&] { ++shown; };
        QTest::keyClick(m_window.get(), Qt::Key_F9);
        m_window->action(QStringLiteral("mnuSetup"))->trigger();
        m_window->toolbarButton(QStringLiteral("Setup"))->trigger();
        QCOMPARE(shown, 3);
    }

    void deleteAsksFirst() {
        run(QStringLiteral("select * from g order by id"));
        grid()->setFocus();
        grid()->selectRow(0);
        m_answers = {PanelAnswer::Cancel};
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(m_prompts.last(), QStringLiteral("\n選択されているデータを削除しますか？"));
        QCOMPARE(grid()->model()->rowCount(), 3);
        QVERIFY(grid()->isEnabled());
        grid()->selectRow(0);
        m_answers = {PanelAnswer::Ok};
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(grid()->model()->rowCount(), 2);
        QCOMPARE(readBack(QStringLiteral("select id from g order by id")), QStringList({"2", "3"}));
        QVERIFY(grid()->isEnabled());
    }

    void tableListOpensTables() {
        m_window->RetrieveTableList();
        QCOMPARE(tables()->currentText(), QStringLiteral("[g]"));
        QCOMPARE(tables()->count(), 2);
        QCOMPARE(tables()->itemText(1), QStringLiteral("[g two]"));
        QVERIFY(m_window->toolbarButton(QStringLiteral("refresh_tablelist"))->isEnabled());
        tables()->setFocus();
        QTest::keyClick(tables()->lineEdit(), Qt::Key_Return);
        QVERIFY(idle());
        QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->toPlainText(),
                 QStringLiteral("select * from [g]"));
        QCOMPARE(grid()->model()->rowCount(), 3);
        QVERIFY(tables()->hasFocus());
        m_window->toolbarButton(QStringLiteral("display_tablelist"))->trigger();
        QVERIFY(idle());
        QCOMPARE(m_state->history.entries(), QStringList{"select * from [g]"});
        // A typed name is used as typed, trailing blank included.
        tables()->setEditText(QStringLiteral("g "));
        m_window->OpenSelectedTable();
        QVERIFY(idle());
        QCOMPARE(m_state->history.entries().last(), QStringLiteral("select * from g "));
        // Blank text runs nothing.
        tables()->setEditText(QStringLiteral("  "));
        m_window->OpenSelectedTable();
        QVERIFY(idle());
        QCOMPARE(m_state->history.entries().size(), 2);
        QVERIFY(tables()->isEnabled());
    }

    void failedRetrievalDisablesItsButtons() {
        m_record.adoConnection->Close();
        m_window->RefreshTableList();
        QVERIFY(!m_window->toolbarButton(QStringLiteral("display_tablelist"))->isEnabled());
        QVERIFY(!m_window->toolbarButton(QStringLiteral("refresh_tablelist"))->isEnabled());
        m_window->SetWindowEnabled(true);
        QVERIFY(tables()->isEnabled());
        QVERIFY(!m_window->toolbarButton(QStringLiteral("refresh_tablelist"))->isEnabled());
    }

    void deleteNeedsWholeRows() {
        run(QStringLiteral("select * from g order by id"));
        clickCell(1, 1);
        QCOMPARE(QApplication::focusWidget(), grid());
        press(Qt::Key_Delete);
        QVERIFY(m_prompts.isEmpty());
        QCOMPARE(grid()->model()->rowCount(), 3);
        // A header click selects nothing, so Delete still has no rows to take.
        clickHeader(1);
        QCOMPARE(grid()->selectionModel()->selectedIndexes(),
                 QModelIndexList{grid()->model()->index(1, 1)});
        QCOMPARE(QApplication::focusWidget(), grid());
        press(Qt::Key_Delete);
        QVERIFY(m_prompts.isEmpty());
        QCOMPARE(readBack(QStringLiteral("select id from g order by id")),
                 QStringList({"1", "2", "3"}));
        // Shift+Space takes the current row whole.
        QCOMPARE(panel("status")->text(), QStringLiteral("3") + kRowsProcessed);
        clickCell(1, 1);
        press(Qt::Key_Space, Qt::ShiftModifier);
        press(Qt::Key_Delete);
        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(readBack(QStringLiteral("select id from g order by id")), QStringList({"1", "3"}));
        QCOMPARE(QApplication::focusWidget(), grid());
        // The count follows, and the current row is the one after the deleted row.
        QCOMPARE(panel("status")->text(), QStringLiteral("2") + kRowsProcessed);
        QCOMPARE(grid()->currentIndex().row(), 1);
        QCOMPARE(grid()->model()->index(1, 0).data().toString(), QStringLiteral("3"));
        // The last row deleted: the row before it is current.
        press(Qt::Key_Space, Qt::ShiftModifier);
        press(Qt::Key_Delete);
        QCOMPARE(readBack(QStringLiteral("select id from g order by id")), QStringList({"1"}));
        QCOMPARE(grid()->currentIndex().row(), 0);
        QCOMPARE(panel("status")->text(), QStringLiteral("1") + kRowsProcessed);
    }

    // A new result sizes each column to its header, in bold, and to the values of every row
    // held, each value up to 40% of the grid's width: a number far down (the largest, the
    // smallest) shows whole when the result is scrolled to its end. Numbers stand right. A
    // wider grid widens the columns its old width cut. A double-click on a header's border fits
    // the column to every row held, and is no click on the header for the sorting.
    void columnsFitTheirValues_data() { testdb::addBackendRows(); }
    void columnsFitTheirValues() {
        QFETCH(QString, backend);
        useBackend(backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS fit"));
        const QString stamp = testdb::isPostgres(kind)  ? QStringLiteral("TIMESTAMP(3)")
                              : testdb::isMariaDb(kind) ? QStringLiteral("DATETIME(3)")
                                                        : QStringLiteral("DATETIME");
        // day: dates at midnight, which show without their time, and one time of day.
        const QString day =
            testdb::isPostgres(kind) ? QStringLiteral("TIMESTAMP") : QStringLiteral("DATETIME");
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE fit (id INTEGER, company_name "
                                               "VARCHAR(10), stamp %1, note VARCHAR(600), far "
                                               "VARCHAR(100), n INTEGER, day %2)")
                                    .arg(stamp, day)));
        const QString far(40, QLatin1Char('M'));
        constexpr int kRows = 60000;
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO fit SELECT i, 'x', '2024-03-05 12:34:56.789', CASE WHEN "
                              "i = 2 THEN '%1' ELSE 'n' END, CASE WHEN i = 150 THEN '%2' ELSE "
                              "'y' END, CASE WHEN i = %3 THEN -1234567 ELSE 1 END, CASE WHEN i = "
                              "30000 THEN %5'2024-03-06 12:34:56' WHEN i < 30000 THEN "
                              "%5'2024-03-05 00:00:00' ELSE %5'2024-03-07 00:00:00' END FROM %4")
                   .arg(QString(500, QLatin1Char('W')), far)
                   .arg(kRows - 10)
                   .arg(testdb::numbers(kind, kRows),
                        // PostgreSQL takes a text for a timestamp only as a typed literal.
                        testdb::isPostgres(kind) ? QStringLiteral("TIMESTAMP ") : QString())));
        run(QStringLiteral("select * from fit order by id"));
        QCOMPARE(grid()->model()->rowCount(), kRows);
        QHeaderView* header = grid()->horizontalHeader();
        const int screen = firstScreenRows();
        QVERIFY(screen > 2 && screen < 150);
        grid()->scrollToBottom();
        const int cap = grid()->viewport()->width() * 2 / 5;
        // The vertical scroll bar and the wider row numbers of later rows may come after the
        // widths: the cap allows for them.
        const int slack =
            ((grid()->verticalScrollBar()->width() + grid()->verticalHeader()->width()) * 2 + 4) /
                5 +
            1;
        QList<int> rows{149, 29999, kRows - 11, kRows - 1};
        for (int row = 0; row < screen; ++row)
            rows << row;
        for (int col = 0; col < 7; ++col) {
            QVERIFY2(boldHeaderFits(col), qPrintable(QString::number(col)));
            for (const int row : rows)
                QVERIFY2(header->sectionSize(col) >= std::min(cellNeeds(row, col), cap),
                         qPrintable(QStringLiteral("%1,%2: %3 < %4")
                                        .arg(row)
                                        .arg(col)
                                        .arg(header->sectionSize(col))
                                        .arg(cellNeeds(row, col))));
            QVERIFY2(header->sectionSize(col) <= std::max(cap + slack, boldHeaderNeeds(col) + 8),
                     qPrintable(QStringLiteral("%1: %2 > %3, %4")
                                    .arg(col)
                                    .arg(header->sectionSize(col))
                                    .arg(cap + slack)
                                    .arg(boldHeaderNeeds(col))));
            const bool number = col == 0 || col == 5;
            QCOMPARE(grid()->model()->index(0, col).data(Qt::TextAlignmentRole).toInt(),
                     number ? int(Qt::AlignRight | Qt::AlignVCenter) : 0);
        }
        // The timestamps show whole; the long note stops at the cap.
        QVERIFY(header->sectionSize(2) >= cellNeeds(0, 2));
        QVERIFY2(qAbs(header->sectionSize(3) - cap) <= slack,
                 qPrintable(QStringLiteral("%1 vs %2").arg(header->sectionSize(3)).arg(cap)));
        // Maximised, the note widens to the new cap; the others stay.
        const QList<int> before = static_cast<ResultGrid*>(grid())->columnWidths();
        m_window->resize(m_window->width() * 2, m_window->height());
        QApplication::processEvents();
        const int wider = grid()->viewport()->width() * 2 / 5;
        QVERIFY(wider > cap + slack);
        QTRY_VERIFY2(qAbs(header->sectionSize(3) - wider) <= slack,
                     qPrintable(QStringLiteral("%1 vs %2").arg(header->sectionSize(3)).arg(wider)));
        for (const int col : {0, 1, 2, 5, 6})
            QCOMPARE(header->sectionSize(col), before[col]);
        m_window->resize(m_window->width() / 2, m_window->height());
        QApplication::processEvents();

        // One click marks the column; the double-click on its border is no second click.
        clickHeader(4);
        QCOMPARE(static_cast<ResultGrid*>(grid())->lastHeadColumn, QStringLiteral("4"));
        QSignalSpy clicked(header, &QHeaderView::sectionClicked);
        QSignalSpy pressed(header, &QHeaderView::sectionPressed);
        QSignalSpy viewsOwnFit(header, &QHeaderView::sectionHandleDoubleClicked);
        doubleClickBorder(4);
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(pressed.count(), 0);
        QCOMPARE(viewsOwnFit.count(), 0);
        QVERIFY2(header->sectionSize(4) >= cellNeeds(149, 4),
                 qPrintable(
                     QStringLiteral("%1 < %2").arg(header->sectionSize(4)).arg(cellNeeds(149, 4))));
        QVERIFY(header->sectionSize(4) <= cellNeeds(149, 4) + 4);
        QCOMPARE(column(0).mid(0, 3), QStringList({"1", "2", "3"}));
        QVERIFY(m_state->resultSet->Sort().isEmpty());
        // A click after it is the second click: it sorts.
        clickHeader(4);
        QCOMPARE(m_state->resultSet->Sort(), QStringLiteral("far asc"));
        QCOMPARE(column(0).front(), QStringLiteral("150"));
    }

    // The fit of a double-clicked border measures few texts whole and estimates the rest from
    // their characters: the column still shows the widest value of all rows, by the grid's own
    // measure of each cell, and is not much wider.
    void borderFitShowsTheWidestValue_data() {
        QTest::addColumn<QStringList>("values"); // "<null>" for Null; the last repeated
        QTest::addColumn<int>("repeats");
        QTest::newRow("kerning") << QStringList({"AVAVAVAVAV", "WWWWWW", "iiiiiiiiiiiii"}) << 1;
        QTest::newRow("japanese") << QStringList({"東京都千代田区", "ｱｲｳｴｵｶｷｸ", "abc"}) << 1;
        QTest::newRow("null word") << QStringList({"ab", "<null>"}) << 1;
        QTest::newRow("lines") << QStringList({"1行目\n長い二行目のテキストです", "short"}) << 1;
        QTest::newRow("outside the plane") << QStringList({"𠮷野家𠮷野家𠮷", "x"}) << 1;
        // Thousands of values of one shape, the widest last, further down than the view's own
        // fit would look.
        QTest::newRow("one shape")
            << QStringList({"2024-03-05 12:34:56.789", "2024-03-05 12:34:56.7890"}) << 1500;
    }
    void borderFitShowsTheWidestValue() {
        QFETCH(QStringList, values);
        QFETCH(int, repeats);
        db::Connection& c = *m_record.adoConnection;
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE w (id INTEGER, t TEXT)")));
        int id = 0;
        const auto add = [&](const QString& v) {
            const QString value = v == QLatin1String("<null>")
                                      ? QStringLiteral("NULL")
                                      : QLatin1Char('\'') + v + QLatin1Char('\'');
            return testdb::exec(
                c, QStringLiteral("INSERT INTO w VALUES (%1, %2)").arg(++id).arg(value));
        };
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO w SELECT i, '%1' FROM %2")
                   .arg(values.front(), testdb::numbers(testdb::Kind::SqliteNative, repeats))));
        id = repeats;
        for (const QString& v : values.mid(1))
            QVERIFY(add(v));
        run(QStringLiteral("select t from w order by id"));
        doubleClickBorder(0);
        int widest = 0;
        for (int row = 0; row < grid()->model()->rowCount(); ++row)
            widest = std::max(widest, cellNeeds(row, 0));
        const int width = grid()->horizontalHeader()->sectionSize(0);
        QVERIFY2(width >= widest && width <= widest + 4,
                 qPrintable(QStringLiteral("%1 for %2").arg(width).arg(widest)));
    }

    // The header shows the column the rows are sorted by and the direction; the bold header
    // follows the current cell wherever a key takes it.
    void sortByColumnPosition() {
        run(QStringLiteral("select name as id, id from g order by id"));
        QHeaderView* header = grid()->horizontalHeader();
        const auto mark = [header] {
            if (!header->isSortIndicatorShown()) return QStringLiteral("none");
            // The arrow as drawn: Qt points its ascending order down.
            return QStringLiteral("%1 %2")
                .arg(header->sortIndicatorSection())
                .arg(header->sortIndicatorOrder() == Qt::AscendingOrder ? "down" : "up");
        };
        clickHeader(1);
        QCOMPARE(mark(), QStringLiteral("none")); // a first click only marks the column
        clickHeader(1);
        // The second "id" column decides, not the first of that name.
        QCOMPARE(column(1), QStringList({"1", "2", "3"}));
        QCOMPARE(mark(), QStringLiteral("1 up")); // rising values
        clickHeader(1);
        QCOMPARE(column(1), QStringList({"3", "2", "1"}));
        QCOMPARE(mark(), QStringLiteral("1 down"));
        QVERIFY(boldHeaderFits(1));
        clickHeader(0);
        QCOMPARE(mark(), QStringLiteral("1 down"));

        QVERIFY(header->highlightSections());
        clickCell(1, 0);
        QCOMPARE(QApplication::focusWidget(), grid());
        const auto bold = [this](int col) {
            return grid()->selectionModel()->columnIntersectsSelection(col, QModelIndex());
        };
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid()->currentIndex(), grid()->model()->index(2, 1));
        QVERIFY(bold(1) && !bold(0));
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid()->currentIndex(), grid()->model()->index(0, 0));
        QVERIFY(bold(0) && !bold(1));
        run(QStringLiteral("select * from g"));
        QCOMPARE(mark(), QStringLiteral("none"));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE c (\"a,b\" INTEGER)")));
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO c VALUES (2), (1), (3)")));
        run(QStringLiteral("select * from c"));
        clickHeader(0);
        clickHeader(0);
        QCOMPARE(column(0), QStringList({"1", "2", "3"}));
    }

    // A write of the same bytes leaves the values as they were: the database itself counts
    // the writes to the table instead, one for each row any UPDATE touches.
    void unchangedValuesAreNeverWritten_data() { testdb::addBackendRows(); }
    void unchangedValuesAreNeverWritten() {
        QFETCH(QString, backend);
        useBackend(backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        // SQLite itself also holds text that is not UTF-8 and blobs in a column of texts.
        const bool native = kind == testdb::Kind::SqliteNative;
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS b"));
        if (native) {
            QVERIFY(testdb::exec(
                c, QStringLiteral("CREATE TABLE b (id INTEGER PRIMARY KEY, v BLOB, t TEXT, m)")));
            QVERIFY(testdb::exec(
                c, QStringLiteral(
                       "INSERT INTO b VALUES (1, x'00FF10', CAST(x'41FF42' AS TEXT), 'abc'), "
                       "(2, x'0102', 'ok', x'0A0B')")));
        } else {
            QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE b (id INTEGER PRIMARY KEY, v "
                                                   "%1, t VARCHAR(20))")
                                        .arg(testdb::blobType(kind))));
            const QString bytes = testdb::isPostgres(kind) ? QStringLiteral("decode('%1', 'hex')")
                                                           : QStringLiteral("x'%1'");
            QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO b VALUES (1, %1, 'abc'), (2, %2, "
                                                   "'ok')")
                                        .arg(bytes.arg(QStringLiteral("00FF10")),
                                             bytes.arg(QStringLiteral("0102")))));
        }
        QVERIFY(countUpdates(kind, QStringLiteral("b")));
        run(QStringLiteral("select * from b order by id"));
        QCOMPARE(grid()->model()->index(0, 1).data().toString(), QStringLiteral("00FF10"));
        if (native) {
            // A column of texts and blobs shows each blob as hex.
            QCOMPARE(grid()->model()->index(1, 3).data().toString(), QStringLiteral("0A0B"));
            QCOMPARE(grid()->model()->index(0, 3).data().toString(), QStringLiteral("abc"));
        }
        // Bytes are not edited.
        QVERIFY(!(grid()->model()->flags(grid()->model()->index(0, 1)) & Qt::ItemIsEditable));
        if (native)
            QVERIFY(!(grid()->model()->flags(grid()->model()->index(1, 3)) & Qt::ItemIsEditable));
        // Opening the editor (on the text that is not UTF-8, in SQLite) and pressing Enter
        // writes nothing.
        clickCell(0, 2);
        press(Qt::Key_F2);
        QVERIFY(grid()->findChild<QLineEdit*>());
        press(Qt::Key_Return);
        QTRY_VERIFY(!cellEditor());
        QCOMPARE(readBack(QStringLiteral("select n from b_updates")), QStringList{"0"});
        if (native)
            QCOMPARE(readBack(QStringLiteral("select hex(v) || typeof(v) || hex(t) || typeof(m) "
                                             "|| hex(m) from b order by id")),
                     QStringList({"00FF10blob41FF42text616263", "0102blob6F6Bblob0A0B"}));
        else
            QCOMPARE(readBack(QStringLiteral("select t from b order by id")),
                     QStringList({"abc", "ok"}));
        QVERIFY(m_prompts.isEmpty());

        // A changed value is written, and counted.
        QVERIFY(grid()->model()->setData(grid()->model()->index(1, 2), QStringLiteral("new")));
        QCOMPARE(readBack(QStringLiteral("select n from b_updates")), QStringList{"1"});
        QCOMPARE(readBack(QStringLiteral("select t from b order by id")).value(1),
                 QStringLiteral("new"));
        QVERIFY(m_prompts.isEmpty());
    }

    // Ctrl+C copies the selected cells as spreadsheets exchange them, Ctrl+Shift+C with the
    // column names first; several ranges give their rows and columns; the grid's menu copies
    // the names alone. Whole values, Null as nothing; the focus stays in the grid.
    void copyGivesSpreadsheetCells() {
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE cp (id INTEGER, t TEXT, n TEXT)")));
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral("INSERT INTO cp VALUES (1, 'a' || char(9) || 'b', NULL), (2, 'say "
                           "\"hi\"', 'x'), (3, 'one' || char(13, 10) || 'two', ''), (4, "
                           "'<&>', 'y')")));
        run(QStringLiteral("select * from cp order by id"));
        clickCell(0, 1);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Right, Qt::ShiftModifier);
        press(Qt::Key_C, Qt::ControlModifier);
        const QClipboard* clipboard = QApplication::clipboard();
        QCOMPARE(clipboard->text(),
                 QStringLiteral("\"a\tb\"\t\r\n\"say \"\"hi\"\"\"\tx\r\n\"one\r\ntwo\"\t\r\n"));
        QCOMPARE(grid()->model()->index(0, 2).data().toString(), QStringLiteral("NULL"));
        QCOMPARE(panel("status")->text(), QStringLiteral("3件のデータをコピーしました"));
        press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(clipboard->text().startsWith(QStringLiteral("t\tn\r\n\"a\tb\"\t\r\n")));
        const QString html = clipboard->mimeData()->html();
        QVERIFY2(html.contains(QStringLiteral("<tr><th>t</th><th>n</th></tr><tr><td>a\tb</td>"
                                              "<td></td></tr><tr><td>say &quot;hi&quot;</td>")),
                 qPrintable(html));
        // A cell here and one there: their rows and their columns.
        clickCell(0, 0);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          grid()->visualRect(grid()->model()->index(3, 1)).center());
        press(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("1\t\"a\tb\"\r\n4\t<&>\r\n"));
        QVERIFY(clipboard->mimeData()->html().contains(QStringLiteral("<td>&lt;&amp;&gt;</td>")));
        QAction* names = nullptr;
        for (QAction* a : grid()->actions())
            if (a->text().startsWith(QStringLiteral("列名をコピー"))) names = a;
        QVERIFY(names);
        names->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("id\tt\r\n"));
        QCOMPARE(QApplication::focusWidget(), grid());
    }

    // Ctrl+V puts a spreadsheet's cells over the grid's from the current cell: each changed
    // row written once by its key, asked first when several change; nothing written when
    // the cells reach past the grid, land on a computed column or the question is declined.
    void pasteWritesEachRowOnce_data() { testdb::addBackendRows(); }
    void pasteWritesEachRowOnce() {
        QFETCH(QString, backend);
        useBackend(backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        QVERIFY(countUpdates(kind, QStringLiteral("g")));
        const auto updates = [&] { return readBack(QStringLiteral("select n from g_updates")); };
        const auto names = [&] {
            return readBack(QStringLiteral("select name from g order by id"));
        };
        const auto amounts = [&] {
            return readBack(QStringLiteral("select id from g where amount = 10 or amount = 9.5 or "
                                           "amount = 100 order by id"));
        };
        run(QStringLiteral("select * from g order by id"));
        QClipboard* clipboard = QApplication::clipboard();
        clickCell(0, 1);
        // As a spreadsheet copies: quoted cells with a tab and a line break, CR LF, and the
        // value row 1 already holds (its row still changes by its name).
        clipboard->setText(QStringLiteral("\"x\ty\"\t10\r\n\"two\r\nlines \"\"q\"\"\"\t7.25\r\n"));
        m_answers << PanelAnswer::Cancel;
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_prompts.takeFirst(), QStringLiteral("\n2行のデータを変更しますか？"));
        QCOMPARE(updates(), QStringList{"0"});
        m_answers << PanelAnswer::Ok;
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_prompts.takeFirst(), QStringLiteral("\n2行のデータを変更しますか？"));
        QCOMPARE(updates(), QStringList{"2"});
        QCOMPARE(names(), QStringList({"x\ty", "two\r\nlines \"q\"", "c"}));
        QCOMPARE(readBack(QStringLiteral("select id from g where amount = 7.25")),
                 QStringList{"2"});
        QCOMPARE(panel("status")->text(), QStringLiteral("2件のデータを貼り付けました"));
        // The same cells again change nothing: nothing is asked or written.
        press(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(m_prompts.isEmpty());
        QCOMPARE(updates(), QStringList{"2"});
        // One cell, without a line end; the current row alone asks nothing.
        clipboard->setText(QStringLiteral("z"));
        clickCell(2, 1);
        press(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(m_prompts.isEmpty());
        QCOMPARE(names().value(2), QStringLiteral("z"));
        QCOMPARE(updates(), QStringList{"3"});
        // Past the last row, past the last column: said, nothing written.
        clipboard->setText(QStringLiteral("a\r\nb\r\n"));
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_prompts.takeFirst().trimmed(), kPasteOutside);
        clickCell(0, 2);
        clipboard->setText(QStringLiteral("1\t2\r\n"));
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_prompts.takeFirst().trimmed(), kPasteOutside);
        QCOMPARE(updates(), QStringList{"3"});
        // A computed column among the cells: refused before any row is written.
        run(QStringLiteral("select id, name, amount * 2 as twice from g order by id"));
        clickCell(0, 1);
        clipboard->setText(QStringLiteral("p\t1\r\n"));
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_prompts.takeFirst().trimmed(), kComputedColumnReadOnly);
        QCOMPARE(updates(), QStringList{"3"});
        QCOMPARE(names().value(0), QStringLiteral("x\ty"));
        QCOMPARE(amounts(), QStringList({"1", "3"}));
        QCOMPARE(QApplication::focusWidget(), grid());
    }

    // 「行として貼り付け」 adds the clipboard's rows to the table as the import does: a
    // refused row named by its line, the count shown never above what is stored.
    void pasteAsRows_data() { testdb::addBackendRows(); }
    void pasteAsRows() {
        QFETCH(QString, backend);
        useBackend(backend);
        run(QStringLiteral("select * from g order by id"));
        QApplication::clipboard()->setText(
            QStringLiteral("4\t\"d\te\"\t1.5\r\n\r\n5\t\"f\r\ng\"\t\r\n"));
        clickCell(0, 0);
        QAction* rows = nullptr;
        for (QAction* a : grid()->actions())
            if (a->text() == kPasteRows) rows = a;
        QVERIFY(rows);
        rows->trigger();
        QVERIFY(idle());
        QVERIFY2(m_prompts.isEmpty(), qPrintable(m_prompts.join('\n')));
        QCOMPARE(readBack(QStringLiteral("select name from g where id > 3 order by id")),
                 QStringList({"d\te", "f\r\ng"}));
        QCOMPARE(readBack(QStringLiteral("select id from g where amount is null")),
                 QStringList{"5"});
        QCOMPARE(grid()->model()->rowCount(), 5);
        QCOMPARE(panel("status")->text(), QStringLiteral("2件のデータを処理しました"));
        // A key already stored: refused, with its line; the rows before it stay.
        QApplication::clipboard()->setText(QStringLiteral("6\tok\t1\r\n1\tdup\t2\r\n"));
        rows->trigger();
        QVERIFY(idle());
        QCOMPARE(m_prompts.size(), 1);
        QVERIFY2(m_prompts[0].contains(QStringLiteral("2行目")), qPrintable(m_prompts[0]));
        m_prompts.clear();
        QCOMPARE(readBack(QStringLiteral("select count(*) from g")), QStringList{"6"});
        QCOMPARE(panel("status")->text(), QStringLiteral("1件のデータを処理しました"));
        QCOMPARE(QApplication::focusWidget(), grid());
    }

    // Selected cells are counted in the status bar; those of number columns summed in
    // decimal, exactly (no float drift), text and Null counted only.
    void selectedCellsAreSummedUp_data() { testdb::addBackendRows(); }
    void selectedCellsAreSummedUp() {
        QFETCH(QString, backend);
        useBackend(backend);
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS sm"));
        QVERIFY(testdb::exec(c, QStringLiteral("CREATE TABLE sm (id INTEGER, d DECIMAL(18,2), r "
                                               "%1, t VARCHAR(10))")
                                    .arg(testdb::doubleType(testdb::backend(backend).kind))));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO sm VALUES (1, 0.10, 0.1, 'x'), (2, "
                                               "0.20, 0.2, NULL), (3, NULL, 0.3, '5')")));
        run(QStringLiteral("select d, r, t from sm order by id"));
        // SQLite keeps a decimal as a double: its text has no scale.
        const bool sqlite =
            testdb::databaseOf(testdb::backend(backend).kind) == testdb::Kind::SqliteNative;
        const QString tenth = sqlite ? QStringLiteral("0.1") : QStringLiteral("0.10");
        clickCell(0, 0);
        QCOMPARE(panel("selection")->text(), QString());
        QVERIFY(!panel("selection")->isVisible());
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(panel("selection")->text(),
                 QStringLiteral("個数: 3  合計: 0.3  平均: 0.15  最小: 0.1  最大: 0.2"));
        QTRY_VERIFY(panel("selection")->isVisible());
        press(Qt::Key_Right, Qt::ShiftModifier);
        press(Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(panel("selection")->text(),
                 QStringLiteral("個数: 9  合計: 0.9  平均: 0.18  最小: 0.1  最大: 0.3"));
        // An edit is summed up anew.
        QVERIFY(grid()->model()->setData(grid()->model()->index(2, 1), QStringLiteral("1.7")));
        QTRY_COMPARE(panel("selection")->text(),
                     QStringLiteral("個数: 9  合計: 2.3  平均: 0.46  最小: 0.1  最大: 1.7"));
        // Text alone: counted.
        clickCell(0, 2);
        press(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(panel("selection")->text(), QStringLiteral("個数: 2"));
        QCOMPARE(QApplication::focusWidget(), grid());
    }

    // Ctrl+F opens the find bar: Enter and Shift+Enter go to the next and the previous cell
    // holding the text, around the end; the filter shows the matching rows alone, and edits
    // and deletions there reach the rows shown. Escape shows all rows again and gives the
    // focus back.
    void findBarFindsAndFilters() {
        run(QStringLiteral("select * from g order by id"));
        clickCell(0, 0);
        press(Qt::Key_F, Qt::ControlModifier);
        auto* field = m_window->findChild<QLineEdit*>(QStringLiteral("txtFind"));
        QVERIFY(field);
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClicks(field, QStringLiteral("1"));
        const auto current = [&] {
            const QModelIndex i = grid()->currentIndex();
            return QStringLiteral("%1,%2").arg(i.row()).arg(i.column());
        };
        press(Qt::Key_Return);
        QCOMPARE(current(), QStringLiteral("0,2")); // 10
        press(Qt::Key_Return);
        QCOMPARE(current(), QStringLiteral("2,2")); // 100
        press(Qt::Key_Return);
        QCOMPARE(current(), QStringLiteral("0,0"));
        press(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(current(), QStringLiteral("2,2"));
        QCOMPARE(QApplication::focusWidget(), field);

        m_window->findChild<QCheckBox*>(QStringLiteral("chkFindRowsOnly"))->click();
        QCOMPARE(column(0), QStringList({"1", "3"}));
        QCOMPARE(panel("status")->text(), QStringLiteral("2件 / 全3件"));
        QVERIFY(grid()->model()->setData(grid()->model()->index(1, 1), QStringLiteral("z")));
        QCOMPARE(readBack(QStringLiteral("select name from g order by id")),
                 QStringList({"b", "a", "z"}));
        clickCell(1, 0);
        press(Qt::Key_Space, Qt::ShiftModifier);
        m_answers = {PanelAnswer::Ok};
        press(Qt::Key_Delete);
        QCOMPARE(readBack(QStringLiteral("select id from g order by id")), QStringList({"1", "2"}));
        QTRY_COMPARE(column(0), QStringList{"1"});

        // Escape on the bar's check box closes it as in its field.
        m_window->findChild<QCheckBox*>(QStringLiteral("chkFindCase"))->setFocus();
        press(Qt::Key_Escape);
        QVERIFY(!m_window->findBar()->isVisible());
        QCOMPARE(column(0), QStringList({"1", "2"}));
        QCOMPARE(QApplication::focusWidget(), grid());
        QVERIFY(!m_window->transferFlags().bAbort);
    }

    // Null shows as a dimmed word and an empty text as nothing, and screen readers are told
    // which is which; the editor of a Null cell starts empty and, left so, writes nothing.
    // The options turn the word off.
    void nullIsToldFromEmptyText_data() { testdb::addBackendRows(); }
    void nullIsToldFromEmptyText() {
        QFETCH(QString, backend);
        useBackend(backend);
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS nz"));
        QVERIFY(testdb::exec(
            c, QStringLiteral("CREATE TABLE nz (id INTEGER PRIMARY KEY, t VARCHAR(10))")));
        QVERIFY(testdb::exec(c, QStringLiteral("INSERT INTO nz VALUES (1, NULL), (2, '')")));
        QVERIFY(countUpdates(testdb::backend(backend).kind, QStringLiteral("nz")));
        run(QStringLiteral("select * from nz order by id"));
        const QAbstractItemModel* model = grid()->model();
        const auto shown = [&](int row) {
            const QModelIndex i = model->index(row, 1);
            return QStringList{i.data().toString(), i.data(Qt::AccessibleTextRole).toString(),
                               i.data(RecordsetModel::ShownNullRole).toString()};
        };
        QCOMPARE(shown(0), QStringList({"NULL", "NULL", "true"}));
        QCOMPARE(shown(1), QStringList({"", "", "false"}));
        clickCell(0, 1);
        press(Qt::Key_F2);
        QVERIFY(cellEditor());
        QCOMPARE(cellEditor()->text(), QString());
        press(Qt::Key_Return);
        QTRY_VERIFY(!cellEditor());
        QCOMPARE(readBack(QStringLiteral("select n from nz_updates")), QStringList{"0"});
        QCOMPARE(readBack(QStringLiteral("select count(*) from nz where t is null")),
                 QStringList{"1"});
        m_window->showSetup = [] { WriteBoolSetting(keys::GridShowNull, false); };
        QTest::keyClick(m_window.get(), Qt::Key_F9);
        QCOMPARE(shown(0), QStringList({"", "NULL", "false"}));
        m_window->showSetup = [] { WriteBoolSetting(keys::GridShowNull, true); };
        QTest::keyClick(m_window.get(), Qt::Key_F9);
        QCOMPARE(shown(0), QStringList({"NULL", "NULL", "true"}));
    }

    // Text that is not valid UTF-8 still finds its row and keeps its bytes when edited.
    void editsBesideBytesThatAreNotUtf8() {
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("CREATE TABLE nk (t TEXT, n TEXT)")));
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral(
                "INSERT INTO nk VALUES (CAST(x'41FF82A042' AS TEXT), 'a'), ('x', 'y')")));
        run(QStringLiteral("select * from nk"));
        QAbstractItemModel* model = grid()->model();
        // Without a key the row is found by its values, the bytes included.
        QVERIFY(model->setData(model->index(0, 1), QStringLiteral("b")));
        QVERIFY(model->setData(model->index(0, 0), model->index(0, 0).data().toString() + "日"));
        QCOMPARE(readBack(QStringLiteral("select hex(t) || '|' || n from nk order by n")),
                 QStringList({"41FF82A042E697A5|b", "78|y"}));
        QVERIFY(m_prompts.isEmpty());
    }

    void editedCellShowsWhatTheDatabaseHolds() {
        QVERIFY(testdb::exec(
            *m_record.adoConnection,
            QStringLiteral("CREATE TRIGGER up AFTER UPDATE OF name ON g BEGIN "
                           "UPDATE g SET name = upper(new.name) WHERE id = new.id; END")));
        run(QStringLiteral("select * from g order by id"));
        QVERIFY(grid()->model()->setData(grid()->model()->index(0, 1), QStringLiteral("xyz")));
        QCOMPARE(grid()->model()->index(0, 1).data().toString(), QStringLiteral("XYZ"));
    }

    void typePanelFollowsTheCellWhileEditing() {
        run(QStringLiteral("select * from g order by id"));
        clickCell(0, 2);
        QCOMPARE(panel("datagrid")->text(), QStringLiteral("Numeric 18,2"));
        press(Qt::Key_F2);
        QVERIFY(grid()->isAncestorOf(QApplication::focusWidget()));
        QApplication::processEvents();
        QCOMPARE(panel("datagrid")->text(), QStringLiteral("Numeric 18,2"));
        query()->setFocus();
        QTRY_COMPARE(panel("datagrid")->text(), QString());
    }

    void refreshAfterAFailedSelectShowsNewRows() {
        run(QStringLiteral("select * from g order by id"));
        run(QStringLiteral("select * from no_such_table"));
        QCOMPARE(m_prompts.size(), 1);
        QVERIFY(testdb::exec(*m_record.adoConnection,
                             QStringLiteral("INSERT INTO g VALUES (4, 'd', 1)")));
        clickCell(0, 0);
        press(Qt::Key_F5);
        QVERIFY(idle());
        QCOMPARE(grid()->model()->rowCount(), 4);
    }

    void everyKeyActsOnce() {
        run(QStringLiteral("select * from g order by id"));
        QSignalSpy resets(grid()->model(), &QAbstractItemModel::modelReset);
        query()->setFocus();
        press(Qt::Key_F5);
        QVERIFY(idle());
        QCOMPARE(resets.size(), 1);
        clickCell(0, 0);
        press(Qt::Key_F5);
        QVERIFY(idle());
        QCOMPARE(resets.size(), 2);
        // Not from the table list.
        tables()->setFocus();
        QCOMPARE(QApplication::focusWidget(), tables());
        press(Qt::Key_F5);
        QVERIFY(idle());
        press(Qt::Key_Escape);
        QCOMPARE(resets.size(), 2);
        QVERIFY(!m_window->transferFlags().bAbort);
        // Alt+Left in the grid steps back one entry.
        run(QStringLiteral("select id from g"));
        run(QStringLiteral("select name from g"));
        clickCell(0, 0);
        press(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select name from g"));
        clickCell(0, 0);
        press(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select id from g"));
    }

    // The query box colours keywords, texts, quoted names, numbers and comments as the
    // statement scanner reads them, across line breaks too; the text stays as typed.
    void queryBoxColoursItsParts() {
        const QString text = QStringLiteral("select 'a;\nb' as \"x\", 12 -- note\nfrom g /* "
                                            "two\nlines */ where");
        query()->setFocus();
        query()->setPlainText(text);
        const auto colourAt = [&](const QString& word) {
            const int pos = int(text.indexOf(word));
            const QTextBlock b = query()->document()->findBlock(pos);
            for (const QTextLayout::FormatRange& r : b.layout()->formats())
                if (pos - b.position() >= r.start && pos - b.position() < r.start + r.length)
                    return r.format.foreground().color().name();
            return QString();
        };
        const QString keyword = colourAt(QStringLiteral("select"));
        const QString textColour = colourAt(QStringLiteral("'a"));
        const QString comment = colourAt(QStringLiteral("note"));
        QVERIFY(!keyword.isEmpty());
        QCOMPARE(colourAt(QStringLiteral("from")), keyword);
        QCOMPARE(colourAt(QStringLiteral("where")), keyword);
        QCOMPARE(colourAt(QStringLiteral("b'")), textColour); // the text goes on past the line
        QCOMPARE(colourAt(QStringLiteral("lines")), comment);
        const QStringList all = {keyword, textColour, comment, colourAt(QStringLiteral("\"x")),
                                 colourAt(QStringLiteral("12"))};
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 5);
        QCOMPARE(colourAt(QStringLiteral("g ")), QString()); // a plain name stays plain
        // What is typed goes into the text as it is.
        press(Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" 'z"));
        QCOMPARE(query()->toPlainText(), text + QStringLiteral(" 'z"));
    }

    // Ctrl+Enter runs the one statement the caret stands in, once, shown selected while it
    // runs; the caret then comes back. Ctrl+E still runs the whole text.
    void statementAtCaretRunsAlone() {
        QVERIFY(
            testdb::exec(*m_record.adoConnection, QStringLiteral("CREATE TABLE runs (n INTEGER)")));
        query()->setFocus();
        query()->setPlainText(QStringLiteral("insert into runs values (1);\nselect name from g "
                                             "order by id;\n\nselect 'x;y' as z"));
        press(Qt::Key_Home, Qt::ControlModifier);
        press(Qt::Key_Down);
        press(Qt::Key_Right);
        const int caret = query()->textCursor().position();
        press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(column(0), QStringList({"b", "a", "c"}));
        QCOMPARE(query()->textCursor().selectedText(),
                 QStringLiteral("select name from g order by id"));
        QTRY_COMPARE(query()->textCursor().position(), caret);
        QVERIFY(!query()->textCursor().hasSelection());
        QCOMPARE(readBack(QStringLiteral("select count(*) from runs")), QStringList{"0"});
        QCOMPARE(QApplication::focusWidget(), query());
        QCOMPARE(query()->toPlainText().count(QLatin1Char('\n')), 3); // no line break typed
        press(Qt::Key_End, Qt::ControlModifier);
        press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(column(0), QStringList{"x;y"});

        // The statement shown selected is deleted before the caret comes back: the caret
        // stays where the deletion left it and goes to no position that is gone.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("setPosition")));
        press(Qt::Key_End, Qt::ControlModifier);
        press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(query()->textCursor().selectedText(), QStringLiteral("select 'x;y' as z"));
        press(Qt::Key_Backspace);
        const QString rest = query()->toPlainText();
        QVERIFY(!rest.contains(QStringLiteral("'x;y'")));
        QTest::qWait(1200);
        QCOMPARE(query()->toPlainText(), rest);
        QCOMPARE(query()->textCursor().position(), int(rest.size()));
    }

    // Ctrl+Space offers the listed tables and the columns of the tables the text names, read
    // on the worker (after "alias." only that table's); typing narrows the list, Down and
    // Enter choose, the name goes in quoted where it needs it, and the completed statement
    // runs. Japanese comes through the input method.
    void completionOffersNames_data() { testdb::addBackendRows(); }
    void completionOffersNames() {
        QFETCH(QString, backend);
        useBackend(backend);
        const testdb::Kind kind = testdb::backend(backend).kind;
        const auto q = [&](const char* name) {
            return testdb::quoteName(kind, QString::fromUtf8(name));
        };
        db::Connection& c = *m_record.adoConnection;
        c.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + q("得意先 一覧"));
        QVERIFY(
            testdb::exec(c, QStringLiteral("CREATE TABLE %1 (%2 varchar(20), %3 integer, "
                                           "%4 integer)")
                                .arg(q("得意先 一覧"), q("得意先名"), q("Order No"), q("orders"))));
        QVERIFY(testdb::exec(
            c, QStringLiteral("INSERT INTO %1 VALUES ('山田', 7, 8)").arg(q("得意先 一覧"))));
        m_window->RefreshTableList();
        query()->setFocus();
        query()->clear();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("select * from "));
        commitText(QStringLiteral("得意"));
        press(Qt::Key_Space, Qt::ControlModifier);
        // One name begins so: it goes in at once, as the table list holds it.
        const QString listed = tables()->itemText(
            tables()->findText(QStringLiteral("得意先 一覧"), Qt::MatchContains));
        QVERIFY(!listed.isEmpty());
        QCOMPARE(query()->toPlainText(), QStringLiteral("select * from ") + listed);
        QVERIFY(!completion()->isVisible());

        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" t where t."));
        press(Qt::Key_Space, Qt::ControlModifier);
        QTRY_COMPARE(offered().size(), 3); // the columns, once read
        QVERIFY(offered().join(QString()).contains(QStringLiteral("Order No")));
        QCOMPARE(QApplication::focusWidget(), query());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("or"));
        QCOMPARE(offered().size(), 2); // "Order No" and orders, in any case
        press(Qt::Key_Escape);
        QVERIFY(!completion()->isVisible());
        press(Qt::Key_Backspace);
        press(Qt::Key_Backspace);
        commitText(QStringLiteral("得"));
        press(Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(!completion()->isVisible()); // one choice: it went in
        QVERIFY(!query()->toPlainText().endsWith(QStringLiteral("t.得")));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" = '"));
        commitText(QStringLiteral("山田"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("' and t.o"));
        press(Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(offered().size(), 2);
        press(Qt::Key_Down);
        const QString chosen = completion()->currentItem()->text();
        press(Qt::Key_Return);
        QVERIFY(!completion()->isVisible());
        QVERIFY(query()->toPlainText().endsWith(QStringLiteral("t.") + chosen));
        QVERIFY(!query()->toPlainText().contains(QLatin1Char('\n')));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" > 0"));
        press(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(panel("status")->text(), QStringLiteral("1") + kRowsProcessed);
        QCOMPARE(column(0), QStringList{QStringLiteral("山田")});
        // In the grid the key keeps its own meaning.
        clickCell(0, 0);
        press(Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(!completion()->isVisible());
        QCOMPARE(query()->toPlainText().count(QLatin1Char('.')), 2);

        // Where a table's name comes next only tables are offered, though the text names one
        // whose columns are known.
        query()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), query());
        press(Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(),
                         QStringLiteral(" and orders in (select * from "));
        press(Qt::Key_Space, Qt::ControlModifier);
        QTRY_VERIFY(completion()->isVisible());
        QVERIFY2(offered().contains(listed), qPrintable(offered().join(u'|')));
        for (const QString& name : offered())
            QVERIFY2(!name.contains(QStringLiteral("得意先名")) &&
                         !name.contains(QStringLiteral("Order No")),
                     qPrintable(offered().join(u'|')));
        press(Qt::Key_Escape);
    }

    // What an input method composes shows in the query box without being text yet: Ctrl+E and
    // Ctrl+Enter run nothing then; once committed it runs.
    void composedTextRunsOnlyOnceCommitted() {
        QVERIFY(
            testdb::exec(*m_record.adoConnection, QStringLiteral("CREATE TABLE runs (n TEXT)")));
        query()->setFocus();
        query()->setPlainText(QStringLiteral("insert into runs values ('')"));
        press(Qt::Key_End, Qt::ControlModifier);
        press(Qt::Key_Left);
        press(Qt::Key_Left);
        QVERIFY(query()->testAttribute(Qt::WA_InputMethodEnabled));
        compose(QStringLiteral("にほん"));
        QCOMPARE(query()->textCursor().block().layout()->preeditAreaText(),
                 QStringLiteral("にほん"));
        press(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(readBack(QStringLiteral("select count(*) from runs")), QStringList{"0"});
        commitText(QStringLiteral("日本"));
        press(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(readBack(QStringLiteral("select n from runs")), QStringList{"日本"});
        // The grid's editor takes composed text too.
        run(QStringLiteral("select * from g order by id"));
        clickCell(0, 1);
        press(Qt::Key_F2);
        QVERIFY(cellEditor());
        QVERIFY(cellEditor()->inputMethodQuery(Qt::ImEnabled).toBool());
        press(Qt::Key_End);
        commitText(QStringLiteral("名"));
        commit();
        QCOMPARE(rows().section(QLatin1Char(';'), 0, 0), QStringLiteral("1|b名|10"));
    }

    // Alt+Left and Alt+Right pressed in the grid after a click on a cell walk the history one
    // entry per press, as from the query box; the grid does not move its current cell too.
    void historyKeysFromTheGrid() {
        run(QStringLiteral("select id from g"));
        run(QStringLiteral("select name from g"));
        run(QStringLiteral("select * from g order by id"));
        const QueryHistory& history = m_state->history;
        QCOMPARE(history.position(), 3);
        QSignalSpy resets(grid()->model(), &QAbstractItemModel::modelReset);
        const auto pressInGrid = [&](Qt::Key key) {
            clickCell(1, 1);
            QCOMPARE(QApplication::focusWidget(), grid());
            press(key, Qt::AltModifier);
            QCOMPARE(grid()->currentIndex(), grid()->model()->index(1, 1));
        };
        pressInGrid(Qt::Key_Left);
        QCOMPARE(history.position(), 2);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select * from g order by id"));
        QCOMPARE(QApplication::focusWidget(), query());
        pressInGrid(Qt::Key_Left);
        QCOMPARE(history.position(), 1);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select name from g"));
        pressInGrid(Qt::Key_Left);
        QCOMPARE(history.position(), 0);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select id from g"));
        QVERIFY(!m_window->action(QStringLiteral("mnuQueryBackward"))->isEnabled());
        pressInGrid(Qt::Key_Left); // Backward is off: nothing happens, the grid keeps the focus
        QCOMPARE(history.position(), 0);
        QCOMPARE(QApplication::focusWidget(), grid());
        pressInGrid(Qt::Key_Right);
        QCOMPARE(history.position(), 1);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select name from g"));
        QCOMPARE(QApplication::focusWidget(), query());
        // From the query box the next press goes on from there.
        press(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(history.position(), 2);
        QCOMPARE(query()->toPlainText(), QStringLiteral("select * from g order by id"));
        QCOMPARE(resets.size(), 0);
    }

    void messagePanelHoldsTheWindow() {
        m_otherPrompts = OtherPrompts::Fail; // the test answers this one itself
        run(QStringLiteral("select * from g order by id"));
        QSignalSpy resets(grid()->model(), &QAbstractItemModel::modelReset);
        bool checked = false;
        QTimer::singleShot(50, this, [&] {
            WaitPanel* p = m_window->waitPanel();
            QVERIFY(p->isVisible());
            QVERIFY(!query()->isEnabled());
            QVERIFY(!m_window->action(QStringLiteral("mnuExecute"))->isEnabled());
            QCOMPARE(QApplication::focusWidget(), p->okButton());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
            QTest::keyClick(m_window.get(), Qt::Key_E, Qt::ControlModifier);
            QVERIFY(p->isVisible());
            QCOMPARE(resets.size(), 0);
            checked = true;
            p->okButton()->click();
        });
        // A failed cell edit reports in the panel of an otherwise idle window.
        db::Connection other;
        other.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                  m_file);
        QVERIFY(other.Open());
        QVERIFY(other.Execute(QStringLiteral("DELETE FROM g WHERE id = 3")));
        clickCell(2, 1);
        QVERIFY(!grid()->model()->setData(grid()->model()->index(2, 1), QStringLiteral("lost")));
        QTRY_VERIFY(checked);
        QVERIFY(query()->isEnabled());
        QCOMPARE(QApplication::focusWidget(), grid());
    }

    void focusComesBackAfterEveryCommand() {
        query()->setFocus();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("select * from g"));
        press(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(idle());
        QCOMPARE(grid()->model()->rowCount(), 3);
        QCOMPARE(QApplication::focusWidget(), query());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" "));
        QCOMPARE(query()->toPlainText(), QStringLiteral("select * from g "));
        press(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), query());
        clickCell(1, 1);
        clickHeader(2);
        QCOMPARE(QApplication::focusWidget(), grid());
        press(Qt::Key_Down);
        QCOMPARE(grid()->currentIndex().row(), 2);
        QCOMPARE(panel("datagrid")->text(), QStringLiteral("VarChar 50"));
    }

    void enterInTheTableListOpensIt() {
        m_window->RetrieveTableList();
        tables()->setFocus();
        QCOMPARE(QApplication::focusWidget(), tables());
        press(Qt::Key_Return);
        QVERIFY(idle());
        QCOMPARE(query()->toPlainText(), QStringLiteral("select * from [g]"));
        QCOMPARE(m_state->history.entries().size(), 1);
        press(Qt::Key_Enter);
        QVERIFY(idle());
        QCOMPARE(m_state->history.entries().size(), 1); // the same statement again
        QCOMPARE(grid()->model()->rowCount(), 3);
        QCOMPARE(QApplication::focusWidget(), tables());
    }
};

QTEST_MAIN(TestResultGrid)
#include "tst_resultgrid.moc"
