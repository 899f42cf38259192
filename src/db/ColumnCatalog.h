#pragma once

#include "Error.h"
#include "Handoff.h"
#include "ResultData.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

namespace db {

class Connection;
class StatementWork;

// The column names of listed tables, read from the catalog on a worker thread and kept. The
// connection is lent to the worker only while nothing else needs it: any other use takes it
// back, and the read stops after the table in hand, so typing never waits for the catalog and
// a statement at most for one table.
class ColumnCatalog {
public:
    explicit ColumnCatalog(Connection* connection);
    // Stops a read still running and takes the connection back.
    ~ColumnCatalog();
    ColumnCatalog(const ColumnCatalog&) = delete;
    ColumnCatalog& operator=(const ColumnCatalog&) = delete;

    // The names of a table's columns in their order; null until read.
    const QStringList* columns(const TableEntry& table) const;
    // Starts reading the columns of those tables not known yet; done runs on this thread once
    // they are known. False, and done never runs, when there is nothing to read or the
    // connection cannot be lent now; a read taken back for another use does not run it.
    bool read(const std::vector<TableEntry>& tables, std::function<void()> done);
    bool reading() const { return m_worker.running(); }
    // Forgets what was read, as the table list is read anew.
    void clear();

private:
    using Found = std::vector<std::pair<TableEntry, QStringList>>;
    // Reads until the handoff is stopped; what was found is put there, the worker's last word.
    ErrorList run(StatementWork& work, const std::vector<TableEntry>& tables);
    // Stops the worker, joins it, gives the connection back and keeps what it found.
    void end();
    // The worker's last word has arrived.
    void arrived();
    static QString key(const TableEntry& table);

    Connection* m_connection;
    QHash<QString, QStringList> m_known;
    std::function<void()> m_done;
    Handoff<Found> m_found;
    LoanWorker m_worker;
};

} // namespace db
