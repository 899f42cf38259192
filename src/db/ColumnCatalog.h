#pragma once

#include "Error.h"
#include "ResultData.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
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
    explicit ColumnCatalog(Connection* connection) : m_connection(connection) {}
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
    bool reading() const { return m_end.valid(); }
    // Forgets what was read, as the table list is read anew.
    void clear();

private:
    struct Read {
        std::unique_ptr<StatementWork> work;
        std::vector<std::pair<TableEntry, QStringList>> found;
        ErrorList errors;
    };
    static Read run(std::unique_ptr<StatementWork> work, std::vector<TableEntry> tables,
                    const std::atomic<bool>& stop);
    // Joins the worker, gives the connection back and keeps what it found.
    void end();
    static QString key(const TableEntry& table);

    Connection* m_connection;
    QHash<QString, QStringList> m_known;
    std::atomic<bool> m_stop{false};
    std::future<Read> m_end;
    // The worker's word that it ended reaches this thread through here; it goes with the
    // catalog, so a word still on its way is dropped.
    std::unique_ptr<QObject> m_receiver = std::make_unique<QObject>();
    quint64 m_readNumber = 0;
};

} // namespace db
