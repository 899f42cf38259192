#include "StatementText.h"

#include <QString>

namespace db {

namespace {

// How one database family reads quotes and comments.
struct Dialect {
    bool nestedComments = false;   // PostgreSQL, SQL Server
    bool dollarQuotes = false;     // PostgreSQL: $tag$ ... $tag$
    bool escapeStrings = false;    // PostgreSQL: E'...\'...'
    bool backslashEscapes = false; // MySQL: in every quoted text
    bool hashComments = false;     // MySQL: # to the end of the line
    bool dashNeedsBlank = false;   // MySQL: "--" starts a comment only before a blank
    bool runsComments = false;     // MySQL: the text of /*! ... */ runs
    bool brackets = false;         // SQLite, SQL Server, Access: [name]
    bool qQuotes = false;          // Oracle: q'[...]'
};

Dialect postgres() {
    Dialect d;
    d.nestedComments = d.dollarQuotes = d.escapeStrings = true;
    return d;
}
Dialect mysql() {
    Dialect d;
    d.backslashEscapes = d.hashComments = d.dashNeedsBlank = d.runsComments = true;
    return d;
}
Dialect bracketed() {
    Dialect d;
    d.brackets = true;
    return d;
}
Dialect sqlServer() {
    Dialect d;
    d.brackets = d.nestedComments = true;
    return d;
}
Dialect oracle() {
    Dialect d;
    d.qQuotes = true;
    return d;
}

const Dialect kDialects[] = {postgres(), mysql(), bracketed(), sqlServer(), oracle()};

struct Token {
    enum Kind { Word, Semicolon, OpenParen, Other, End } kind = End;
    QStringView text;
};

// Hands out the words and punctuation of a text, passing over quoted texts, quoted names and
// comments. What is left open at the end (an unclosed quote) runs to the end of the text.
class Scanner {
public:
    Scanner(QStringView sql, const Dialect& dialect) : m_s(sql), m_d(dialect) {}

    Token next() {
        for (;;) {
            if (m_i >= m_s.size()) return {};
            const QChar c = m_s[m_i];
            if (c.isSpace()) {
                ++m_i;
            } else if (startsComment()) {
                skipComment();
            } else if (c == u'\'' || c == u'"' || c == u'`' || (c == u'[' && m_d.brackets)) {
                skipQuoted();
            } else if (c == u'$' && m_d.dollarQuotes && dollarQuote()) {
            } else if (c == u'*' && m_d.runsComments && at(1) == u'/') {
                m_i += 2; // the end of a /*! ... */ whose text ran
            } else if (isWordStart(c)) {
                // "@" starts a word (@n, @@version) without being part of one.
                const qsizetype start = m_i++;
                while (m_i < m_s.size() && isWordChar(m_s[m_i]))
                    ++m_i;
                if (startsPrefixedQuote(start)) continue;
                return {Token::Word, m_s.mid(start, m_i - start)};
            } else if (c.isDigit()) {
                while (m_i < m_s.size() && isWordChar(m_s[m_i]))
                    ++m_i;
                return {Token::Other, {}};
            } else {
                ++m_i;
                if (c == u';') return {Token::Semicolon, {}};
                if (c == u'(') return {Token::OpenParen, {}};
                return {Token::Other, {}};
            }
        }
    }

private:
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
            const QChar after = at(2);
            return after.isNull() || after.isSpace() || after.unicode() < 0x20;
        }
        return c == u'/' && at(1) == u'*';
    }

    void skipComment() {
        if (m_s[m_i] != u'/') {
            while (m_i < m_s.size() && m_s[m_i] != u'\n')
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
    qsizetype m_i = 0;
};

bool is(QStringView word, const char16_t* keyword) {
    return word.compare(QStringView(keyword), Qt::CaseInsensitive) == 0;
}

// Nothing but ";" follows the first ";".
bool singleIn(QStringView sql, const Dialect& d) {
    Scanner scan(sql, d);
    bool ended = false;
    for (Token t = scan.next(); t.kind != Token::End; t = scan.next()) {
        if (t.kind == Token::Semicolon)
            ended = true;
        else if (ended)
            return false;
    }
    return true;
}

bool readsOnlyIn(QStringView sql, const Dialect& d) {
    if (!singleIn(sql, d)) return false;
    Scanner scan(sql, d);
    Token t = scan.next();
    while (t.kind == Token::OpenParen)
        t = scan.next();
    if (t.kind != Token::Word || !(is(t.text, u"select") || is(t.text, u"with"))) return false;
    QStringView previous;
    for (; t.kind != Token::End; t = scan.next()) {
        if (t.kind != Token::Word) {
            previous = {};
            continue;
        }
        const QStringView w = t.text;
        if (is(w, u"insert") || is(w, u"delete") || is(w, u"merge") || is(w, u"into")) return false;
        // FOR UPDATE and FOR NO KEY UPDATE lock the rows they read.
        if (is(w, u"update") && !is(previous, u"for") && !is(previous, u"key")) return false;
        previous = w;
    }
    return true;
}

} // namespace

bool isSingleStatement(QStringView sql) {
    for (const Dialect& d : kDialects)
        if (!singleIn(sql, d)) return false;
    return true;
}

bool readsOnly(QStringView sql) {
    for (const Dialect& d : kDialects)
        if (!readsOnlyIn(sql, d)) return false;
    return true;
}

} // namespace db
