#include "app/frmKorvel.h"
#include "connect/LoginPrompts.h"
#include "connect/frmLogin.h"
#include "db/ConnectionRecord.h"
#include "help/ProgramVersion.h"
#include "options/SettingsStore.h"
#include "query/ProgramState.h"
#include "widgets/QtTranslations.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    QApplication::setApplicationVersion(versionText(programVersion()));
    QApplication::setWindowIcon(programIcon());
    installQtTranslations(app);

    db::ConnectionRecord connection;
    ProgramState state(connection);
    QtLoginPrompts prompts;
    std::unique_ptr<frmKorvel> mainWindow;
    frmLogin::Hooks hooks;
    hooks.showMainWindow = [&] {
        mainWindow = std::make_unique<frmKorvel>(state);
        mainWindow->show();
        return true;
    };
    hooks.retrieveTableList = [&] { mainWindow->RetrieveTableList(); };

    frmLogin login(connection, prompts, hooks);
    login.show();
    const int status = app.exec();
    mainWindow.reset();
    if (connection.adoConnection) connection.adoConnection->Close();
    return status;
}
