#include "GridCopy.h"
#include "RecordsetModel.h"
#include "ResultGrid.h"
#include "db/Recordset.h"
#include "frmKorvel.h"
#include "query/modKorvel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMimeData>
#include <algorithm>

namespace {
// A copy of more cells than this shows the busy panel, whose Cancel stops it.
constexpr qint64 kQuietCells = 100000;

std::vector<int> marked(const std::vector<bool>& flags) {
    std::vector<int> out;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i]) out.push_back(int(i));
    return out;
}

void toClipboard(CopiedCells&& cells) {
    auto* mime = new QMimeData;
    mime->setText(cells.text);
    mime->setHtml(cells.html);
    QApplication::clipboard()->setMimeData(mime);
}
} // namespace

void frmKorvel::installGridCopyMenu() {
    DataGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The keys are the grid's own (its key handler): the menu only shows them.
    const auto add = [this](const QString& text, auto handler) {
        auto* a = new QAction(text, DataGrid1);
        connect(a, &QAction::triggered, this, handler);
        DataGrid1->addAction(a);
    };
    add(kCopyCells, [this] { copyGridCells(false); });
    add(kCopyWithNames, [this] { copyGridCells(true); });
    add(kCopyNames, [this] { copyGridColumnNames(); });
    add(kPasteCells, [this] { pasteGridCells(); });
    add(kPasteRows, [this] { pasteGridRows(); });
}

void frmKorvel::gridSelection(std::vector<int>& rows, std::vector<int>& columns) const {
    rows.clear();
    columns.clear();
    const int rowCount = m_model->rowCount(), columnCount = m_model->columnCount();
    std::vector<bool> rowMarks(size_t(std::max(rowCount, 0)), false);
    std::vector<bool> columnMarks(size_t(std::max(columnCount, 0)), false);
    QItemSelection selection = DataGrid1->selectionModel()->selection();
    if (selection.isEmpty() && DataGrid1->currentIndex().isValid())
        selection.select(DataGrid1->currentIndex(), DataGrid1->currentIndex());
    for (const QItemSelectionRange& r : selection) {
        for (int row = std::max(r.top(), 0); row <= r.bottom() && row < rowCount; ++row)
            rowMarks[size_t(row)] = true;
        for (int c = std::max(r.left(), 0); c <= r.right() && c < columnCount; ++c)
            columnMarks[size_t(c)] = true;
    }
    rows = marked(rowMarks);
    // As the record set holds them: a filtered grid shows some of them, in the same order.
    for (int& row : rows)
        row = m_model->sourceRow(row);
    columns = marked(columnMarks);
}

void frmKorvel::copyGridCells(bool withNames) {
    const std::shared_ptr<db::Recordset>& rs = m_model->recordset();
    if (operationRunning() || !rs || !rs->isOpen()) return;
    std::vector<int> rows, columns;
    gridSelection(rows, columns);
    if (columns.empty() || (rows.empty() && !withNames)) return;
    const WindowLock lock(*this);
    const bool large = qint64(rows.size()) * qint64(columns.size()) > kQuietCells;
    clearAbortRequest(); // an Escape pressed before asks nothing of this copy
    m_copying = true;
    if (large) ShowBusy(QString(), false, true);
    CopiedCells cells;
    const bool copied = copyCells(
        *rs, rows, columns, withNames,
        [&](qint64) {
            if (!large) return true;
            DoEvents();
            return !abortRequested();
        },
        cells);
    if (large) HideBusy();
    m_copying = false;
    clearAbortRequest();
    if (!copied) return;
    toClipboard(std::move(cells));
    UpdateStatusBar(QString::number(rows.size()) + kRowsCopied);
}

void frmKorvel::copyGridColumnNames() {
    const std::shared_ptr<db::Recordset>& rs = m_model->recordset();
    if (operationRunning() || !rs || !rs->isOpen()) return;
    std::vector<int> rows, columns;
    gridSelection(rows, columns);
    if (columns.empty())
        for (int c = 0; c < m_model->columnCount(); ++c)
            columns.push_back(c);
    if (!columns.empty()) toClipboard(copyColumnNames(*rs, columns));
}
