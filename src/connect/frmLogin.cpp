#include "frmLogin.h"

#include "LoginPrompts.h"
#include "common/ErrorReport.h"
#include "db/odbc/OdbcDataSources.h"
#include "options/SettingsKeys.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using db::ConnectionKind;

namespace {
const QString kBrowseTitle = QStringLiteral("MDBファイル");
// The second filter lets the bundled SQLite sample be picked.
const QString kBrowseFilter =
    QStringLiteral("MDBファイル (*.mdb;*.accdb)|*.mdb;*.accdb|SQLiteファイル "
                   "(*.db;*.sqlite;*.sqlite3)|*.db;*.sqlite;"
                   "*.sqlite3");

// Keeps the hourglass up for the length of a scope.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QLineEdit* lineEdit(QWidget* parent, const char* name, int left, int top, int width, int height,
                    bool password = false) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    setTwipsGeometry(e, left, top, width, height);
    if (password) {
        e->setEchoMode(QLineEdit::Password);
        e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    }
    return e;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    setTwipsGeometry(l, left, top, width, height);
    fitTextWidth(l);
    return l;
}
} // namespace

frmLogin::frmLogin(db::ConnectionRecord& connection, LoginPrompts& prompts, Hooks hooks,
                   QWidget* parent)
    : QDialog(parent), m_connection(connection), m_prompts(prompts), m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("frmLogin"));
    // A fixed-size dialog: no maximise or minimise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    buildControls();
    Form_Load();
}

void frmLogin::buildControls() {
    const int dpi = logicalDpiX();
    setFixedSize(twipsToPixels(5190, dpi), twipsToPixels(1950, dpi));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    setTwipsGeometry(Frame1, 60, -30, 5025, 1455);

    lblODBC = label(Frame1, "lblODBC", QStringLiteral("ODBC"), 90, 285, 975, 195);
    txtSQL = lineEdit(Frame1, "txtSQL", 1140, 230, 2335, 300);
    txtOracle = lineEdit(Frame1, "txtOracle", 1140, 230, 2335, 300);
    cboODBC = new QComboBox(Frame1);
    cboODBC->setObjectName(QStringLiteral("cboODBC"));
    cboODBC->setEditable(true);
    cboODBC->setInsertPolicy(QComboBox::NoInsert);
    setTwipsGeometry(cboODBC, 1140, 230, 2340, 300);
    txtAccess = lineEdit(Frame1, "txtAccess", 1140, 230, 2085, 300);
    cmdDir = new QPushButton(QStringLiteral(".."), Frame1);
    cmdDir->setObjectName(QStringLiteral("cmdDir"));
    // Connect is the default button: Enter on ".." presses it too, as in every field; only
    // Cancel, focused, takes Enter for itself.
    cmdDir->setAutoDefault(false);
    setTwipsGeometry(cmdDir, 3240, 210, 240, 345);

    lblID = label(Frame1, "lblID", QStringLiteral("ID"), 90, 675, 975, 195);
    txtODBCID = lineEdit(Frame1, "txtODBCID", 1140, 615, 2335, 300);
    txtSQLID = lineEdit(Frame1, "txtSQLID", 1140, 615, 2335, 300);
    txtOracleID = lineEdit(Frame1, "txtOracleID", 1140, 615, 2335, 300);
    txtAccessID = lineEdit(Frame1, "txtAccessID", 1140, 615, 2335, 300);

    lblPassword = label(Frame1, "lblPassword", QStringLiteral("PASSWORD"), 90, 1065, 975, 195);
    txtODBCPass = lineEdit(Frame1, "txtODBCPass", 1140, 1005, 2335, 300, true);
    txtSQLPass = lineEdit(Frame1, "txtSQLPass", 1140, 1005, 2335, 300, true);
    txtOraclePass = lineEdit(Frame1, "txtOraclePass", 1140, 1005, 2335, 300, true);
    txtAccessPass = lineEdit(Frame1, "txtAccessPass", 1140, 1005, 2335, 300, true);

    const QString captions[4] = {QStringLiteral("ODBC"), QStringLiteral("SQL Server"),
                                 QStringLiteral("ORACLE"), QStringLiteral("Access")};
    const int tops[4] = {225, 525, 825, 1125};
    for (int i = 0; i < 4; ++i) {
        Option1[size_t(i)] = new QRadioButton(captions[i], Frame1);
        Option1[size_t(i)]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        setTwipsGeometry(Option1[size_t(i)], 3630, tops[i], 1215, 180);
        fitTextWidth(Option1[size_t(i)]);
        connect(Option1[size_t(i)], &QRadioButton::clicked, this, &frmLogin::Option1_Click);
    }

    cmdConnect = new QPushButton(QStringLiteral("Connect"), this);
    cmdConnect->setObjectName(QStringLiteral("cmdConnect"));
    setTwipsGeometry(cmdConnect, 2250, 1500, 1335, 345);
    cmdConnect->setAutoDefault(true);
    cmdConnect->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(true);
    setTwipsGeometry(cmdCancel, 3750, 1500, 1335, 345);

    connect(cmdDir, &QPushButton::clicked, this, &frmLogin::cmdDir_Click);
    connect(cmdConnect, &QPushButton::clicked, this, &frmLogin::cmdConnect_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);

    QWidget* order[] = {txtAccess,  cmdDir,        cboODBC,       txtSQL,      txtOracle,
                        txtODBCID,  txtSQLID,      txtOracleID,   txtAccessID, txtODBCPass,
                        txtSQLPass, txtOraclePass, txtAccessPass, Option1[0],  Option1[1],
                        Option1[2], Option1[3],    cmdConnect,    cmdCancel};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    using Widgets = std::initializer_list<QWidget*>;
    for (QWidget* w :
         Widgets{txtSQL, txtOracle, txtAccess, cboODBC->lineEdit(), txtSQLID, txtOracleID,
                 txtODBCID, txtAccessID, txtSQLPass, txtOraclePass, txtAccessPass, txtODBCPass})
        w->installEventFilter(this);
}

