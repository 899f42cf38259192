#include "ResultGrid.h"

#include "ColumnFit.h"
#include "RecordsetModel.h"
#include "db/Recordset.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTimer>
#include <new>

namespace {
// Cell editors that know F2: the whole text selected, or the caret at its end.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(QObject* filter, QObject* parent)
        : QStyledItemDelegate(parent), m_filter(filter) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) editor->installEventFilter(m_filter);
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(RecordsetModel::ShownNullRole).toBool()) return;
        // The word stands for no value: set apart from any text a cell could hold.
        option->font.setItalic(true);
        option->palette.setColor(QPalette::Text,
                                 option->palette.color(QPalette::Disabled, QPalette::Text));
    }

private:
    QObject* m_filter;
};
} // namespace

ResultGrid::ResultGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new CellDelegate(this, this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    // The view's own fit of a double-clicked border reads only the rows in sight.
    horizontalHeader()->viewport()->installEventFilter(this);
    m_refit.setSingleShot(true);
    m_refit.setInterval(100);
    connect(&m_refit, &QTimer::timeout, this, [this] { refitCappedColumns(); });
    // The header turns its mark at every click; the mark shows the order the rows are in.
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this] { showSortOrder(); });
}

void ResultGrid::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    if (model) connect(model, &QAbstractItemModel::modelReset, this, [this] { showSortOrder(); });
}

void ResultGrid::showSortOrder() {
    QHeaderView* header = horizontalHeader();
    const auto* m = qobject_cast<const RecordsetModel*>(model());
    const db::Recordset* rs = m ? m->recordset().get() : nullptr;
    const bool sorted = rs && rs->isOpen() && rs->sortKeys().size() == 1 &&
                        rs->sortKeys().front().field < header->count();
    header->setSortIndicatorShown(sorted);
    if (!sorted) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    const db::Recordset::SortKey key = rs->sortKeys().front();
    // Qt draws its ascending order as an arrow pointing down; the mark points up for rising
    // values, as the desktop's file lists and spreadsheets draw it.
    header->setSortIndicator(key.field, key.descending ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (header->sectionSize(key.field) < headerWidth(key.field))
        header->resizeSection(key.field, headerWidth(key.field));
}

// Column widths -------------------------------------------------------------------------

namespace {
// A text of a cell sits between margins; the grid line takes one pixel more, and one is to
// spare.
int cellPadding(const QWidget* view) {
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return 2 * margin + 2;
}
} // namespace

int ResultGrid::fitLimit() const {
    return viewport()->width() * 2 / 5;
}

int ResultGrid::headerWidth(int column) const {
    const QHeaderView* header = horizontalHeader();
    QFont bold = header->font();
    bold.setBold(true);
    QStyleOptionHeader option;
    option.initFrom(header);
    option.fontMetrics = QFontMetrics(bold);
    option.text = model() ? model()->headerData(column, Qt::Horizontal).toString() : QString();
    option.section = column;
    option.orientation = Qt::Horizontal;
    if (header->isSortIndicatorShown() && header->sortIndicatorSection() == column)
        option.sortIndicator = QStyleOptionHeader::SortDown;
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, &option, header);
    const int fromStyle = header->style()
                              ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header)
                              .width();
    // The label is drawn between a margin on either side; a few pixels more keep it off the
    // borders.
    return std::max(fromStyle, option.fontMetrics.horizontalAdvance(option.text) + 2 * margin + 4);
}

int ResultGrid::fitWidth(ColumnFit& fit, int column, int first, int end, int limit, int floor,
                         bool* cut) const {
    const auto* m = qobject_cast<const RecordsetModel*>(model());
    const int padding = cellPadding(this);
    const int values = m && m->recordset() && end > first
                           ? fit.widestText(*m, column, first, end, std::max(0, limit - padding),
                                            std::max(0, floor - padding))
                           : 0;
    if (cut) *cut = values + padding >= limit;
    return std::max(headerWidth(column), std::min(limit, values > 0 ? values + padding : 0));
}

void ResultGrid::fitColumnsToResult() {
    m_fittedRows = 0;
    m_capped.clear();
    fitColumnsToArrivedRows();
}

