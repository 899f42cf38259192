#include "ColumnCatalog.h"

#include "Connection.h"
#include "StatementWork.h"

#include <QSet>
#include <new>
#include <system_error>

namespace db {

ColumnCatalog::~ColumnCatalog() {
    m_stop = true;
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
    std::unique_ptr<StatementWork> work = m_connection->lendCatalog(
        [this] {
            m_stop = true;
            end();
        },
        errors);
    if (!work) return false;
    m_stop = false;
    const quint64 number = ++m_readNumber;
    QObject* receiver = m_receiver.get();
    auto finished = [this, number, done = std::move(done)] {
        // Taken back for another use, or a later read: that read's end is not this one's.
        if (number != m_readNumber || !reading()) return;
        end();
        if (done) done();
    };
    try {
        m_end = std::async(std::launch::async, [work = std::move(work), needed = std::move(needed),
                                                receiver, finished = std::move(finished),
                                                this]() mutable {
            Read r = run(std::move(work), std::move(needed), m_stop);
            QMetaObject::invokeMethod(receiver, std::move(finished), Qt::QueuedConnection);
            return r;
        });
    } catch (const std::system_error&) {
        m_connection->takeBack(nullptr, {});
        return false;
    } catch (const std::bad_alloc&) {
        m_connection->takeBack(nullptr, {});
        return false;
    }
    return true;
}

ColumnCatalog::Read ColumnCatalog::run(std::unique_ptr<StatementWork> work,
                                       std::vector<TableEntry> tables,
                                       const std::atomic<bool>& stop) {
    Read r;
    try {
        for (const TableEntry& t : tables) {
            if (stop.load()) break;
            QStringList names;
            // What failed is asked again next time; the rest of this read would likely fail too.
            if (!work->columns(t, names, r.errors)) break;
            r.found.emplace_back(t, std::move(names));
        }
    } catch (const std::bad_alloc&) {
        r.errors = {errors::outOfMemory(QStringLiteral("Tolvan.Catalog"))};
    }
    r.work = std::move(work);
    return r;
}

void ColumnCatalog::end() {
    if (!reading()) return;
    Read r = m_end.get();
    for (auto& [table, names] : r.found)
        m_known.insert(key(table), std::move(names));
    m_connection->takeBack(std::move(r.work), r.errors);
}

void ColumnCatalog::clear() {
    m_stop = true;
    end();
    m_known.clear();
}

} // namespace db
