// Completion in the query box: the names of the table list and the columns of the tables the
// text names, the columns read on a worker so that typing never waits for the catalog.
#include "CompletionList.h"
#include "SqlHighlighter.h"
#include "db/ColumnCatalog.h"
#include "frmKorvel.h"
#include "query/SqlCompletion.h"

#include <QPlainTextEdit>

void frmKorvel::buildCompletion() {
    m_completion = new CompletionList(txtQuery, m_client);
    m_columns = std::make_unique<db::ColumnCatalog>(connection());
    // The list follows the word as it is typed, and goes once the caret leaves it.
    const auto follow = [this] {
        if (m_completion->isVisible()) offerCompletion(false, true);
    };
    connect(txtQuery, &QPlainTextEdit::textChanged, this, follow);
    connect(txtQuery, &QPlainTextEdit::cursorPositionChanged, this, follow);
}

void frmKorvel::setListedTables(const QStringList& items,
                                const std::vector<db::TableEntry>& entries) {
    m_listedTables.clear();
    for (size_t i = 0; i < entries.size() && i < size_t(items.size()); ++i)
        m_listedTables.push_back({entries[i], items[qsizetype(i)]});
    // Columns are read anew with the table list.
    m_columns = std::make_unique<db::ColumnCatalog>(connection());
}

void frmKorvel::CompleteAtCaret() {
    if (operationRunning() || composingQuery()) return;
    if (!txtQuery->hasFocus()) txtQuery->setFocus(Qt::ShortcutFocusReason);
    offerCompletion(true, true);
}

void frmKorvel::offerCompletion(bool asked, bool readColumns) {
    if (operationRunning()) {
        m_completion->hide();
        return;
    }
    // The text is read as the query box's colours read it.
    const int caret = txtQuery->textCursor().position();
    const Completion offer = completeAt(txtQuery->toPlainText(), caret, m_highlighter->family(),
                                        m_listedTables, *m_columns, m_state.connection);
    if (readColumns && !offer.unread.empty() &&
        m_columns->read(offer.unread, [this] { columnsArrived(); })) {
        // Offered again when they come, unless the user has moved on by then.
        m_completionWait = {txtQuery->document()->revision(), caret};
    }
    if (offer.choices.isEmpty()) {
        m_completion->hide();
        return;
    }
    if (asked && offer.choices.size() == 1 && offer.unread.empty()) {
        m_completion->offer(offer.start, offer.end, offer.choices);
        m_completion->accept(offer.choices.front());
        return;
    }
    m_completion->offer(offer.start, offer.end, offer.choices);
}

void frmKorvel::columnsArrived() {
    const std::pair<int, int> now{txtQuery->document()->revision(),
                                  txtQuery->textCursor().position()};
    const bool waited = m_completionWait == now;
    m_completionWait = {-1, -1};
    if (m_completion->isVisible() || (waited && txtQuery->hasFocus()))
        offerCompletion(false, false);
}
