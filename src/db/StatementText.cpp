#include "StatementText.h"

#include "SqlScanner.h"

#include <QString>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

using scan::Dialect;
using scan::kDialects;
using scan::Scanner;
using scan::Token;

namespace {
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