void ResultGrid::fitColumnsToArrivedRows() {
    if (!model()) return;
    // The row numbers and the scroll bars of the new rows take their room first.
    updateGeometries();
    const int rows = model()->rowCount();
    const int columns = model()->columnCount();
    const bool fresh = m_fittedRows == 0 || m_capped.size() != size_t(columns);
    if (!fresh && rows <= m_fittedRows) return;
    try {
        ColumnFit fit(font());
        if (fresh) {
            m_fittedRows = 0;
            m_fittedLimit = fitLimit();
            m_capped.assign(size_t(columns), false);
        }
        QHeaderView* header = horizontalHeader();
        for (int c = 0; c < columns; ++c) {
            const int now = fresh ? 0 : header->sectionSize(c);
            bool cut = false;
            const int needed = fitWidth(fit, c, m_fittedRows, rows, m_fittedLimit, now, &cut);
            if (cut) m_capped[size_t(c)] = true;
            if (fresh || needed > now) header->resizeSection(c, needed);
        }
        m_fittedRows = rows;
    } catch (const std::bad_alloc&) {
        // No memory to measure with: the columns keep the widths they have.
    }
}

void ResultGrid::refitCappedColumns() {
    const int limit = fitLimit();
    const auto* m = qobject_cast<const RecordsetModel*>(model());
    // A filtered grid shows some of the rows: its columns stay cut until all are shown.
    if (!m || m->filtered() || m_fittedRows == 0 || limit <= m_fittedLimit ||
        m_capped.size() != size_t(model()->columnCount()))
        return;
    const int old = m_fittedLimit;
    m_fittedLimit = limit;
    try {
        ColumnFit fit(font());
        QHeaderView* header = horizontalHeader();
        for (int c = 0; c < int(m_capped.size()); ++c) {
            // A column the user made narrower than the limit is left as it is.
            if (!m_capped[size_t(c)] || header->sectionSize(c) < old) continue;
            bool cut = false;
            const int needed = fitWidth(fit, c, 0, std::min(m_fittedRows, model()->rowCount()),
                                        limit, header->sectionSize(c), &cut);
            m_capped[size_t(c)] = cut;
            if (needed > header->sectionSize(c)) header->resizeSection(c, needed);
        }
    } catch (const std::bad_alloc&) {
        // The columns stay as they are.
    }
}

void ResultGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    m_refit.start();
}

void ResultGrid::fitColumnToAllRows(int column) {
    if (!model() || column < 0 || column >= model()->columnCount()) return;
    try {
        ColumnFit fit(font());
        horizontalHeader()->resizeSection(
            column, fitWidth(fit, column, 0, model()->rowCount(), viewport()->width()));
    } catch (const std::bad_alloc&) {
        // The same: the column stays as it is.
    }
}

QList<int> ResultGrid::columnWidths() const {
    QList<int> widths;
    for (int c = 0; c < horizontalHeader()->count(); ++c)
        widths << horizontalHeader()->sectionSize(c);
    return widths;
}

void ResultGrid::setColumnWidths(const QList<int>& widths) {
    if (widths.size() != horizontalHeader()->count()) return;
    for (int c = 0; c < int(widths.size()); ++c)
        horizontalHeader()->resizeSection(c, widths[c]);
    // Widths given back, as the rows shown were measured before.
    m_fittedRows = model() ? model()->rowCount() : 0;
    m_fittedLimit = fitLimit();
    m_capped.assign(size_t(widths.size()), false);
}

int ResultGrid::borderAt(int x) const {
    const QHeaderView* header = horizontalHeader();
    const int visual = header->visualIndexAt(x);
    if (visual < 0) return -1;
    const int logical = header->logicalIndex(visual);
    const int start = header->sectionViewportPosition(logical);
    const int grip = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    bool atStart = x < start + grip;
    bool atEnd = x > start + header->sectionSize(logical) - grip;
    if (isRightToLeft()) std::swap(atStart, atEnd);
    int column = -1;
    if (atEnd) {
        column = logical;
    } else if (atStart) {
        // The border of the column shown before this one.
        for (int v = visual - 1; v >= 0 && column < 0; --v)
            if (!header->isSectionHidden(header->logicalIndex(v))) column = header->logicalIndex(v);
    }
    return column >= 0 && header->sectionResizeMode(column) == QHeaderView::Interactive ? column
                                                                                        : -1;
}

