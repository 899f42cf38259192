#include "ResultGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>

int keyCodeOf(const QKeyEvent* e) {
    const int k = e->key();
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 65 + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return 48 + (k - Qt::Key_0);
    switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

int shiftOf(const QKeyEvent* e) {
    const Qt::KeyboardModifiers m = e->modifiers();
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

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

bool isCommonKey(int keyCode, int shift) {
    return keyCode == 116 || keyCode == 27 || (shift == 4 && (keyCode == 37 || keyCode == 39));
}

void ResultGrid::keyPressEvent(QKeyEvent* event) {
    const int code = keyCodeOf(event);
    const int shift = shiftOf(event);
    if (isCommonKey(code, shift)) {
        // Handled here and nowhere else: the key does not travel on to the window.
        if (commonKeyDown) commonKeyDown(code, shift);
        event->accept();
        return;
    }
    if (code == 40 || code == 38 || code == 33 || code == 34) {
        m_rememberedColumn = currentIndex().column();
    } else if (code == 46 && state() != EditingState) {
        // Only whole rows are deleted; a current cell alone is never a row to delete.
        if (selectionModel() && !selectionModel()->selectedRows().isEmpty() && deleteSelectedRows)
            deleteSelectedRows();
        event->accept();
        return;
    } else if (event->key() == Qt::Key_Space && shift == 1 && currentIndex().isValid()) {
        selectRow(currentIndex().row());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
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
