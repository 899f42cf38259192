#pragma once

// The statement scanner that the statement checks, colouring and completion share: how each
// family of databases reads quotes and comments, and the words and punctuation of a text
// outside them. For the layer's own files only.
#include "SqlParts.h"

#include <QStringView>
#include <vector>

namespace db::scan {

// How one database family reads quotes and comments.
struct Dialect {
    bool nestedComments = false;    // PostgreSQL, SQL Server
    bool dollarQuotes = false;      // PostgreSQL: $tag$ ... $tag$
    bool escapeStrings = false;     // PostgreSQL: E'...\'...'
    bool backslashEscapes = false;  // MySQL: in every quoted text
    bool hashComments = false;      // MySQL: # to the end of the line
    bool dashNeedsBlank = false;    // MySQL: "--" starts a comment only before an ASCII blank
    bool crEndsComment = false;     // PostgreSQL: a lone CR ends a "--" comment as LF does
    bool runsComments = false;      // MySQL: the text of /*! ... */ runs
    bool brackets = false;          // SQLite, SQL Server, Access: [name]
    bool qQuotes = false;           // Oracle: q'[...]'
    bool doubleQuotedTexts = false; // MySQL: "..." is a text, not a name
};

inline Dialect postgres() {
    Dialect d;
    d.nestedComments = d.dollarQuotes = d.escapeStrings = d.crEndsComment = true;
    return d;
}
inline Dialect mysql() {
    Dialect d;
    d.backslashEscapes = d.hashComments = d.dashNeedsBlank = d.runsComments = true;
    d.doubleQuotedTexts = true;
    return d;
}
inline Dialect bracketed() {
    Dialect d;
    d.brackets = true;
    return d;
}
inline Dialect sqlServer() {
    Dialect d;
    d.brackets = d.nestedComments = d.crEndsComment = true;
    return d;
}
inline Dialect oracle() {
    Dialect d;
    d.qQuotes = true;
    return d;
}

inline const Dialect kDialects[] = {postgres(), mysql(), bracketed(), sqlServer(), oracle()};

struct Token {
    enum Kind { Word, Semicolon, OpenParen, Other, Blanks, End } kind = End;
    QStringView text;
    qsizetype pos = 0; // where it starts
};

// Hands out the words and punctuation of a text, passing over quoted texts, quoted names and
// comments. What is left open at the end (an unclosed quote) runs to the end of the text.
class Scanner {
public:
    // blanks: runs of blanks between tokens are handed out too.
    Scanner(QStringView sql, const Dialect& dialect, bool blanks = false)
        : m_s(sql), m_d(dialect), m_blanks(blanks) {}

    // Also notes the comments, quotes and numbers passed over, for colouring.
    void noteParts(std::vector<SqlSpan>* parts) { m_parts = parts; }

    Token next() {
        for (;;) {
            if (m_i >= m_s.size()) return {};
            const QChar c = m_s[m_i];
            const qsizetype start = m_i;
            if (c.isSpace()) {
                ++m_i;
                if (!m_blanks) continue;
                while (m_i < m_s.size() && m_s[m_i].isSpace())
                    ++m_i;
                return {Token::Blanks, m_s.mid(start, m_i - start), start};
            } else if (startsComment()) {
                skipComment();
                note(SqlPart::Comment, start);
            } else if (c == u'\'' || c == u'"' || c == u'`' || (c == u'[' && m_d.brackets)) {
                skipQuoted();
                note(c == u'\'' || (c == u'"' && m_d.doubleQuotedTexts) ? SqlPart::Text
                                                                        : SqlPart::Name,
                     start);
            } else if (c == u'$' && m_d.dollarQuotes && dollarQuote()) {
                note(SqlPart::Text, start);
            } else if (c == u'*' && m_d.runsComments && at(1) == u'/') {
                m_i += 2; // the end of a /*! ... */ whose text ran
            } else if (isWordStart(c)) {
                // "@" starts a word (@n, @@version) without being part of one.
                ++m_i;
                while (m_i < m_s.size() && isWordChar(m_s[m_i]))
                    ++m_i;
                if (startsPrefixedQuote(start)) {
                    note(SqlPart::Text, start);
                    continue;
                }
                return {Token::Word, m_s.mid(start, m_i - start), start};
            } else if (c.isDigit()) {
                skipNumber();
                note(SqlPart::Number, start);
                return {Token::Other, {}, start};
            } else {
                ++m_i;
                if (c == u';') return {Token::Semicolon, {}, m_i - 1};
                if (c == u'(') return {Token::OpenParen, {}, m_i - 1};
                return {Token::Other, {}, m_i - 1};
            }
        }
    }

private:
    void note(SqlPart part, qsizetype start) {
        if (m_parts && m_i > start) m_parts->push_back({part, start, m_i - start});
    }
    QChar at(qsizetype offset) const {
        const qsizetype j = m_i + offset;
        return j < m_s.size() ? m_s[j] : QChar();
    }
    bool isWordStart(QChar c) const { return c.isLetter() || c == u'_' || c == u'@'; }
    bool isWordChar(QChar c) const {
        return c.isLetterOrNumber() || c == u'_' || c == u'$' || (c == u'#' && !m_d.hashComments);
    }

