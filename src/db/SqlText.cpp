#include "SqlText.h"

namespace db {

namespace {
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c == QLatin1Char('#');
}

// Skips a quoted run starting at i (on the opening character); returns the index after it.
qsizetype skipQuoted(const QString& s, qsizetype i) {
    const QChar open = s[i];
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    for (++i; i < s.size(); ++i) {
        if (s[i] == close) {
            if (close != QLatin1Char(']') && i + 1 < s.size() && s[i + 1] == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return i;
}

bool isQuote(QChar c) {
    return c == QLatin1Char('[') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
           c == QLatin1Char('\'');
}
} // namespace

QString tableOfSelect(const QString& sql) {
    int depth = 0;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (isQuote(c)) {
            i = skipQuoted(sql, i);
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('(')) ++depth;
        if (c == QLatin1Char(')')) --depth;
        if (isWordChar(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(sql[j]))
                ++j;
            if (depth == 0 && j - i == 4 &&
                QStringView(sql).mid(i, 4).compare(QLatin1String("from"), Qt::CaseInsensitive) ==
                    0) {
                qsizetype k = j;
                while (k < n && sql[k].isSpace())
                    ++k;
                const qsizetype start = k;
                // A dotted name whose parts may each be quoted.
                while (k < n) {
                    if (isQuote(sql[k]) && sql[k] != QLatin1Char('\''))
                        k = skipQuoted(sql, k);
                    else if (isWordChar(sql[k]))
                        while (k < n && isWordChar(sql[k]))
                            ++k;
                    else
                        break;
                    if (k < n && sql[k] == QLatin1Char('.'))
                        ++k;
                    else
                        break;
                }
                return sql.mid(start, k - start);
            }
            i = j;
            continue;
        }
        ++i;
    }
    return QString();
}

QString unquoteIdentifier(const QString& name) {
    QString s = name.trimmed();
    // Keep only the last part of a dotted name.
    qsizetype lastDot = -1;
    for (qsizetype i = 0; i < s.size();) {
        if (isQuote(s[i])) {
            i = skipQuoted(s, i);
            continue;
        }
        if (s[i] == QLatin1Char('.')) lastDot = i;
        ++i;
    }
    if (lastDot >= 0) s = s.mid(lastDot + 1);
    if (s.size() >= 2) {
        const QChar f = s.front(), b = s.back();
        if (f == QLatin1Char('[') && b == QLatin1Char(']')) return s.mid(1, s.size() - 2);
        if ((f == QLatin1Char('"') || f == QLatin1Char('`')) && b == f) {
            QString inner = s.mid(1, s.size() - 2);
            inner.replace(QString(2, f), QString(f));
            return inner;
        }
    }
    return s;
}

QString quoteIdentifier(const QString& name, const QString& quote) {
    if (quote.isEmpty() || quote == QLatin1String(" ")) return name;
    QString inner = name;
    inner.replace(quote, quote + quote);
    return quote + inner + quote;
}

std::optional<std::vector<NamePart>> splitTableName(QStringView text) {
    // Blanks, tabs and line breaks around the name are SQL's own white space.
    const auto white = [](QChar c) { return c.unicode() < 0x80 && c.isSpace(); };
    while (!text.isEmpty() && white(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && white(text.back()))
        text.chop(1);
    std::vector<NamePart> parts;
    qsizetype i = 0;
    const qsizetype n = text.size();
    for (;;) {
        if (i >= n) return std::nullopt;
        NamePart part;
        const QChar c = text[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text[i] != close) {
                    part.name += text[i];
                } else if (close != QLatin1Char(']') && i + 1 < n && text[i + 1] == close) {
                    part.name += close;
                    ++i;
                } else {
                    closed = true;
                    ++i;
                    break;
                }
            }
            if (!closed || part.name.isEmpty()) return std::nullopt;
            part.quoted = true;
        } else {
            const qsizetype start = i;
            while (i < n && isWordChar(text[i]))
                ++i;
            if (i == start) return std::nullopt;
            part.name = text.mid(start, i - start).toString();
        }
        parts.push_back(std::move(part));
        if (i == n) return parts;
        if (text[i] != QLatin1Char('.')) return std::nullopt;
        ++i;
    }
}

} // namespace db
