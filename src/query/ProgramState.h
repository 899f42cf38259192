#pragma once

#include "ConnectionRecord.h"
#include "QueryHistory.h"
#include "Recordset.h"

#include <QString>
#include <memory>

class StatementRun;

// The state the main window's operations share for the life of the process. The record set
// is shared with the grid that shows it, so a result stays alive while it is on screen even
// after the program has moved on to another one.
struct ProgramState {
    explicit ProgramState(db::ConnectionRecord& c) : connection(c) {}

    db::ConnectionRecord& connection;
    std::shared_ptr<db::Recordset> resultSet = std::make_shared<db::Recordset>();
    bool resultOpen = false;
    QueryHistory history;
    // The statement running on its worker while the window waits, else null.
    StatementRun* running = nullptr;
};
