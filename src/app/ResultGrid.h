#pragma once

#include <QTableView>
#include <QTimer>
#include <functional>
#include <vector>

class ColumnFit;
class RecordsetModel;

// The result grid: the keys it handles itself (F2 in the cell editor, row moves that keep the
// column), the rest handed to the window's common key handler.
class ResultGrid : public QTableView {
    Q_OBJECT
public:
    explicit ResultGrid(QWidget* parent = nullptr);
    using QTableView::edit; // the public one, beside the override below

    // Keys the grid does not handle, for the window: the key (a Qt::Key) and its modifiers.
    std::function<void(int, Qt::KeyboardModifiers)> commonKeyDown;
    // Delete pressed on selected rows.
    std::function<void()> deleteSelectedRows;
    // The current cell changed, the grid got or lost the focus.
    std::function<void()> rowColChange;
    std::function<void()> lostFocus;
    // An edit was asked for on a cell that is not edited.
    std::function<void(const QModelIndex&)> notEditable;
    // Ctrl+C, or Ctrl+Shift+C for the column names first.
    std::function<void(bool withNames)> copySelection;
    // Ctrl+V outside the cell editor.
    std::function<void()> pasteCells;

    // The header clicked last, its column as decimal text; emptied for every new result, so
    // that the first click on a header only marks it and the second sorts.
    QString lastHeadColumn;

    // A new result: every column as wide as its header and the values of every row held
    // need, each value no wider than 40% of the grid.
    void fitColumnsToResult();
    // More rows of the result arrived: a column they need wider widens, none narrows.
    void fitColumnsToArrivedRows();
    // A double-click on a header's right border: the column as wide as its header and the
    // values of every row the grid holds need, no wider than the grid.
    void fitColumnToAllRows(int column);
    // The width the header of a column needs, in the bold it takes while its column holds the
    // current cell, with the sort order's mark where it shows.
    int headerWidth(int column) const;
    // The header shows the order the result is sorted in, when it is sorted by one column.
    void showSortOrder();
    void setModel(QAbstractItemModel* model) override;
    // The widths of all columns, to be put back as they were.
    QList<int> columnWidths() const;
    void setColumnWidths(const QList<int>& widths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    bool ownsFocus() const;
    bool headerFilter(QEvent* event);
    // The column whose right border is at x in the header, -1 when none is.
    int borderAt(int x) const;
    // cut: the values need the limit or more.
    int fitWidth(ColumnFit& fit, int column, int first, int end, int limit, int floor = 0,
                 bool* cut = nullptr) const;
    int fitLimit() const;
    // Columns held at the limit, widened over all rows when the grid grows wider.
    void refitCappedColumns();

    int m_rememberedColumn = 0;
    // Rows measured for the widths, the limit they were measured with, and the columns the
    // limit cut.
    int m_fittedRows = 0;
    int m_fittedLimit = 0;
    std::vector<bool> m_capped;
    // A window dragged wider resizes the grid many times: the refit follows the last.
    QTimer m_refit;
    // The release that ends a double-click on a border is no click on the header.
    bool m_borderDoubleClicked = false;
};

// Keys the window's common handler acts on (F5, Escape, Alt+Left/Right); each widget that
// sees one hands it over once and keeps it from travelling further.
bool isCommonKey(int key, Qt::KeyboardModifiers modifiers);
