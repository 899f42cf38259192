#include "ResultGrid.h"
#include "db/StatementText.h"
#include "frmKorvel.h"
#include "query/modExecuteQuery.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>

namespace {
// How long the statement run at the caret stays selected.
constexpr int kShowRunMs = 800;
} // namespace

bool frmKorvel::composingQuery() const {
    // The layout holds what is being composed; the document does not.
    const QTextLayout* layout = txtQuery->textCursor().block().layout();
    return layout && !layout->preeditAreaText().isEmpty();
}

void frmKorvel::ExecuteQueryBox() {
    executeQueryBox(nullptr);
}

void frmKorvel::executeQueryBox(std::function<void()> after) {
    // A half-composed word would run without its end: the input method has the keys until it
    // commits.
    if (composingQuery()) return;
    // A line break typed in the box is CR LF to the executor, as on the desktop it was
    // designed for.
    const QString text = txtQuery->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QString selected = txtQuery->textCursor().selectedText().replace(
        QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    ::ExecuteQueryBox(
        m_state, *this, text, selected,
        [this](const QString& statement) { AddToHistory(statement); },
        [this, after = std::move(after)](bool ran) {
            if (ran) DataGrid1->lastHeadColumn.clear();
            if (after) after();
        });
}

void frmKorvel::ExecuteStatementAtCaret() {
    if (composingQuery()) return;
    const int caret = txtQuery->textCursor().position();
    const db::StatementSpan span = db::statementAt(txtQuery->toPlainText(), caret);
    if (span.start == span.end) return;
    // Selected while it runs, so that the user sees what ran; the caret comes back after.
    QTextCursor ran(txtQuery->document());
    ran.setPosition(int(span.start));
    ran.setPosition(int(span.end), QTextCursor::KeepAnchor);
    txtQuery->setTextCursor(ran);
    executeQueryBox([this, ran, caret] {
        QTimer::singleShot(kShowRunMs, txtQuery, [this, ran, caret] {
            if (txtQuery->textCursor() != ran) return; // the user moved on
            // A text replaced meanwhile may no longer reach that far.
            if (caret >= txtQuery->document()->characterCount()) return;
            QTextCursor back = ran;
            back.setPosition(caret);
            txtQuery->setTextCursor(back);
        });
    });
}
