#pragma once

#include "ProgramState.h"
#include "WindowFeedback.h"

#include <QStringList>

// What a retrieval leaves in the table list: its text (the first name) and its items, the
// catalog's entry for each item, and whether it failed part way (the names found before the
// failure stay).
struct TableList {
    QString text;
    QStringList items;
    std::vector<db::TableEntry> entries;
    bool failed = false;
};

// The names of the database's tables, quoted so that each can follow "select * from ":
// Oracle through "select * from tab", every other kind through the catalog (type "TABLE").
TableList RetrieveTableList(ProgramState& state, OperationFeedback& feedback);

// "[" + name + "]"; a "]" inside is left as it is.
QString BracketName(const QString& name);

// A name as the table list holds it: bracketed for Access and when it holds a character that
// needs quoting. Databases that do not accept brackets get their own identifier quotes.
QString AddTableName(const QString& name, const db::ConnectionRecord& connection);
// A column's name as completion writes it: in the same quotes, but only where the name needs
// them (Access files want brackets around every table name, not around every column's).
QString AddColumnName(const QString& name, const db::ConnectionRecord& connection);
