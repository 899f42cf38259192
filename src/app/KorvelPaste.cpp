#include "RecordsetModel.h"
#include "ResultGrid.h"
#include "common/ErrorReport.h"
#include "db/Recordset.h"
#include "frmKorvel.h"
#include "query/modKorvel.h"
#include "transfer/ClipboardCells.h"
#include "transfer/modImport.h"

#include <QApplication>
#include <QClipboard>

namespace {
// One row of the grid and the cells pasted onto it (column and text).
struct PastedRow {
    int row;
    std::vector<std::pair<int, QString>> cells;
};
} // namespace

void frmKorvel::pasteGridCells() {
    const std::shared_ptr<db::Recordset>& rs = m_model->recordset();
    if (operationRunning() || !rs || !rs->isOpen()) return;
    const QModelIndex current = DataGrid1->currentIndex();
    const std::vector<std::vector<QString>> cells =
        spreadsheetCells(QApplication::clipboard()->text());
    if (!current.isValid() || cells.empty()) return;
    size_t width = 0;
    for (const std::vector<QString>& row : cells)
        width = std::max(width, row.size());
    if (current.row() + qint64(cells.size()) > m_model->rowCount() ||
        current.column() + qint64(width) > m_model->columnCount()) {
        ShowMessagePanel(kPasteOutside, true, false);
        return;
    }
    // Every cell is checked before anything is written, as typing into it would be.
    std::vector<PastedRow> changed;
    for (size_t r = 0; r < cells.size(); ++r) {
        PastedRow pasted{current.row() + int(r), {}};
        bool changes = false;
        for (size_t c = 0; c < cells[r].size(); ++c) {
            const QModelIndex index = m_model->index(pasted.row, current.column() + int(c));
            if (!(m_model->flags(index) & Qt::ItemIsEditable)) {
                ShowMessagePanel(m_model->readOnly()          ? kDatabaseReadOnly
                                 : m_model->isComputed(index) ? kComputedColumnReadOnly
                                                              : kPasteNotEditable,
                                 true, false);
                return;
            }
            db::Value value;
            changes |= m_model->changedValue(index.row(), index.column(), cells[r][c], value);
            pasted.cells.emplace_back(index.column(), cells[r][c]);
        }
        if (changes) changed.push_back(std::move(pasted));
    }
    if (changed.size() > 1 &&
        ShowMessagePanel(kPasteQuestion.arg(changed.size()), true, true) != PanelAnswer::Ok)
        return;
    qint64 written = 0;
    {
        const WindowLock lock(*this);
        for (const PastedRow& row : changed) {
            db::Error error;
            if (!m_model->setRowTexts(row.row, row.cells, error)) {
                UpdateStatusBar(QString::number(written) + kRowsPasted);
                ShowMessagePanel(ErrorReport(error.Number, error.Source, error.Description) +
                                     QStringLiteral("\r\n") + kPastedBefore.arg(written),
                                 true, false);
                return;
            }
            ++written;
            DoEvents();
        }
    }
    UpdateStatusBar(QString::number(written) + kRowsPasted);
}

void frmKorvel::pasteGridRows() {
    if (operationRunning()) return;
    m_transfer.bImporting = true;
    ImportRows(resultOnScreen(), connection(), *this,
               cellsSheet(spreadsheetCells(QApplication::clipboard()->text())), rereadResult());
    m_transfer.bImporting = false;
}