void frmLogin::Form_Load() {
    setWindowTitle(kApplicationName);
    InitializeODBC();
    const LoginFields f = loadLoginFields();
    txtSQL->setText(f.sql);
    txtOracle->setText(f.oracle);
    txtAccess->setText(f.access);
    cboODBC->setEditText(f.odbc);
    txtSQLID->setText(f.sqlId);
    txtOracleID->setText(f.oracleId);
    txtAccessID->setText(f.accessId);
    txtODBCID->setText(f.odbcId);
    txtSQLPass->setText(f.sqlPass);
    txtOraclePass->setText(f.oraclePass);
    txtAccessPass->setText(f.accessPass);
    txtODBCPass->setText(f.odbcPass);

    switch (loadConnectionKind()) {
    case ConnectionKind::SqlServer:
        Option1[1]->setChecked(true);
        Option1_Click();
        SelAll(txtSQL);
        break;
    case ConnectionKind::Oracle:
        Option1[2]->setChecked(true);
        Option1_Click();
        SelAll(txtOracle);
        break;
    case ConnectionKind::Access:
        Option1[3]->setChecked(true);
        Option1_Click();
        SelAll(txtAccess);
        break;
    case ConnectionKind::Odbc:
        Option1[0]->setChecked(true);
        Option1_Click();
        break;
    }
}

void frmLogin::InitializeODBC() {
    cboODBC->clear();
    cboODBC->addItems(db::odbcDataSourceNames());
    if (cboODBC->count() > 0) cboODBC->setCurrentIndex(0);
}

ConnectionKind frmLogin::chosenKind() const {
    for (int i = 0; i < 4; ++i)
        if (Option1[size_t(i)]->isChecked()) return ConnectionKind(i);
    return ConnectionKind::Odbc;
}

void frmLogin::Option1_Click() {
    switch (chosenKind()) {
    case ConnectionKind::Odbc:
        lblODBC->setText(QStringLiteral("ODBC"));
        SetForm(false, false, false, true);
        break;
    case ConnectionKind::SqlServer:
        lblODBC->setText(QStringLiteral("SERVER"));
        SetForm(false, true, false, false);
        break;
    case ConnectionKind::Oracle:
        lblODBC->setText(QStringLiteral("SERVER"));
        SetForm(false, false, true, false);
        break;
    case ConnectionKind::Access:
        lblODBC->setText(QStringLiteral("MDB"));
        SetForm(true, false, false, false);
        break;
    }
}

