#include "FindBar.h"
#include "GridFind.h"
#include "RecordsetModel.h"
#include "ResultGrid.h"
#include "db/Recordset.h"
#include "frmKorvel.h"
#include "query/modKorvel.h"

#include <QApplication>
#include <QTimer>

void frmKorvel::buildFindBar() {
    m_findBar = new FindBar(m_client);
    connect(m_findBar, &FindBar::findNext, this, [this] { findCell(true); });
    connect(m_findBar, &FindBar::findPrevious, this, [this] { findCell(false); });
    connect(m_findBar, &FindBar::searchChanged, this, &frmKorvel::applyFindFilter);
    connect(m_findBar, &FindBar::closed, this, &frmKorvel::closeFindBar);
    // A sort, a deletion or a new result shows every row: a filter shown is made again, once
    // the reset has ended.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_filtering && m_findBar->isVisible() && m_findBar->matchingRowsOnly())
            QTimer::singleShot(0, this, &frmKorvel::applyFindFilter);
    });
}

void frmKorvel::layoutGrid(int width, int height) {
    const int bar = m_findBar && m_findBar->isVisible() ? m_findBar->sizeHint().height() : 0;
    if (m_findBar) m_findBar->setGeometry(0, m_gridTop, width, bar);
    DataGrid1->setGeometry(0, m_gridTop + bar, width, height - bar);
}

void frmKorvel::openFindBar() {
    if (operationRunning()) return;
    if (!m_findBar->isVisible()) {
        QWidget* focus = QApplication::focusWidget();
        m_focusBeforeFind = focus && isAncestorOf(focus) ? focus : nullptr;
        m_findBar->show();
        layoutGrid(DataGrid1->width(), DataGrid1->geometry().bottom() + 1 - m_gridTop);
    }
    m_findBar->open();
}

void frmKorvel::closeFindBar() {
    if (!m_findBar->isVisible()) return;
    m_findBar->hide();
    layoutGrid(DataGrid1->width(), DataGrid1->geometry().bottom() + 1 - m_gridTop);
    m_model->clearRowFilter();
    UpdateStatusBar(QString());
    QWidget* back = m_focusBeforeFind ? m_focusBeforeFind.data() : DataGrid1;
    back->setFocus(Qt::OtherFocusReason);
}

void frmKorvel::applyFindFilter() {
    const std::shared_ptr<db::Recordset>& rs = m_model->recordset();
    if (!rs || !rs->isOpen() || !m_findBar->isVisible()) return;
    m_filtering = true;
    if (m_findBar->matchingRowsOnly() && !m_findBar->text().isEmpty()) {
        std::vector<int> rows =
            GridFind(*rs, m_findBar->text(), m_findBar->matchCase()).rowsHolding();
        const qint64 shown = qint64(rows.size());
        m_model->setRowFilter(std::move(rows));
        UpdateStatusBar(findRowsText(shown, rs->RecordCount()));
    } else if (m_model->filtered()) {
        m_model->clearRowFilter();
        UpdateStatusBar(QString());
    }
    m_filtering = false;
}

void frmKorvel::findCell(bool forward) {
    const std::shared_ptr<db::Recordset>& rs = m_model->recordset();
    const int rows = m_model->rowCount(), columns = m_model->columnCount();
    if (!rs || !rs->isOpen() || rows == 0 || columns == 0 || m_findBar->text().isEmpty()) return;
    GridFind find(*rs, m_findBar->text(), m_findBar->matchCase());
    const QModelIndex current = DataGrid1->currentIndex();
    // The cells in reading order, from the one after (or before) the current cell, around.
    const qint64 cells = qint64(rows) * columns;
    qint64 at = current.isValid() ? qint64(current.row()) * columns + current.column()
                                  : (forward ? -1 : cells);
    for (qint64 step = 0; step < cells; ++step) {
        at = forward ? (at + 1) % cells : (at - 1 + cells) % cells;
        const int row = int(at / columns), col = int(at % columns);
        if (!find.cellHolds(m_model->sourceRow(row), col)) continue;
        const QModelIndex found = m_model->index(row, col);
        DataGrid1->setCurrentIndex(found);
        DataGrid1->scrollTo(found);
        return;
    }
    UpdateStatusBar(kFindNothing);
}
