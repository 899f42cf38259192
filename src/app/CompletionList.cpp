#include "CompletionList.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace {
constexpr int kVisibleRows = 10;
} // namespace

CompletionList::CompletionList(QPlainTextEdit* box, QWidget* parent)
    : QListWidget(parent), m_box(box) {
    setObjectName(QStringLiteral("lstCompletion"));
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFont(box->font());
    hide();
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { accept(item->text()); });
}

void CompletionList::offer(qsizetype start, qsizetype end, const QStringList& choices) {
    m_start = start;
    m_end = end;
    clear();
    addItems(choices);
    setCurrentRow(0);
    // Under the caret, within the window and as wide as the longest name.
    const QWidget* area = parentWidget();
    const QRect caret = m_box->cursorRect();
    QPoint at = m_box->viewport()->mapTo(area, caret.bottomLeft() + QPoint(0, 2));
    const int rows = std::min<int>(kVisibleRows, int(choices.size()));
    const int height = rows * sizeHintForRow(0) + 2 * frameWidth();
    int width = sizeHintForColumn(0) + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    width = std::min(std::max(width, 120), area->width());
    at.setX(std::clamp(at.x(), 0, std::max(0, area->width() - width)));
    if (at.y() + height > area->height())
        at.setY(std::max(0, m_box->viewport()->mapTo(area, caret.topLeft()).y() - height));
    setGeometry(QRect(at, QSize(width, height)));
    show();
    raise();
}

void CompletionList::accept(const QString& choice) {
    hide();
    QTextCursor cursor(m_box->document());
    const qsizetype length = m_box->document()->characterCount() - 1;
    cursor.setPosition(int(std::min(m_start, length)));
    cursor.setPosition(int(std::min(m_end, length)), QTextCursor::KeepAnchor);
    cursor.insertText(choice);
    m_box->setTextCursor(cursor);
}

bool CompletionList::handleKey(const QKeyEvent* event) {
    if (!isVisible() || (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)))
        return false;
    const int row = currentRow(), last = count() - 1;
    switch (event->key()) {
    case Qt::Key_Down:
        setCurrentRow(row < last ? row + 1 : 0);
        return true;
    case Qt::Key_Up:
        setCurrentRow(row > 0 ? row - 1 : last);
        return true;
    case Qt::Key_PageDown:
        setCurrentRow(std::min(row + kVisibleRows, last));
        return true;
    case Qt::Key_PageUp:
        setCurrentRow(std::max(row - kVisibleRows, 0));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        if (currentItem()) accept(currentItem()->text());
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return false;
    }
}