void frmLogin::SetForm(bool bAccess, bool bSQL, bool bOracle, bool bODBC) {
    using Widgets = std::initializer_list<QWidget*>;
    for (QWidget* w : Widgets{cboODBC, txtODBCPass, txtODBCID})
        w->setVisible(bODBC);
    for (QWidget* w : Widgets{txtAccess, cmdDir, txtAccessPass, txtAccessID})
        w->setVisible(bAccess);
    for (QWidget* w : Widgets{txtSQL, txtSQLPass, txtSQLID})
        w->setVisible(bSQL);
    for (QWidget* w : Widgets{txtOracle, txtOraclePass, txtOracleID})
        w->setVisible(bOracle);
}

void frmLogin::SelAll(QWidget* field) {
    if (auto* combo = qobject_cast<QComboBox*>(field)) field = combo->lineEdit();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        auto* field = static_cast<QWidget*>(watched);
        // After the focus change has settled, so that the selection is not reset by it.
        QMetaObject::invokeMethod(
            this, [this, field] { SelAll(field); }, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void frmLogin::cmdDir_Click() {
    const QString path = m_prompts.openFileName(this, kBrowseTitle, kBrowseFilter);
    if (path.trimmed().isEmpty()) return;
    txtAccess->setText(path);
    // Back in the field the choice filled, where Enter connects to it.
    txtAccess->setFocus(Qt::OtherFocusReason);
}

LoginFields frmLogin::fields() const {
    LoginFields f;
    f.odbc = cboODBC->currentText();
    f.sql = txtSQL->text();
    f.oracle = txtOracle->text();
    f.access = txtAccess->text();
    f.odbcId = txtODBCID->text();
    f.sqlId = txtSQLID->text();
    f.oracleId = txtOracleID->text();
    f.accessId = txtAccessID->text();
    f.odbcPass = txtODBCPass->text();
    f.sqlPass = txtSQLPass->text();
    f.oraclePass = txtOraclePass->text();
    f.accessPass = txtAccessPass->text();
    return f;
}

LoginInput frmLogin::inputFor(ConnectionKind kind) const {
    const LoginFields f = fields();
    switch (kind) {
    case ConnectionKind::Odbc:
        return {kind, f.odbc, f.odbcId, f.odbcPass};
    case ConnectionKind::SqlServer:
        return {kind, f.sql, f.sqlId, f.sqlPass};
    case ConnectionKind::Oracle:
        return {kind, f.oracle, f.oracleId, f.oraclePass};
    case ConnectionKind::Access:
        return {kind, f.access, f.accessId, f.accessPass};
    }
    return {};
}

void frmLogin::cmdConnect_Click() {
    bool connected = false;
    {
        WaitCursor wait;
        connected = connectAndShow();
    }
    if (!connected) {
        // The report of the last error; the dialog stays as the user left it.
        const db::ErrorList errors =
            m_connection.adoConnection ? m_connection.adoConnection->Errors() : db::ErrorList();
        m_prompts.showMessage(this, DatabaseErrorReport(errors));
    }
}

bool frmLogin::connectAndShow() {
    m_connection.adoConnection = std::make_unique<db::Connection>();
    db::Connection& connection = *m_connection.adoConnection;
    const ConnectionKind kind = chosenKind();
    const LoginInput input = inputFor(kind);
    connection.setLogin(loginParams(input), buildConnectionString(input));
    m_connection.databaseName = databaseNameOf(input);
    m_connection.kind = kind;
    m_connection.userId = input.userId;
    connection.setCursorLocation(db::Connection::adUseClient);
    connection.setBackendOptions(
        {ReadSetting(keys::OdbcDriverOnly).split(QLatin1Char(';'), Qt::SkipEmptyParts)});
    if (!connection.Open()) return false;
    if (m_hooks.showMainWindow && !m_hooks.showMainWindow()) return false;
    saveLogin(fields(), kind);
    hide();
    if (ReadBoolSetting(keys::TableListAutoRefresh) && m_hooks.retrieveTableList)
        m_hooks.retrieveTableList();
    return true;
}

void frmLogin::cmdCancel_Click() {
    reject();
}
