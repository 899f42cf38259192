#pragma once

#include "db/ConnectionRecord.h"
#include "db/ResultData.h"
#include "db/SqlParts.h"

#include <QStringList>
#include <vector>

namespace db {
class ColumnCatalog;
}

// A table of the table list: the catalog's entry and the name as the list shows it.
struct ListedTable {
    db::TableEntry entry;
    QString listed;
};

// What completion offers for the word at a caret of a query text.
struct Completion {
    // The word a choice replaces, quotes included; empty (start == end) at a caret between
    // words.
    qsizetype start = 0;
    qsizetype end = 0;
    // The names that begin with what was typed before the caret, as they are inserted (quoted
    // as the table list quotes a name that needs it).
    QStringList choices;
    // Tables the text names whose columns are not read yet.
    std::vector<db::TableEntry> unread;
};

// After "name." only the columns of the table that name or its alias stands for (or the
// tables of a schema of that name); elsewhere the listed tables and the columns of the tables
// the text names.
Completion completeAt(QStringView text, qsizetype caret, db::SqlFamily family,
                      const std::vector<ListedTable>& tables, const db::ColumnCatalog& columns,
                      const db::ConnectionRecord& connection);
