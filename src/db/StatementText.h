#pragma once

#include <QStringView>

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

} // namespace db
