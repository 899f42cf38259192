// The main window's help menu and its "Info" button.
#include "frmKorvel.h"
#include "help/HelpFile.h"
#include "help/frmAbout.h"

void frmKorvel::mnuIndex_Click() {
    const QString report = OpenHelpFile();
    if (!report.isEmpty()) ShowMessagePanel(report, true, false);
}

void frmKorvel::mnuAbout_Click() {
    ShowAboutBox(this, this, m_state.connection.adoConnection.get());
}
