#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace db {

// The parts of a text that colouring sets apart, as databases of one family read it.
enum class SqlFamily { Postgres, MySql, Bracketed, SqlServer, Oracle };
enum class SqlPart { Keyword, Text, Name, Number, Comment };
struct SqlSpan {
    SqlPart part;
    qsizetype start;
    qsizetype length;
};
// In the order they stand; what is not named (other words, punctuation, blanks) is left out.
std::vector<SqlSpan> sqlParts(QStringView sql, SqlFamily family);
// A word or a quoted name of a text, as databases of one family read it.
struct SqlName {
    qsizetype start = 0;
    qsizetype length = 0;
    QString name;         // without its quotes, a doubled closing quote read as one
    bool quoted = false;  // in quotes or brackets
    bool closed = true;   // its closing quote is there
    bool keyword = false; // a word SQL itself uses, no name
};
// In the order they stand; names inside quoted texts and comments are none.
std::vector<SqlName> sqlNames(QStringView sql, SqlFamily family);

// The first word of a text, past blanks and comments, as one family reads them; empty when
// the text starts with anything else.
QStringView leadingWord(QStringView sql, SqlFamily family);

} // namespace db
