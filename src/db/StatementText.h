#pragma once

#include <QStringView>
#include <vector>

namespace db {

// What a statement text will do when it runs, read as every database the layer reaches would
// read it: quotes, comments and literals differ between them (backslash escapes, nested
// comments, dollar quotes, brackets), so an answer holds only when each reading agrees.

// True when the text holds one statement: after its first top-level ";" come only blanks,
// comments and more ";".
bool isSingleStatement(QStringView sql);

// True when the text can be run again without changing anything: one SELECT or WITH (maybe in
// parentheses) without INSERT, UPDATE, DELETE, MERGE or INTO ("FOR UPDATE" only locks).
// Calls of functions that change data cannot be told from the text and count as reads.
bool readsOnly(QStringView sql);

// A statement of a text, from start up to end, without the blanks around it.
struct StatementSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    bool operator==(const StatementSpan&) const = default;
};
// The statement the caret stands in: statements part at a top-level ";" and at an empty line
// outside quotes and comments. A caret between statements takes the one before it. Empty
// (start == end) when the text holds none.
StatementSpan statementAt(QStringView sql, qsizetype caret);

} // namespace db
