#include "StatementText.h"

#include <QString>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

namespace {

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

Dialect postgres() {
    Dialect d;
    d.nestedComments = d.dollarQuotes = d.escapeStrings = d.crEndsComment = true;
    return d;
}
Dialect mysql() {
    Dialect d;
    d.backslashEscapes = d.hashComments = d.dashNeedsBlank = d.runsComments = true;
    d.doubleQuotedTexts = true;
    return d;
}
Dialect bracketed() {
    Dialect d;
    d.brackets = true;
    return d;
}
Dialect sqlServer() {
    Dialect d;
    d.brackets = d.nestedComments = d.crEndsComment = true;
    return d;
}
Dialect oracle() {
    Dialect d;
    d.qQuotes = true;
    return d;
}

const Dialect kDialects[] = {postgres(), mysql(), bracketed(), sqlServer(), oracle()};

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

bool is(QStringView word, const char16_t* keyword) {
    return word.compare(QStringView(keyword), Qt::CaseInsensitive) == 0;
}

// Words that change data or start a statement that may: SQL Server needs no ";" before them.
const char16_t* const kChanging[] = {
    u"insert",     u"delete",     u"merge",     u"into",    u"drop",  u"truncate", u"create",
    u"alter",      u"exec",       u"execute",   u"call",    u"grant", u"revoke",   u"deny",
    u"rename",     u"dbcc",       u"backup",    u"restore", u"kill",  u"shutdown", u"reconfigure",
    u"checkpoint", u"updatetext", u"writetext", u"bulk",    u"begin", u"commit",   u"rollback",
    u"save",       u"enable",     u"disable",
};

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
    // The words before this one, nearest first.
    QStringView before[3];
    for (; t.kind != Token::End; t = scan.next()) {
        // USE starts a statement unless it is MySQL's index hint.
        if (is(before[0], u"use") &&
            !(t.kind == Token::Word && (is(t.text, u"index") || is(t.text, u"key"))))
            return false;
        if (t.kind != Token::Word) {
            before[0] = before[1] = before[2] = {};
            continue;
        }
        const QStringView w = t.text;
        if (std::any_of(std::begin(kChanging), std::end(kChanging),
                        [&](const char16_t* k) { return is(w, k); }))
            return false;
        // FOR UPDATE and FOR NO KEY UPDATE lock the rows they read.
        if (is(w, u"update") && !is(before[0], u"for") &&
            !(is(before[0], u"key") && is(before[1], u"no") && is(before[2], u"for")))
            return false;
        before[2] = before[1];
        before[1] = before[0];
        before[0] = w;
    }
    return !is(before[0], u"use");
}

// Where one statement ends and the next begins: a top-level ";", and blanks holding an empty
// line; each as the range it takes.
std::vector<std::pair<qsizetype, qsizetype>> breaksIn(QStringView sql, const Dialect& d) {
    std::vector<std::pair<qsizetype, qsizetype>> out;
    Scanner scan(sql, d, true);
    for (Token t = scan.next(); t.kind != Token::End; t = scan.next()) {
        if (t.kind == Token::Semicolon) out.push_back({t.pos, t.pos + 1});
        if (t.kind != Token::Blanks) continue;
        // Two line ends with nothing but blanks between them.
        const qsizetype first = t.text.indexOf(u'\n');
        if (first >= 0 && t.text.indexOf(u'\n', first + 1) >= 0)
            out.push_back({t.pos, t.pos + t.text.size()});
    }
    return out;
}

} // namespace

StatementSpan statementAt(QStringView sql, qsizetype caret) {
    // Only where every database's reading agrees: a ";" inside what one of them reads as a
    // quote ends nothing.
    std::vector<std::pair<qsizetype, qsizetype>> breaks = breaksIn(sql, kDialects[0]);
    for (const Dialect& d : kDialects) {
        const auto here = breaksIn(sql, d);
        std::vector<std::pair<qsizetype, qsizetype>> both;
        std::set_intersection(breaks.begin(), breaks.end(), here.begin(), here.end(),
                              std::back_inserter(both));
        breaks = std::move(both);
    }
    // The statements between the breaks, without the blanks around them.
    std::vector<StatementSpan> spans;
    qsizetype from = 0;
    breaks.push_back({sql.size(), sql.size()});
    for (const auto& b : breaks) {
        StatementSpan s{from, b.first};
        while (s.start < s.end && sql[s.start].isSpace())
            ++s.start;
        while (s.end > s.start && sql[s.end - 1].isSpace())
            --s.end;
        // A comment alone is no statement to run.
        if (Scanner(sql.mid(s.start, s.end - s.start), kDialects[0]).next().kind != Token::End)
            spans.push_back(s);
        from = b.second;
    }
    if (spans.empty()) return {caret, caret};
    // The one the caret is in or right after; else the nearest before it; else the first.
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        if (it->start <= caret) return *it;
    return spans.front();
}

