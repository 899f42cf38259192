// The main window's feedback to the operations: locking the window, the busy and message
// panel, the status bar and the grid's record set.
#include "frmKorvel.h"

#include "CompletionList.h"
#include "RecordsetModel.h"
#include "ResultGrid.h"
#include "StatusPanels.h"
#include "WaitPanel.h"
#include "query/modKorvel.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <algorithm>
#include <functional>

void frmKorvel::setItemEnabled(QAction* item, bool enabled) {
    m_ownEnabled.insert(item, enabled);
    bool effective = enabled;
    for (auto it = m_menuEnabled.cbegin(); it != m_menuEnabled.cend(); ++it)
        if (it.key()->actions().contains(item) && !it.value()) effective = false;
    item->setEnabled(effective);
}

void frmKorvel::setMenuEnabled(QMenu* menu, bool enabled) {
    m_menuEnabled.insert(menu, enabled);
    menu->menuAction()->setEnabled(enabled);
    // A disabled menu also silences its items' shortcuts.
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            setMenuEnabled(a->menu(), enabled);
            continue;
        }
        a->setEnabled(enabled && m_ownEnabled.value(a, true));
    }
}

void frmKorvel::SetWindowEnabled(bool enabled) {
    // Locks nest: the rows read again after an import keep the window locked beyond the
    // import's own lock.
    if (!enabled && m_lockDepth++ > 0) return;
    if (enabled && (m_lockDepth == 0 || --m_lockDepth > 0)) return;
    if (!enabled) {
        // Disabling moves the focus away; remember where it was so it goes back there.
        QWidget* focus = QApplication::focusWidget();
        m_focusBeforeDisable = focus && isAncestorOf(focus) && focus != txtFocus ? focus : nullptr;
        m_focusInGrid = focus && (focus == DataGrid1 || DataGrid1->isAncestorOf(focus));
    }
    if (!enabled) m_completion->hide();
    for (QMenu* m : {mnuFile, mnuQuery, mnuImportExport, mnuOption, mnuHelp})
        setMenuEnabled(m, enabled);
    setItemEnabled(mnuSetup, enabled);
    Toolbar1->setEnabled(enabled);
    txtQuery->setEnabled(enabled);
    DataGrid1->setEnabled(enabled);
    cboTableList->setEnabled(enabled);
    // A count a loop left unshown is shown before the window is free.
    if (enabled) showPendingFeedback();
    m_progress.reset();
    frameWait->progressBar()->hide();
    if (enabled) restoreFocus();
}

void frmKorvel::restoreFocus() {
    QWidget* target = m_focusBeforeDisable;
    if (!target || !target->isEnabled() || !target->isVisible())
        target = m_focusInGrid ? DataGrid1 : nullptr;
    m_focusBeforeDisable = nullptr;
    m_focusInGrid = false;
    if (target && target->isEnabled()) target->setFocus(Qt::OtherFocusReason);
}

void frmKorvel::centrePanel() {
    const int dpi = logicalDpiX();
    // Measured from the top of the client area, below the menu bar; the 360 twips make up for
    // the title and menu bars that the outer height includes. A panel grown for a long report
    // stays inside the window.
    const QSize outer = frameGeometry().size();
    const int left = outer.width() / 2 - frameWait->width() / 2;
    const int top = outer.height() / 2 - frameWait->height() / 2 - twipsToPixels(360, dpi);
    frameWait->move(std::max(0, std::min(left, m_client->width() - frameWait->width())),
                    std::max(0, std::min(top, m_client->height() - frameWait->height())));
}

void frmKorvel::ShowBusy(const QString& message, bool okEnabled, bool cancelEnabled) {
    m_busyVisible = true;
    txtFocus->setEnabled(true);
    // The locked window's keys (Escape) need a control to arrive at.
    if (windowLocked() && !m_panelWaiting) txtFocus->setFocus(Qt::OtherFocusReason);
    frameWait->setButtons(okEnabled, cancelEnabled);
    frameWait->ShowRandomWaitPicture();
    centrePanel();
    if (!QApplication::overrideCursor()) QApplication::setOverrideCursor(Qt::WaitCursor);
    frameWait->show();
    frameWait->setMessage(busyPanelText(message));
    centrePanel(); // the panel grows with its text
    frameWait->raise();
    repaint();
}

