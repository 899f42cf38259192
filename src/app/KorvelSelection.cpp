#include "RecordsetModel.h"
#include "ResultGrid.h"
#include "frmKorvel.h"

#include <QItemSelectionModel>
#include <QLabel>

namespace {
// About 20 ms of reading between two turns of the window's events.
constexpr qint64 kCellsPerSlice = 100000;
} // namespace

void frmKorvel::summarizeSelection() {
    m_summaryRestart.stop();
    std::vector<SelectionSummary::Block> blocks;
    for (const QItemSelectionRange& r : DataGrid1->selectionModel()->selection())
        if (r.isValid()) blocks.push_back({r.top(), r.bottom(), r.left(), r.right()});
    const RecordsetModel* model = m_model;
    m_summary.start(m_model->recordset(), std::move(blocks),
                    [model](int row) { return model->sourceRow(row); });
    summarizeSlice();
}

void frmKorvel::summarizeSlice() {
    if (!m_summary.step(kCellsPerSlice)) {
        // The text of the last selection stays until this one is read whole.
        m_summaryTimer.start(0);
        return;
    }
    m_summaryTimer.stop();
    panelSelection->setText(m_summary.text());
}
