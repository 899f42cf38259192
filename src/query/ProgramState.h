#pragma once

#include "QueryHistory.h"
#include "StatementRun.h"
#include "db/ConnectionRecord.h"
#include "db/Recordset.h"

#include <QString>
#include <memory>

// The state the main window's operations share for the life of the process. The record set
// is shared with the grid that shows it, so a result stays alive while it is on screen even
// after the program has moved on to another one.
struct ProgramState {
    explicit ProgramState(db::ConnectionRecord& c) : connection(c) {}

    db::ConnectionRecord& connection;
    std::shared_ptr<db::Recordset> resultSet = std::make_shared<db::Recordset>();
    bool resultOpen = false;
    QueryHistory history;
    // Runs the statements of the window's operations, one at a time.
    StatementRun statements;
};