void frmKorvel::HideBusy() {
    m_busyVisible = false;
    frameWait->hide();
    frameWait->lower();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    txtFocus->setEnabled(false);
}

PanelAnswer frmKorvel::ShowMessagePanel(const QString& message, bool okEnabled, bool cancelEnabled,
                                        PanelAnswer defaultAnswer) {
    // Nothing else runs while the panel waits for its answer, also when it reports a failed
    // cell edit in an otherwise idle window.
    const WindowLock lock(*this);
    // A question in a loop comes with the count of the rows before it.
    showPendingFeedback();
    m_panelWaiting = true;
    txtFocus->setEnabled(true);
    int cursors = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++cursors;
    }
    frameWait->setButtons(okEnabled, cancelEnabled);
    frameWait->ShowRandomWaitPicture();
    centrePanel();
    frameWait->show();
    frameWait->setMessage(messagePanelText(message));
    centrePanel();
    frameWait->raise();
    repaint();
    (defaultAnswer == PanelAnswer::Cancel && cancelEnabled ? frameWait->cancelButton()
                                                           : frameWait->okButton())
        ->setFocus();
    const PanelAnswer answer = frameWait->waitForAnswer();
    m_panelWaiting = false;
    frameWait->hide();
    frameWait->lower();
    while (cursors-- > 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    repaint();
    txtFocus->setEnabled(false);
    if (m_busyVisible) ShowBusy(QString(), false, false);
    return answer;
}

void frmKorvel::UpdateStatusBar(const QString& status) {
    m_runningCount = QString();
    panelDatabase->setText(databasePanelText(m_state.connection));
    panelStatus->setText(status);
    panelUser->setText(userPanelText(m_state.connection));
    auto* panels = static_cast<StatusPanels*>(StatusBar1);
    // Which way the data source went, and why: never chosen silently.
    panels->setNote(StatusPanels::Database, m_state.connection.adoConnection
                                                ? m_state.connection.adoConnection->route()
                                                : QString());
}

void frmKorvel::ClearGridPanel() {
    panelDataGrid->setToolTip(QString());
    panelDataGrid->setText(QString());
}

void frmKorvel::bindGrid(std::shared_ptr<db::Recordset> rs) {
    m_model->setRecordset(std::move(rs));
    DataGrid1->fitColumnsToResult();
}

void frmKorvel::rebindGrid() {
    // A result read again in the order chosen before: its first screen is new.
    m_model->reload();
    DataGrid1->fitColumnsToResult();
}

void frmKorvel::PrepareGridColumns() {
    // Long texts wrap inside their cells; rows keep one height.
    if (m_state.resultOpen) DataGrid1->setWordWrap(true);
}

void frmKorvel::SetBusyCancelEnabled(bool enabled) {
    frameWait->cancelButton()->setEnabled(enabled);
}

void frmKorvel::showArrivingRows(std::shared_ptr<db::Recordset> rs) {
    m_beforeArriving = m_model->recordset();
    m_widthsBeforeArriving = DataGrid1->columnWidths();
    m_model->setRecordset(std::move(rs));
    DataGrid1->fitColumnsToResult();
}

void frmKorvel::moreRowsArrived() {
    m_model->rowsArrived();
    DataGrid1->fitColumnsToArrivedRows();
}

void frmKorvel::endArrivingRows(std::shared_ptr<db::Recordset> rs, bool completed) {
    if (completed && m_model->recordset() == rs) {
        m_model->rowsArrived(); // bound already, and where the user scrolled to stays
        DataGrid1->fitColumnsToArrivedRows();
    } else if (completed) {
        bindGrid(std::move(rs));
    } else {
        // The rows shown before come back as wide as they were.
        m_model->setRecordset(std::move(m_beforeArriving));
        DataGrid1->setColumnWidths(m_widthsBeforeArriving);
    }
    m_beforeArriving.reset();
}
