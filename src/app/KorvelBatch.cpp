// The main window's batch command.
#include "batch/frmBatch.h"
#include "frmKorvel.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>

void frmKorvel::mnuBatch_Click() {
    QPointer<QWidget> focus = QApplication::focusWidget();
    {
        std::optional<QStringList> tables;
        if (cboTableList->isEnabled()) {
            tables.emplace();
            for (int i = 0; i < cboTableList->count(); ++i)
                tables->append(cboTableList->itemText(i));
        }
        frmBatch batch(m_batchState, m_state.connection.adoConnection.get(), std::move(tables),
                       this);
        batch.exec();
    }
    // Not every window system hands the activation back when a modal window closes.
    activateWindow();
    if (focus) focus->setFocus();
}
