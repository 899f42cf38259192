#pragma once

#include "ProgramState.h"
#include "common/OperationFeedback.h"

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