    bool startsComment() const {
        const QChar c = m_s[m_i];
        if (c == u'#' && m_d.hashComments) return true;
        if (c == u'-' && at(1) == u'-') {
            if (!m_d.dashNeedsBlank) return true;
            // Only ASCII blanks and control characters count; U+3000 does not.
            const QChar after = at(2);
            return after.isNull() || after.unicode() <= 0x20 || after.unicode() == 0x7f;
        }
        return c == u'/' && at(1) == u'*';
    }

    void skipComment() {
        if (m_s[m_i] != u'/') {
            while (m_i < m_s.size() && m_s[m_i] != u'\n' &&
                   !(m_d.crEndsComment && m_s[m_i] == u'\r'))
                ++m_i;
            return;
        }
        if (m_d.runsComments && (at(2) == u'!' || (at(2) == u'M' && at(3) == u'!'))) {
            // Its text runs: read it as statements.
            m_i += at(2) == u'!' ? 3 : 4;
            while (m_i < m_s.size() && m_s[m_i].isDigit())
                ++m_i;
            return;
        }
        int depth = 0;
        while (m_i < m_s.size()) {
            if (m_s[m_i] == u'/' && at(1) == u'*') {
                if (depth == 0 || m_d.nestedComments) ++depth;
                m_i += 2;
            } else if (m_s[m_i] == u'*' && at(1) == u'/') {
                m_i += 2;
                if (--depth == 0) return;
            } else {
                ++m_i;
            }
        }
    }

    // A number ends where its digits end: SQL Server reads "1DELETE" as 1 and a statement.
    void skipNumber() {
        // A digit of another script (a full-width one) starts no number: read past it alone.
        if (m_s[m_i] < u'0' || m_s[m_i] > u'9') {
            ++m_i;
            return;
        }
        const auto digits = [&](auto accept) {
            while (m_i < m_s.size() && accept(m_s[m_i]))
                ++m_i;
        };
        const auto decimal = [](QChar c) { return c >= u'0' && c <= u'9'; };
        if (m_s[m_i] == u'0' && (at(1) == u'x' || at(1) == u'X')) {
            m_i += 2;
            digits([](QChar c) {
                return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') ||
                       (c >= u'A' && c <= u'F');
            });
            return;
        }
        digits(decimal);
        if (m_i < m_s.size() && m_s[m_i] == u'.') {
            ++m_i;
            digits(decimal);
        }
        if ((at(0) == u'e' || at(0) == u'E') &&
            (decimal(at(1)) || ((at(1) == u'+' || at(1) == u'-') && decimal(at(2))))) {
            m_i += 2;
            digits(decimal);
        }
    }

    // From an opening quote to after its closing one; doubled closing quotes stay inside.
    void skipQuoted(bool backslashes = false) {
        const QChar open = m_s[m_i];
        const QChar close = open == u'[' ? u']' : open;
        const bool escapes = backslashes || (m_d.backslashEscapes && open != u'`');
        for (++m_i; m_i < m_s.size(); ++m_i) {
            const QChar c = m_s[m_i];
            if (escapes && c == u'\\') {
                ++m_i;
            } else if (c == close) {
                if (at(1) == close) {
                    ++m_i;
                    continue;
                }
                ++m_i;
                return;
            }
        }
    }

    // E'...' in PostgreSQL, q'[...]' in Oracle: the word just read is the prefix of a quote.
    bool startsPrefixedQuote(qsizetype wordStart) {
        const QStringView word = m_s.mid(wordStart, m_i - wordStart);
        if (m_i >= m_s.size() || m_s[m_i] != u'\'') return false;
        if (m_d.escapeStrings && word.compare(u"e", Qt::CaseInsensitive) == 0) {
            skipQuoted(true);
            return true;
        }
        if (m_d.qQuotes && (word.compare(u"q", Qt::CaseInsensitive) == 0 ||
                            word.compare(u"nq", Qt::CaseInsensitive) == 0)) {
            const QChar open = at(1);
            if (open.isNull()) return false;
            const QChar close = open == u'['   ? u']'
                                : open == u'{' ? u'}'
                                : open == u'(' ? u')'
                                : open == u'<' ? u'>'
                                               : open;
            for (m_i += 2; m_i < m_s.size(); ++m_i)
                if (m_s[m_i] == close && at(1) == u'\'') {
                    m_i += 2;
                    return true;
                }
            return true;
        }
        return false;
    }

    // $tag$ ... $tag$; a "$" that opens none ($1, a$b) is read as it is.
    bool dollarQuote() {
        if (m_i > 0 && isWordChar(m_s[m_i - 1])) return false;
        qsizetype j = m_i + 1;
        if (j < m_s.size() && (m_s[j].isLetter() || m_s[j] == u'_'))
            while (j < m_s.size() && (m_s[j].isLetterOrNumber() || m_s[j] == u'_'))
                ++j;
        if (j >= m_s.size() || m_s[j] != u'$') return false;
        const QStringView tag = m_s.mid(m_i, j - m_i + 1);
        const qsizetype end = m_s.indexOf(tag, j + 1);
        m_i = end < 0 ? m_s.size() : end + tag.size();
        return true;
    }

    QStringView m_s;
    Dialect m_d;
    bool m_blanks;
    std::vector<SqlSpan>* m_parts = nullptr;
    qsizetype m_i = 0;
};

} // namespace db::scan