namespace {
// The words coloured as keywords: those of SQL itself that every family shares, in order.
const char16_t* const kKeywords[] = {u"add",          u"all",
                                     u"alter",        u"and",
                                     u"any",          u"as",
                                     u"asc",          u"begin",
                                     u"between",      u"by",
                                     u"call",         u"case",
                                     u"cast",         u"check",
                                     u"column",       u"commit",
                                     u"constraint",   u"create",
                                     u"cross",        u"current_date",
                                     u"current_time", u"current_timestamp",
                                     u"database",     u"declare",
                                     u"default",      u"delete",
                                     u"desc",         u"distinct",
                                     u"drop",         u"else",
                                     u"end",          u"escape",
                                     u"except",       u"exec",
                                     u"execute",      u"exists",
                                     u"false",        u"fetch",
                                     u"for",          u"foreign",
                                     u"from",         u"full",
                                     u"grant",        u"group",
                                     u"having",       u"if",
                                     u"in",           u"index",
                                     u"inner",        u"insert",
                                     u"intersect",    u"into",
                                     u"is",           u"join",
                                     u"key",          u"left",
                                     u"like",         u"limit",
                                     u"merge",        u"natural",
                                     u"not",          u"null",
                                     u"offset",       u"on",
                                     u"or",           u"order",
                                     u"outer",        u"over",
                                     u"partition",    u"primary",
                                     u"procedure",    u"references",
                                     u"replace",      u"returning",
                                     u"revoke",       u"right",
                                     u"rollback",     u"row",
                                     u"rows",         u"schema",
                                     u"select",       u"set",
                                     u"table",        u"then",
                                     u"to",           u"top",
                                     u"transaction",  u"trigger",
                                     u"true",         u"truncate",
                                     u"union",        u"unique",
                                     u"update",       u"use",
                                     u"using",        u"values",
                                     u"view",         u"when",
                                     u"where",        u"while",
                                     u"with"};
bool isKeyword(QStringView word) {
    // Compared in lower case, ASCII only: no keyword holds another letter.
    constexpr qsizetype kLongest = 17;
    if (word.size() < 2 || word.size() > kLongest) return false;
    char16_t lower[kLongest];
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        if (c > 0x7f) return false;
        lower[i] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    }
    static const std::vector<std::u16string_view> keywords(std::begin(kKeywords),
                                                           std::end(kKeywords));
    const std::u16string_view w(lower, size_t(word.size()));
    return std::binary_search(keywords.begin(), keywords.end(), w);
}

Dialect dialectOf(SqlFamily family) {
    return family == SqlFamily::MySql       ? mysql()
           : family == SqlFamily::Bracketed ? bracketed()
           : family == SqlFamily::SqlServer ? sqlServer()
           : family == SqlFamily::Oracle    ? oracle()
                                            : postgres();
}

// The name a quoted name stands for.
SqlName unquoted(QStringView quotedName, qsizetype start) {
    SqlName n{start, quotedName.size(), {}, true, false, false};
    const QChar close = quotedName.front() == u'[' ? u']' : quotedName.front();
    for (qsizetype i = 1; i < quotedName.size(); ++i) {
        if (quotedName[i] != close) {
            n.name += quotedName[i];
        } else if (i + 1 < quotedName.size() && quotedName[i + 1] == close) {
            n.name += close;
            ++i;
        } else {
            n.closed = true;
            break;
        }
    }
    return n;
}
} // namespace

std::vector<SqlName> sqlNames(QStringView sql, SqlFamily family) {
    std::vector<SqlSpan> parts;
    std::vector<SqlName> names;
    Scanner scan(sql, dialectOf(family));
    scan.noteParts(&parts);
    for (Token t = scan.next(); t.kind != Token::End; t = scan.next())
        if (t.kind == Token::Word && t.text.front() != u'@')
            names.push_back(
                {t.pos, t.text.size(), t.text.toString(), false, true, isKeyword(t.text)});
    for (const SqlSpan& p : parts)
        if (p.part == SqlPart::Name) names.push_back(unquoted(sql.mid(p.start, p.length), p.start));
    std::sort(names.begin(), names.end(),
              [](const SqlName& a, const SqlName& b) { return a.start < b.start; });
    return names;
}

std::vector<SqlSpan> sqlParts(QStringView sql, SqlFamily family) {
    const Dialect d = dialectOf(family);
    std::vector<SqlSpan> parts;
    parts.reserve(size_t(sql.size() / 8));
    Scanner scan(sql, d);
    scan.noteParts(&parts);
    for (Token t = scan.next(); t.kind != Token::End; t = scan.next())
        if (t.kind == Token::Word && isKeyword(t.text))
            parts.push_back({SqlPart::Keyword, t.pos, t.text.size()});
    return parts;
}

SqlFamily sqlFamilyOf(QStringView dbms) {
    const auto has = [&](const char16_t* name) { return dbms.contains(name, Qt::CaseInsensitive); };
    if (has(u"MariaDB") || has(u"MySQL")) return SqlFamily::MySql;
    if (has(u"SQL Server")) return SqlFamily::SqlServer;
    if (has(u"Oracle")) return SqlFamily::Oracle;
    if (has(u"SQLite") || has(u"ACCESS") || has(u"Jet")) return SqlFamily::Bracketed;
    return SqlFamily::Postgres;
}

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