bool ResultGrid::headerFilter(QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int column =
            mouse->button() == Qt::LeftButton ? borderAt(mouse->position().toPoint().x()) : -1;
        if (column < 0) return false;
        m_borderDoubleClicked = true;
        fitColumnToAllRows(column);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && m_borderDoubleClicked) {
        // Some versions of the header take it for the end of a click on the column under it,
        // pressed before the double-click.
        m_borderDoubleClicked = false;
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) m_borderDoubleClicked = false;
    return false;
}

bool ResultGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) return headerFilter(event);
    if (event->type() == QEvent::FocusOut && qobject_cast<QWidget*>(watched) && !ownsFocus() &&
        lostFocus) {
        // The editor lost the focus to another control: the grid is left.
        QTimer::singleShot(0, this, [this] {
            if (!ownsFocus() && lostFocus) lostFocus();
        });
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
            if (edit->selectedText().isEmpty()) {
                edit->selectAll();
            } else {
                edit->deselect();
                edit->setCursorPosition(int(edit->text().size()));
            }
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

bool isCommonKey(int key, Qt::KeyboardModifiers modifiers) {
    // The arrows of the number block count as the arrows.
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    return key == Qt::Key_F5 || key == Qt::Key_Escape ||
           (held == Qt::AltModifier && (key == Qt::Key_Left || key == Qt::Key_Right));
}

void ResultGrid::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    if (isCommonKey(key, event->modifiers())) {
        // Handled here and nowhere else: the key does not travel on to the window.
        if (commonKeyDown) commonKeyDown(key, event->modifiers());
        event->accept();
        return;
    }
    if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
        m_rememberedColumn = currentIndex().column();
    } else if (key == Qt::Key_Delete && state() != EditingState) {
        // Only whole rows are deleted; a current cell alone is never a row to delete.
        if (selectionModel() && !selectionModel()->selectedRows().isEmpty() && deleteSelectedRows)
            deleteSelectedRows();
        event->accept();
        return;
    } else if (key == Qt::Key_Space && held == Qt::ShiftModifier && currentIndex().isValid()) {
        selectRow(currentIndex().row());
        event->accept();
        return;
    } else if (key == Qt::Key_C && state() != EditingState &&
               (held == Qt::ControlModifier || held == (Qt::ControlModifier | Qt::ShiftModifier))) {
        // The selected cells, not the current one alone as the view would copy.
        if (copySelection) copySelection(held & Qt::ShiftModifier);
        event->accept();
        return;
    } else if (key == Qt::Key_V && state() != EditingState && held == Qt::ControlModifier) {
        if (pasteCells) pasteCells();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool ResultGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (QTableView::edit(index, trigger, event)) return true;
    const bool asked = trigger == AllEditTriggers || (editTriggers() & trigger);
    if (asked && index.isValid() && state() != EditingState &&
        !(model()->flags(index) & Qt::ItemIsEditable) && notEditable)
        notEditable(index);
    return false;
}

void ResultGrid::keyboardSearch(const QString&) {
    // A typed key edits the current cell or does nothing: jumping to a cell that starts with
    // it would edit that cell with the following keys, the first one lost.
}

void ResultGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_rememberedColumn > 0 && current.isValid() && current.column() != m_rememberedColumn) {
        const int column = m_rememberedColumn;
        m_rememberedColumn = 0;
        setCurrentIndex(model()->index(current.row(), column));
        return;
    }
    m_rememberedColumn = 0;
    if (rowColChange) rowColChange();
}

QItemSelectionModel::SelectionFlags ResultGrid::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const {
    // Ctrl moves the current cell without selecting it; then the selection and the bold
    // header it makes stay behind on the cell left. Ctrl+Home and Ctrl+End go to a cell.
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
        if (held == Qt::ControlModifier &&
            (key->key() == Qt::Key_Home || key->key() == Qt::Key_End))
            return QItemSelectionModel::ClearAndSelect;
    }
    return QTableView::selectionCommand(index, event);
}

void ResultGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (rowColChange) rowColChange();
}

bool ResultGrid::ownsFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void ResultGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    // The cell editor is part of the grid: the type panel follows the cell while it edits.
    if (!ownsFocus() && lostFocus) lostFocus();
}
