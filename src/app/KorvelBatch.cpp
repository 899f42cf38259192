// The main window's batch command.
#include "frmBatch.h"
#include "frmKorvel.h"

#include <QComboBox>

void frmKorvel::mnuBatch_Click() {
    frmBatch batch(m_batchState, m_state.connection.adoConnection.get(), cboTableList, this);
    batch.exec();
}
