#include "SqlCompletion.h"
#include "db/IdentifierQuoting.h"

#include "TableListRetrieval.h"
#include "db/ColumnCatalog.h"

#include <QSet>

namespace {
using db::SqlName;

// A quoted name is the name exactly; a plain word is read without regard to case.
bool sameName(const SqlName& n, const QString& name) {
    return n.quoted ? n.name == name : n.name.compare(name, Qt::CaseInsensitive) == 0;
}

// The name standing right before the "." at dot.
const SqlName* nameBefore(const std::vector<SqlName>& names, QStringView text, qsizetype dot) {
    if (dot < 0 || dot >= text.size() || text[dot] != u'.') return nullptr;
    for (const SqlName& n : names)
        if (n.start + n.length == dot) return n.closed ? &n : nullptr;
    return nullptr;
}

bool onlyBlanks(QStringView text) {
    for (QChar c : text)
        if (!c.isSpace()) return false;
    return true;
}

// After FROM, JOIN, INTO, UPDATE or TABLE, with only blanks between, a table's name comes
// next: no column can stand there.
bool tableComesAt(const std::vector<SqlName>& names, QStringView text, qsizetype at) {
    const SqlName* before = nullptr;
    for (const SqlName& n : names)
        if (n.start + n.length <= at) before = &n;
    if (!before || !before->keyword || before->quoted) return false;
    if (!onlyBlanks(text.mid(before->start + before->length, at - before->start - before->length)))
        return false;
    static const QStringList kBeforeTable = {QStringLiteral("FROM"), QStringLiteral("JOIN"),
                                             QStringLiteral("INTO"), QStringLiteral("UPDATE"),
                                             QStringLiteral("TABLE")};
    return kBeforeTable.contains(before->name, Qt::CaseInsensitive);
}

// What was typed of the word before the caret, without its opening quote.
QString typedPrefix(QStringView text, const SqlName& word, qsizetype caret) {
    if (!word.quoted) return text.mid(word.start, caret - word.start).toString();
    if (word.closed && caret == word.start + word.length) return word.name;
    const QChar open = text[word.start];
    const QString close = open == u'[' ? QStringLiteral("]") : QString(open);
    return text.mid(word.start + 1, caret - word.start - 1)
        .toString()
        .replace(close + close, close);
}

class Choices {
public:
    Choices(const QString& prefix, const db::ColumnCatalog& catalog,
            const db::ConnectionRecord& connection, Completion& out)
        : m_prefix(prefix), m_catalog(catalog), m_connection(connection), m_out(out) {}

    void table(const ListedTable& t) {
        if (fits(t.entry.Name) || fits(t.listed)) m_out.choices << t.listed;
    }
    void bareTable(const ListedTable& t) {
        if (fits(t.entry.Name)) m_out.choices << db::AddTableName(t.entry.Name, m_connection);
    }
    void columnsOf(const ListedTable& t) {
        const QStringList* names = m_catalog.columns(t.entry);
        if (!names) {
            m_out.unread.push_back(t.entry);
            return;
        }
        for (const QString& name : *names)
            if (fits(name)) m_out.choices << db::AddColumnName(name, m_connection);
    }

private:
    bool fits(const QString& name) const { return name.startsWith(m_prefix, Qt::CaseInsensitive); }

