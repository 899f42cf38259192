// The connection dialog, offscreen, against a real settings file, real SQLite files and the
// PostgreSQL data source of the test script.
#include "TestBackends.h"
#include "common/ErrorReport.h"
#include "connect/LoginPrompts.h"
#include "connect/frmLogin.h"
#include "db/Recordset.h"
#include "options/SettingsStore.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using db::ConnectionKind;

namespace {
// Answers the dialog's prompts from a script and records what was asked.
class ScriptedPrompts : public LoginPrompts {
public:
    QStringList messages;
    QString fileAnswer;
    QString askedTitle, askedFilter;
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    QString openFileName(QWidget*, const QString& title, const QString& filter) override {
        askedTitle = title;
        askedFilter = filter;
        return fileAnswer;
    }
};

int fileMode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Every key of the settings file, as "Section/Key=value".
QStringList storedKeys() {
    if (!QFile::exists(settingsFilePath())) return {};
    QSettings s(settingsFilePath(), QSettings::IniFormat);
    QStringList out;
    for (const QString& k : s.allKeys())
        out << k + QLatin1Char('=') + s.value(k).toString();
    out.sort();
    return out;
}
} // namespace

class TestFrmLogin : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_config;
    db::ConnectionRecord m_record;
    ScriptedPrompts m_prompts;
    int m_mainShown = 0;
    int m_listsFilled = 0;

    std::unique_ptr<frmLogin> makeDialog() {
        frmLogin::Hooks hooks;
        hooks.showMainWindow = [this] {
            ++m_mainShown;
            return true;
        };
        hooks.retrieveTableList = [this] { ++m_listsFilled; };
        auto dialog = std::make_unique<frmLogin>(m_record, m_prompts, hooks);
        dialog->show();
        return dialog;
    }

    template <typename T> static T* child(QWidget* w, const QString& name) {
        T* c = w->findChild<T*>(name);
        if (!c) qFatal("no control %s", qPrintable(name));
        return c;
    }
    static QLineEdit* edit(QWidget* w, const char* name) {
        return child<QLineEdit>(w, QString::fromLatin1(name));
    }
    static QRadioButton* option(QWidget* w, int i) {
        return child<QRadioButton>(w, QStringLiteral("Option1(%1)").arg(i));
    }
    static void click(QWidget* w, const char* name) {
        QTest::mouseClick(child<QPushButton>(w, QString::fromLatin1(name)), Qt::LeftButton);
    }

