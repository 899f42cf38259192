#include "SqlParts.h"

#include "SqlScanner.h"

#include <QString>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

namespace db {

using scan::Dialect;
using scan::Scanner;
using scan::Token;

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
    return family == SqlFamily::MySql       ? scan::mysql()
           : family == SqlFamily::Bracketed ? scan::bracketed()
           : family == SqlFamily::SqlServer ? scan::sqlServer()
           : family == SqlFamily::Oracle    ? scan::oracle()
                                            : scan::postgres();
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

QStringView leadingWord(QStringView sql, SqlFamily family) {
    const Token t = Scanner(sql, dialectOf(family)).next();
    return t.kind == Token::Word ? t.text : QStringView();
}

} // namespace db
