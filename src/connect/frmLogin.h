#pragma once

#include "ConnectionStrings.h"
#include "LoginSettings.h"
#include "db/ConnectionRecord.h"

#include <QDialog>
#include <array>
#include <functional>

class LoginPrompts;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The connection dialog: the program starts here. It builds the connection string of the
// chosen kind of data source, opens the program's one connection, shows the main window and
// keeps what was typed in the settings store.
class frmLogin : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        // Shows the main window after the connection opened; false when that failed.
        std::function<bool()> showMainWindow;
        // Fills the main window's table list.
        std::function<void()> retrieveTableList;
    };

    frmLogin(db::ConnectionRecord& connection, LoginPrompts& prompts, Hooks hooks,
             QWidget* parent = nullptr);

    // The dialog's operations, named as the user-interface handlers they are.
    void InitializeODBC();
    void Option1_Click();
    void SetForm(bool bAccess, bool bSQL, bool bOracle, bool bODBC);
    void SelAll(QWidget* field);
    void cmdDir_Click();
    void cmdConnect_Click();
    void cmdCancel_Click();

    db::ConnectionKind chosenKind() const;
    LoginFields fields() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    LoginInput inputFor(db::ConnectionKind kind) const;
    bool connectAndShow();

    db::ConnectionRecord& m_connection;
    LoginPrompts& m_prompts;
    Hooks m_hooks;

    QGroupBox* Frame1 = nullptr;
    QLabel* lblODBC = nullptr;
    QLabel* lblID = nullptr;
    QLabel* lblPassword = nullptr;
    QComboBox* cboODBC = nullptr;
    QLineEdit* txtSQL = nullptr;
    QLineEdit* txtOracle = nullptr;
    QLineEdit* txtAccess = nullptr;
    QPushButton* cmdDir = nullptr;
    QLineEdit* txtODBCID = nullptr;
    QLineEdit* txtSQLID = nullptr;
    QLineEdit* txtOracleID = nullptr;
    QLineEdit* txtAccessID = nullptr;
    QLineEdit* txtODBCPass = nullptr;
    QLineEdit* txtSQLPass = nullptr;
    QLineEdit* txtOraclePass = nullptr;
    QLineEdit* txtAccessPass = nullptr;
    std::array<QRadioButton*, 4> Option1{};
    QPushButton* cmdConnect = nullptr;
    QPushButton* cmdCancel = nullptr;
};