private slots:
    void init() {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        m_record = db::ConnectionRecord();
        m_prompts = ScriptedPrompts();
        m_mainShown = m_listsFilled = 0;
    }

    void firstRunShowsEmptyOdbcFields() {
        auto d = makeDialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("Tolvan"));
        QVERIFY(option(d.get(), 0)->isChecked());
        QCOMPARE(child<QLabel>(d.get(), QStringLiteral("lblODBC"))->text(), QStringLiteral("ODBC"));
        auto* combo = child<QComboBox>(d.get(), QStringLiteral("cboODBC"));
        QCOMPARE(combo->currentText(), QString());
        if (testdb::needServers(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty()))
            QVERIFY(combo->findText(qEnvironmentVariable("TOLVAN_TEST_PG_DSN")) >= 0);
        for (const char* name :
             {"txtSQL", "txtOracle", "txtAccess", "txtODBCID", "txtSQLID", "txtOracleID",
              "txtAccessID", "txtODBCPass", "txtSQLPass", "txtOraclePass", "txtAccessPass"})
            QCOMPARE(edit(d.get(), name)->text(), QString());
        QVERIFY(combo->isVisible());
        QVERIFY(edit(d.get(), "txtODBCID")->isVisible());
        QVERIFY(!edit(d.get(), "txtSQL")->isVisible());
        QVERIFY(!child<QPushButton>(d.get(), QStringLiteral("cmdDir"))->isVisible());
        for (const char* name : {"txtODBCPass", "txtSQLPass", "txtOraclePass", "txtAccessPass"})
            QCOMPARE(edit(d.get(), name)->echoMode(), QLineEdit::Password);
        QVERIFY(child<QPushButton>(d.get(), QStringLiteral("cmdConnect"))->isDefault());
        // Geometry is laid out in twips.
        const int dpi = d->logicalDpiX();
        QCOMPARE(child<QPushButton>(d.get(), QStringLiteral("cmdConnect"))->geometry(),
                 QRect(twipsToPixels(2250, dpi), twipsToPixels(1500, dpi), twipsToPixels(1335, dpi),
                       twipsToPixels(345, dpi)));
    }

    void savedKindIsComparedExactly_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("label");
        QTest::newRow("ORACLE") << "ORACLE" << 2 << "SERVER";
        QTest::newRow("Oracle") << "Oracle" << 0 << "ODBC";
        QTest::newRow("sql") << "sql" << 0 << "ODBC";
        QTest::newRow("SQL") << "SQL" << 1 << "SERVER";
        QTest::newRow("Access") << "Access" << 3 << "MDB";
        QTest::newRow("0") << "0" << 0 << "ODBC";
    }
    void savedKindIsComparedExactly() {
        QFETCH(QString, saved);
        QFETCH(int, option);
        QFETCH(QString, label);
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION"), saved);
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBC"), QStringLiteral("saved_dsn"));
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("OraclePass"), QStringLiteral("pw"));
        auto d = makeDialog();
        QVERIFY(TestFrmLogin::option(d.get(), option)->isChecked());
        QCOMPARE(child<QLabel>(d.get(), QStringLiteral("lblODBC"))->text(), label);
        QCOMPARE(child<QComboBox>(d.get(), QStringLiteral("cboODBC"))->currentText(),
                 QStringLiteral("saved_dsn"));
        QCOMPARE(edit(d.get(), "txtOraclePass")->text(), QStringLiteral("pw"));
    }

    void switchingKindsKeepsTexts() {
        auto d = makeDialog();
        QTest::mouseClick(option(d.get(), 1), Qt::LeftButton);
        QVERIFY(edit(d.get(), "txtSQL")->isVisible());
        QVERIFY(!child<QComboBox>(d.get(), QStringLiteral("cboODBC"))->isVisible());
        edit(d.get(), "txtSQL")->setText(QStringLiteral("DBSRV"));
        QTest::mouseClick(option(d.get(), 2), Qt::LeftButton);
        QCOMPARE(child<QLabel>(d.get(), QStringLiteral("lblODBC"))->text(),
                 QStringLiteral("SERVER"));
        QVERIFY(!edit(d.get(), "txtSQL")->isVisible());
        QVERIFY(edit(d.get(), "txtOracle")->isVisible());
        QTest::mouseClick(option(d.get(), 1), Qt::LeftButton);
        QCOMPARE(edit(d.get(), "txtSQL")->text(), QStringLiteral("DBSRV"));
    }

    void focusSelectsTheWholeText() {
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION"), QStringLiteral("SQL"));
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("SQLID"), QStringLiteral("sa"));
        auto d = makeDialog();
        QApplication::setActiveWindow(d.get());
        QLineEdit* id = edit(d.get(), "txtSQLID");
        id->setFocus(Qt::OtherFocusReason);
        id->setCursorPosition(1);
        id->deselect();
        QCoreApplication::processEvents();
        QTRY_COMPARE(id->selectedText(), QStringLiteral("sa"));
    }

    void browsePutsTheChosenPath() {
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION"),
                    QStringLiteral("Access"));
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("Access"),
                    QStringLiteral("/old/path.mdb"));
        auto d = makeDialog();
        m_prompts.fileAnswer = QString();
        click(d.get(), "cmdDir");
        QCOMPARE(m_prompts.askedTitle, QStringLiteral("MDBファイル"));
        QVERIFY(m_prompts.askedFilter.startsWith(QStringLiteral("MDBファイル (")));
        QVERIFY(m_prompts.askedFilter.contains(QStringLiteral("*.sqlite3")));
        QCOMPARE(edit(d.get(), "txtAccess")->text(), QStringLiteral("/old/path.mdb")); // cancelled
        m_prompts.fileAnswer = QStringLiteral("/new/sample.db");
        click(d.get(), "cmdDir");
        QCOMPARE(edit(d.get(), "txtAccess")->text(), QStringLiteral("/new/sample.db"));
    }

    // The browse dialog's filters, handed to a real file dialog, list the files they name.
    void browseFilterListsItsFiles_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("Access") << 0 << QStringList{"a.accdb", "a.mdb"};
        QTest::newRow("SQLite") << 1 << QStringList{"a.db", "a.sqlite", "a.sqlite3"};
    }
    void browseFilterListsItsFiles() {
        QFETCH(int, filter);
        QFETCH(QStringList, listed);
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION"),
                    QStringLiteral("Access"));
        auto d = makeDialog();
        m_prompts.fileAnswer = QString();
        click(d.get(), "cmdDir");
        QTemporaryDir folder;
        for (const char* name : {"a.mdb", "a.accdb", "a.db", "a.sqlite", "a.sqlite3", "a.txt"}) {
            QFile file(folder.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        // The dialog the real prompts open, looked into while it is shown.
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->setDirectory(folder.path());
            dialog->selectNameFilter(dialog->nameFilters().value(filter));
            auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
            const auto names = [&] {
                QStringList out;
                const QModelIndex root = view->rootIndex();
                for (int r = 0; r < view->model()->rowCount(root); ++r)
                    out << view->model()->index(r, 0, root).data().toString();
                out.sort();
                return out;
            };
            // The folder is read in the background: wait until it settles on the right list.
            QDeadlineTimer deadline(20000);
            while (view && names() != listed && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (view) shown = names();
            dialog->reject();
        });
        QtLoginPrompts real;
        real.openFileName(nullptr, m_prompts.askedTitle, m_prompts.askedFilter);
        QCOMPARE(shown, listed);
    }

    // Enter presses Connect, the default button, in a field and on ".."; a focused Cancel
    // takes it for itself. After a file is chosen the focus is back in the path, so Enter
    // connects to it.
    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Return on Cancel") << "cmdCancel" << int(Qt::Key_Return) << "cancelled";
        QTest::newRow("keypad Enter on Cancel") << "cmdCancel" << int(Qt::Key_Enter) << "cancelled";
        QTest::newRow("Return on ..") << "cmdDir" << int(Qt::Key_Return) << "connected";
        QTest::newRow("Space on .., then Return")
            << "cmdDir" << int(Qt::Key_Space) << "browsed, then connected";
        QTest::newRow("Return in the user id")
            << "txtAccessID" << int(Qt::Key_Return) << "connected";
        QTest::newRow("Return on Connect") << "cmdConnect" << int(Qt::Key_Return) << "connected";
    }
    void enterPressesTheFocusedButton() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, outcome);
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION"),
                    QStringLiteral("Access"));
        SaveSetting(QStringLiteral("LOGIN"), QStringLiteral("Access"),
                    QStringLiteral("/no/such/file.mdb"));
        auto d = makeDialog();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        QWidget* target = d->findChild<QWidget*>(focus);
        for (int i = 0; i < 25 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
        const bool browses = outcome.startsWith(QLatin1String("browsed"));
        if (browses) m_prompts.fileAnswer = QStringLiteral("/no/such/chosen.db");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        if (browses) {
            QCOMPARE(QApplication::focusWidget(),
                     d->findChild<QWidget*>(QStringLiteral("txtAccess")));
            QCOMPARE(edit(d.get(), "txtAccess")->text(), QStringLiteral("/no/such/chosen.db"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        // A connect attempt on the missing file ends in its error report.
        QCOMPARE(m_prompts.messages.size(), outcome.endsWith(QLatin1String("connected")) ? 1 : 0);
        QCOMPARE(m_prompts.askedTitle.isEmpty(), !browses);
        QCOMPARE(d->result() == QDialog::Rejected && !d->isVisible(),
                 outcome == QLatin1String("cancelled"));
    }

    // A fixed-size dialog without maximise and minimise buttons.
    void fixedSizeDialog() {
        auto d = makeDialog();
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QVERIFY(
            !(d->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        for (const char* name : {"cmdConnect", "cmdCancel"}) {
            auto* b = child<QPushButton>(d.get(), QString::fromLatin1(name));
            QVERIFY2(b->width() >= b->sizeHint().width(), name);
            QVERIFY(d->rect().contains(b->geometry()));
        }
    }

    void cancelWritesNothing() {
        auto d = makeDialog();
        edit(d.get(), "txtODBCID")->setText(QStringLiteral("typed"));
        click(d.get(), "cmdCancel");
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(!d->isVisible());
        QVERIFY(!QFile::exists(settingsFilePath()));
        QCOMPARE(m_mainShown, 0);
    }

    void connectToAFileSavesTheLogin_data() {
        QTest::addColumn<bool>("savePasswords");
        QTest::addColumn<bool>("autoRefresh");
        QTest::newRow("passwords not saved") << false << true;
        QTest::newRow("passwords saved, no table list") << true << false;
    }
    void connectToAFileSavesTheLogin() {
        QFETCH(bool, savePasswords);
        QFETCH(bool, autoRefresh);
        const QString path = testdb::newSqliteFile(QStringLiteral("login.db"));
        SaveSetting(QStringLiteral("Password"), QStringLiteral("Save"),
                    savePasswords ? QStringLiteral("True") : QStringLiteral("False"));
        SaveSetting(QStringLiteral("TableList"), QStringLiteral("AutoRefresh"),
                    autoRefresh ? QStringLiteral("True") : QStringLiteral("False"));
        auto d = makeDialog();
        QTest::mouseClick(option(d.get(), 3), Qt::LeftButton);
        edit(d.get(), "txtAccess")->setText(path);
        edit(d.get(), "txtAccessPass")->setText(QStringLiteral("pw;1"));
        edit(d.get(), "txtOracle")
            ->setText(QStringLiteral("ORCL")); // another kind's text is kept too
        click(d.get(), "cmdConnect");

        QVERIFY2(m_prompts.messages.isEmpty(),
                 qPrintable(m_prompts.messages.join(QLatin1Char('\n'))));
        QCOMPARE(m_mainShown, 1);
        QCOMPARE(m_listsFilled, autoRefresh ? 1 : 0);
        QVERIFY(!d->isVisible());
        QVERIFY(m_record.adoConnection && m_record.adoConnection->isOpen());
        QCOMPARE(m_record.kind, ConnectionKind::Access);
        QCOMPARE(m_record.databaseName, QStringLiteral("login.db"));
        QCOMPARE(m_record.adoConnection->CursorLocation(), int(db::Connection::adUseClient));
        QCOMPARE(
            m_record.adoConnection->ConnectionString(),
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=pw;1;User ID=;Data Source=%1;"
                           "Persist Security Info=True")
                .arg(path));

        QStringList expected = {
            QStringLiteral("LOGIN/Access=") + path,
            QStringLiteral("LOGIN/AccessID="),
            QStringLiteral("LOGIN/CONNECTION=Access"),
            QStringLiteral("LOGIN/ODBC="),
            QStringLiteral("LOGIN/ODBCID="),
            QStringLiteral("LOGIN/Oracle=ORCL"),
            QStringLiteral("LOGIN/OracleID="),
            QStringLiteral("LOGIN/SQL="),
            QStringLiteral("LOGIN/SQLID="),
            QStringLiteral("Password/Save=") + (savePasswords ? "True" : "False"),
            QStringLiteral("TableList/AutoRefresh=") + (autoRefresh ? "True" : "False")};
        if (savePasswords)
            expected << QStringLiteral("LOGIN/AccessPass=pw;1") << QStringLiteral("LOGIN/ODBCPass=")
                     << QStringLiteral("LOGIN/OraclePass=") << QStringLiteral("LOGIN/SQLPass=");
        expected.sort();
        QCOMPARE(storedKeys(), expected);
        QCOMPARE(fileMode(settingsFilePath()), 0600);
    }

    void connectThroughAnOdbcDataSource() {
        TESTDB_NEED_SERVERS(!qEnvironmentVariable("TOLVAN_TEST_PG_DSN").isEmpty());
        // A password with ";" and "=" reaches the server intact.
        db::Connection admin;
        QVERIFY(testdb::open(admin, QStringLiteral("postgres-odbc")));
        admin.Execute(QStringLiteral("DROP ROLE IF EXISTS tolvan_login"));
        QVERIFY(
            testdb::exec(admin, QStringLiteral("CREATE ROLE tolvan_login LOGIN PASSWORD 'a;b=c'")));
        auto d = makeDialog();
        child<QComboBox>(d.get(), QStringLiteral("cboODBC"))
            ->setEditText(qEnvironmentVariable("TOLVAN_TEST_PG_DSN"));
        edit(d.get(), "txtODBCID")->setText(QStringLiteral("tolvan_login"));
        edit(d.get(), "txtODBCPass")->setText(QStringLiteral("a;b=c"));
        click(d.get(), "cmdConnect");
        QVERIFY2(m_prompts.messages.isEmpty(),
                 qPrintable(m_prompts.messages.join(QLatin1Char('\n'))));
        QCOMPARE(m_record.kind, ConnectionKind::Odbc);
        QCOMPARE(m_record.databaseName, qEnvironmentVariable("TOLVAN_TEST_PG_DSN"));
        QCOMPARE(m_record.userId, QStringLiteral("tolvan_login"));
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select current_user"), m_record.adoConnection.get()));
        QCOMPARE(rs.text(0, 0), QStringLiteral("tolvan_login"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("CONNECTION")),
                 QStringLiteral("ODBC"));
        QCOMPARE(GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBCID")),
                 QStringLiteral("tolvan_login"));
        QCOMPARE(
            GetSetting(QStringLiteral("LOGIN"), QStringLiteral("ODBCPass"), QStringLiteral("none")),
            QStringLiteral("none"));
        QVERIFY(rs.Close());
        m_record.adoConnection->Close();
        admin.Execute(QStringLiteral("DROP ROLE IF EXISTS tolvan_login"));
    }

    void failedConnectReportsAndKeepsEverything_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTemporaryDir dir;
        const QString text = testdb::newSqliteFile(QStringLiteral("text.db"));
        QFile f(text);
        f.open(QIODevice::WriteOnly);
        f.write("not a database at all, only text that fills a page");
        f.close();
        QTest::newRow("missing file") << 3 << QStringLiteral("/nonexistent/folder/missing.db") << ""
                                      << "";
        QTest::newRow("not a database") << 3 << text << ""
                                        << "";
        QTest::newRow("undefined data source") << 0 << QStringLiteral("no_such_dsn") << "u"
                                               << "p";
        QTest::newRow("no SQL Server driver") << 1 << QStringLiteral("DBSRV") << "sa"
                                              << "";
        QTest::newRow("no Oracle driver") << 2 << QStringLiteral("ORCL") << "scott"
                                          << "tiger";
        const QString pg = qEnvironmentVariable("TOLVAN_TEST_PG_DSN");
        if (testdb::needServers(!pg.isEmpty()))
            QTest::newRow("wrong password")
                << 0 << pg << qEnvironmentVariable("TOLVAN_TEST_PG_USER") << "wrong";
        const QString bad = qEnvironmentVariable("TOLVAN_TEST_BAD_DSN");
        if (testdb::needServers(!bad.isEmpty()))
            QTest::newRow("unreachable server") << 0 << bad << "u"
                                                << "p";
    }
    void failedConnectReportsAndKeepsEverything() {
        QFETCH(int, kind);
        QFETCH(QString, location);
        QFETCH(QString, user);
        QFETCH(QString, password);
        auto d = makeDialog();
        QTest::mouseClick(option(d.get(), kind), Qt::LeftButton);
        const char* fields[4][3] = {{nullptr, "txtODBCID", "txtODBCPass"},
                                    {"txtSQL", "txtSQLID", "txtSQLPass"},
                                    {"txtOracle", "txtOracleID", "txtOraclePass"},
                                    {"txtAccess", "txtAccessID", "txtAccessPass"}};
        if (kind == 0)
            child<QComboBox>(d.get(), QStringLiteral("cboODBC"))->setEditText(location);
        else
            edit(d.get(), fields[kind][0])->setText(location);
        edit(d.get(), fields[kind][1])->setText(user);
        edit(d.get(), fields[kind][2])->setText(password);
        click(d.get(), "cmdConnect");

        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(m_prompts.messages.front(), DatabaseErrorReport(m_record.adoConnection->Errors()));
        QVERIFY(m_prompts.messages.front().startsWith(QStringLiteral("   ADO Error # ")));
        QCOMPARE(m_mainShown, 0);
        QVERIFY(d->isVisible());
        QVERIFY(option(d.get(), kind)->isChecked());
        QCOMPARE(edit(d.get(), fields[kind][1])->text(), user);
        QCOMPARE(edit(d.get(), fields[kind][2])->text(), password);
        QVERIFY(!QFile::exists(settingsFilePath()));
        if (kind == 3 && location.startsWith(QLatin1String("/nonexistent")))
            QVERIFY(!QFile::exists(location));
    }
};

QTEST_MAIN(TestFrmLogin)
#include "tst_frmlogin.moc"
