#include "ResultGrid.h"

#include "RecordsetModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>

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
}

bool ResultGrid::eventFilter(QObject* watched, QEvent* event) {
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