    const QString& m_prefix;
    const db::ColumnCatalog& m_catalog;
    const db::ConnectionRecord& m_connection;
    Completion& m_out;
};

// The tables a text names, and the aliases it gives them.
struct NamedTables {
    std::vector<const ListedTable*> tables;
    std::vector<std::pair<const SqlName*, const ListedTable*>> aliases;
};

NamedTables namedTables(QStringView text, const std::vector<SqlName>& names, const SqlName* word,
                        const std::vector<ListedTable>& tables) {
    NamedTables out;
    std::vector<const ListedTable*>& named = out.tables;
    for (size_t i = 0; i < names.size(); ++i) {
        const SqlName& n = names[i];
        if (&n == word || (n.keyword && !n.quoted) || !n.closed) continue;
        // "x.name": a table of schema x; the column of a table x is no table.
        const SqlName* schema = nameBefore(names, text, n.start - 1);
        const size_t before = named.size();
        for (const ListedTable& t : tables)
            if (sameName(n, t.entry.Name) && (!schema || sameName(*schema, t.entry.Schema)))
                named.push_back(&t);
        if (named.size() == before || i + 1 == names.size()) continue;
        // "table alias" or "table AS alias".
        size_t a = i + 1;
        qsizetype gapFrom = n.start + n.length;
        if (!names[a].quoted && names[a].name.compare(u"as", Qt::CaseInsensitive) == 0 &&
            onlyBlanks(text.mid(gapFrom, names[a].start - gapFrom)) && a + 1 < names.size()) {
            gapFrom = names[a].start + names[a].length;
            ++a;
        }
        const SqlName& alias = names[a];
        if (&alias == word || (alias.keyword && !alias.quoted) || !alias.closed ||
            !onlyBlanks(text.mid(gapFrom, alias.start - gapFrom)) || gapFrom == alias.start)
            continue;
        for (size_t k = before; k < named.size(); ++k)
            out.aliases.push_back({&alias, named[k]});
    }
    return out;
}

// Lines around the caret that completion reads: names further away do not matter to it, and
// a long script then costs no more than a short one at each key.
constexpr int kLinesAround = 200;

std::pair<qsizetype, qsizetype> linesAround(QStringView text, qsizetype caret) {
    qsizetype from = caret, to = caret;
    for (int n = 0; n <= kLinesAround && from > 0; ++n)
        from = text.lastIndexOf(u'\n', from - 1);
    for (int n = 0; n <= kLinesAround && to >= 0 && to < text.size(); ++n)
        to = text.indexOf(u'\n', to + 1);
    return {from < 0 ? 0 : from, to < 0 ? text.size() : to};
}
} // namespace

Completion completeAt(QStringView text, qsizetype caret, db::SqlFamily family,
                      const std::vector<ListedTable>& tables, const db::ColumnCatalog& columns,
                      const db::ConnectionRecord& connection) {
    const auto [from, to] = linesAround(text, caret);
    if (from > 0 || to < text.size()) {
        Completion out = completeAt(text.mid(from, to - from), caret - from, family, tables,
                                    columns, connection);
        out.start += from;
        out.end += from;
        return out;
    }
    Completion out;
    out.start = out.end = caret;
    const std::vector<SqlName> names = db::sqlNames(text, family);
    const SqlName* word = nullptr;
    for (const SqlName& n : names)
        if (n.start < caret && caret <= n.start + n.length) word = &n;
    QString prefix;
    if (word) {
        out.start = word->start;
        out.end = word->start + word->length;
        prefix = typedPrefix(text, *word, caret);
    }

    const NamedTables named = namedTables(text, names, word, tables);
    Choices choices(prefix, columns, connection, out);
    if (const SqlName* qualifier = nameBefore(names, text, out.start - 1)) {
        const SqlName* schema = nameBefore(names, text, qualifier->start - 1);
        QSet<const ListedTable*> of;
        for (const auto& [alias, table] : named.aliases)
            if (!schema && sameName(*qualifier, alias->name)) of.insert(table);
        if (of.isEmpty())
            for (const ListedTable& t : tables)
                if (sameName(*qualifier, t.entry.Name) &&
                    (!schema || sameName(*schema, t.entry.Schema)))
                    of.insert(&t);
        for (const ListedTable& t : tables) {
            if (of.contains(&t)) choices.columnsOf(t);
            if (!schema && !t.entry.Schema.isEmpty() && sameName(*qualifier, t.entry.Schema))
                choices.bareTable(t);
        }
    } else {
        QSet<const ListedTable*> done;
        for (const ListedTable& t : tables)
            choices.table(t);
        const bool tablesOnly = tableComesAt(names, text, out.start);
        for (const ListedTable* t : named.tables)
            if (!tablesOnly && !done.contains(t)) {
                done.insert(t);
                choices.columnsOf(*t);
            }
    }
    out.choices.sort(Qt::CaseInsensitive);
    out.choices.removeDuplicates();
    return out;
}
