#pragma once

#include "ResultData.h"

#include <vector>

namespace db {

class Connection;

// The schema catalog: the tables and views of the connected database, in delivery order.
class Catalog {
public:
    void setActiveConnection(Connection* connection) { m_connection = connection; }
    Connection* ActiveConnection() const { return m_connection; }

    // Reads the list anew; false (with the connection's Errors filled) when that fails.
    bool Refresh();
    const std::vector<TableEntry>& Tables() const { return m_tables; }

private:
    Connection* m_connection = nullptr;
    std::vector<TableEntry> m_tables;
};

} // namespace db
