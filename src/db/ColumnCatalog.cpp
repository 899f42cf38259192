#include "ColumnCatalog.h"

#include "Connection.h"
#include "StatementWork.h"

#include <QSet>
#include <new>

namespace db {

ColumnCatalog::ColumnCatalog(Connection* connection) : m_connection(connection) {
    // Without its wake-up a read is ended only by the next use of the connection.
    m_found.wakeOwner([this] { arrived(); });
}

ColumnCatalog::~ColumnCatalog() {
    end();
}

QString ColumnCatalog::key(const TableEntry& table) {
    return table.Schema + QChar(0x1f) + table.Name;
}

const QStringList* ColumnCatalog::columns(const TableEntry& table) const {
    const auto it = m_known.constFind(key(table));
    return it == m_known.constEnd() ? nullptr : &*it;
}

bool ColumnCatalog::read(const std::vector<TableEntry>& tables, std::function<void()> done) {
    if (!m_connection || reading()) return false;
    std::vector<TableEntry> needed;
    QSet<QString> seen;
    for (const TableEntry& t : tables)
        if (!m_known.contains(key(t)) && !seen.contains(key(t))) {
            seen.insert(key(t));
            needed.push_back(t);
        }
    if (needed.empty()) return false;
    ErrorList errors;
    ConnectionLoan loan = m_connection->lendCatalog([this] { end(); }, errors);
    if (!loan) return false;
    m_found.reset();
    m_done = std::move(done);
    // Where no thread can be started the loan ends here.
    const bool started = m_worker.start(
        loan, [this, needed = std::move(needed)](StatementWork& work) { return run(work, needed); },
        errors);
    if (!started) m_done = nullptr;
    return started;
}

ErrorList ColumnCatalog::run(StatementWork& work, const std::vector<TableEntry>& tables) {
    Found found;
    ErrorList errors;
    try {
        for (const TableEntry& t : tables) {
            if (m_found.stopped()) break;
            QStringList names;
            // What failed is asked again next time; the rest of this read would likely fail too.
            if (!work.columns(t, names, errors)) break;
            found.emplace_back(t, std::move(names));
        }
    } catch (const std::bad_alloc&) {
        errors = {errors::outOfMemory(QStringLiteral("Tolvan.Catalog"))};
    }
    m_found.put(std::move(found));
    return errors;
}

void ColumnCatalog::arrived() {
    // A wake-up of a read already ended, taken back for another use.
    if (!reading() || !m_found.waiting()) return;
    std::function<void()> done = std::move(m_done);
    end();
    if (done) done();
}

void ColumnCatalog::end() {
    m_done = nullptr;
    if (!reading()) return;
    m_found.stop();
    ConnectionLoan loan = m_worker.join();
    for (Found& found : m_found.takeAll())
        for (auto& [table, names] : found)
            m_known.insert(key(table), std::move(names));
    loan.end();
}

void ColumnCatalog::clear() {
    end();
    m_known.clear();
}

} // namespace db
