#include "ConnectionRecord.h"
#include "LoginPrompts.h"
#include "SettingsStore.h"
#include "frmLogin.h"

#include <QApplication>
#include <QMainWindow>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);

    db::ConnectionRecord connection;
    QtLoginPrompts prompts;
    std::unique_ptr<QMainWindow> mainWindow;
    frmLogin::Hooks hooks;
    hooks.showMainWindow = [&] {
        mainWindow = std::make_unique<QMainWindow>();
        mainWindow->setObjectName(QStringLiteral("frmKorvel"));
        mainWindow->setWindowTitle(kApplicationName);
        mainWindow->resize(800, 600);
        mainWindow->show();
        return true;
    };
    hooks.retrieveTableList = [] {};

    frmLogin login(connection, prompts, hooks);
    login.show();
    const int status = app.exec();
    mainWindow.reset();
    if (connection.adoConnection) connection.adoConnection->Close();
    return status;
}
