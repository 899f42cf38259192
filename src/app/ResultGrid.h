#pragma once

#include <QTableView>
#include <functional>

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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    bool ownsFocus() const;
    int m_rememberedColumn = 0;
};

// Keys the window's common handler acts on (F5, Escape, Alt+Left/Right); each widget that
// sees one hands it over once and keeps it from travelling further.
bool isCommonKey(int key, Qt::KeyboardModifiers modifiers);
