#include "Recordset.h"

#include "Backend.h"
#include "Connection.h"
#include "StatementText.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Recordset");
// Rows held at a time by a forward-only record set.
constexpr size_t kBlockRows = 4096;
// A worker reading rows that are no longer wanted gets this long to end its block; then its
// statement is cancelled, again and again, since psqlODBC misses a cancel between two calls.
constexpr int kAbandonPatienceMs = 50;
constexpr int kRepeatCancelMs = 200;

Error closedError() {
    return errors::objectClosed(kSource);
}

// The statement whose rows a count query counts: one statement that only reads, without a
// final ";". Counting runs it once more, which must change nothing.
QString countQuery(const QString& source) {
    if (!readsOnly(source)) return QString();
    QString s = source.trimmed();
    while (s.endsWith(QLatin1Char(';')))
        s = s.chopped(1).trimmed();
    return QStringLiteral("SELECT COUNT(*) FROM (%1\n) tolvan_count").arg(s);
}
} // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() {
    // Whoever added rows closed the record set and heard of a failure; none is left to tell.
    if (!Close()) qWarning("Tolvan: rows added to a record set could not be stored");
    if (m_connection) m_connection->detach(this);
}

void Recordset::releaseStatements() {
    // A held row of ours would outlive its statement: whoever lets go of them has stored or
    // dropped the held rows first.
    Q_ASSERT(m_inserts.empty() || !m_connection || !m_connection->holdsRows());
    // When the connection calls, it has taken itself back already.
    stopReadAhead(false);
    // Rows still unread are gone with the statement: reading on must fail, not end. A block
    // read ahead before still counts.
    if (m_cursor && m_open && m_cursorType == adOpenForwardOnly) m_cursorLost = true;
    m_cursor.reset();
    m_lastInsert = nullptr;
    m_inserts.clear();
    m_target.reset();
    m_updatable.clear();
}

void Recordset::connectionGone() {
    releaseStatements();
    m_connection = nullptr;
}

bool Recordset::fail(const Error& e) {
    return failWith({e});
}

bool Recordset::failWith(const ErrorList& errors) {
    m_errors = errors;
    if (m_connection) m_connection->setErrors(errors);
    return false;
}

bool Recordset::requireOpen() {
    if (m_open) return true;
    return fail(closedError());
}

bool Recordset::requireStatic() {
    if (!requireOpen()) return false;
    if (m_cursorType == adOpenStatic) return true;
    return fail({ErrorNumber::NotAllowed,
                 QStringLiteral("Operation is not allowed in this context."), kSource});
}

bool Recordset::runSource(ErrorList& errors) {
    ResultData data;
    std::unique_ptr<RowCursor> cursor;
    stopReadAhead(true);
    m_parked.reset();
    m_cursor.reset();
    m_cursorLost = false;
    if (!m_connection->executeText(m_source, data, cursor, errors)) return false;
    m_forwardCount = -2;
    m_blocksRead = 0;
    if (m_cursorType == adOpenForwardOnly) {
        m_data = std::move(data);
        m_cursor = std::move(cursor);
        return fetchBlock(errors);
    }
    // Read whole before it replaces the rows held: a failure leaves those as they were.
    bool done = !cursor;
    while (!done)
        if (!cursor->fetch(data, size_t(-1), done, errors)) return false;
    cursor.reset();
    m_data = std::move(data);
    m_updatable.clear();
    // A column whose values did not fit its declared storage was turned into text.
    for (size_t i = 0; i < m_data.columns.size(); ++i)
        m_data.columns[i].storage = m_data.data[i].storage();
    resetRows();
    return true;
}

bool Recordset::readSource(ErrorList& errors) {
    try {
        return runSource(errors);
    } catch (const std::bad_alloc&) {
        // What was read goes with the unwinding; the rows held before stay.
        m_cursor.reset();
        errors = {errors::outOfMemory(kSource)};
        return false;
    }
}

bool Recordset::fetchBlock(ErrorList& errors) {
    std::optional<ReadAhead::Block> next;
    if (m_ahead.running()) {
        next = m_ahead.take(std::move(m_data));
        if (!next->ok || next->done) {
            // The worker has ended with the statement's last block or its failure.
            std::optional<ReadAhead::Block> none;
            m_ahead.end(none).end();
        }
    } else {
        next = std::move(m_parked);
        m_parked.reset();
    }
    if (next) {
        ++m_blocksRead;
        m_data = std::move(next->rows);
        resetRows();
        if (next->done || !next->ok) m_cursor.reset();
        if (next->ok) return true;
        errors = std::move(next->errors);
        return false;
    }
    if (m_cursorLost) {
        errors = {errors::sessionLostMidRead(kSource)};
        return false;
    }
    ++m_blocksRead;
    m_data.clearRowsKeepingMemory();
    bool done = !m_cursor;
    while (!done && m_data.rows == 0) {
        if (!m_cursor->fetch(m_data, kBlockRows, done, errors)) {
            m_cursor.reset();
            return false;
        }
    }
    if (done) m_cursor.reset();
    resetRows();
    return true;
}

void Recordset::startReadAhead() {
    if (!m_cursor || m_parked || m_ahead.running() || !m_connection) return;
    ConnectionLoan loan = m_connection->lendCursor(m_cursor, [this] { stopReadAhead(false); });
    if (!loan) return;
    // Its own first block; the blocks after it refill the memory of those used here.
    ResultData rows;
    rows.columns = m_data.columns;
    rows.clearRows();
    // Without a thread the rows are read here, as they come.
    if (!m_ahead.start(loan, std::move(rows), kBlockRows)) m_cursor = loan.end();
}

void Recordset::stopReadAhead(bool abandon) {
    if (!m_ahead.running()) return;
    m_ahead.stop();
    bool cancelled = false;
    if (abandon)
        for (int wait = kAbandonPatienceMs; !m_ahead.waitFor(wait); wait = kRepeatCancelMs) {
            m_connection->cancel();
            cancelled = true;
        }
    std::optional<ReadAhead::Block> unread;
    ConnectionLoan loan = m_ahead.end(unread);
    const bool failed = unread && !unread->ok;
    std::unique_ptr<RowCursor> rest = loan.end();
    if (cancelled) m_connection->resetCancel();
    if (abandon) return;
    // A failed read leaves nothing to read on from.
    if (!failed) m_cursor = std::move(rest);
    m_parked = std::move(unread);
}

qint32 Recordset::RecordCount() const {
    if (m_cursorType == adOpenStatic) return qint32(m_order.size());
    return std::max(m_forwardCount, -1);
}

qint32 Recordset::countRows() {
    if (m_cursorType == adOpenStatic) return qint32(m_order.size());
    if (m_forwardCount == -2) {
        m_forwardCount = -1;
        const QString sql = countQuery(m_source);
        ResultData r;
        std::unique_ptr<RowCursor> cursor;
        ErrorList errors;
        if (!sql.isEmpty() && m_connection && m_connection->executeText(sql, r, cursor, errors)) {
            bool done = !cursor;
            while (!done && cursor->fetch(r, size_t(-1), done, errors)) {
            }
            if (done && r.rows == 1 && !r.data.empty() && !r.data[0].isNull(0))
                m_forwardCount = qint32(r.data[0].text(0).toLongLong());
        }
    }
    return m_forwardCount;
}

bool Recordset::currentIsNull(int col) const {
    if (col < 0 || col >= FieldCount() || Eof() || m_pos < 0) return true;
    return m_data.data[size_t(col)].isNull(m_order[size_t(m_pos)]);
}

void Recordset::currentTextInto(int col, QString& out) const {
    if (col < 0 || col >= FieldCount() || Eof() || m_pos < 0) {
        out.clear();
        return;
    }
    m_data.data[size_t(col)].textInto(m_order[size_t(m_pos)], out);
}

std::string_view Recordset::currentBytes(int col) const {
    if (col < 0 || col >= FieldCount() || Eof() || m_pos < 0) return {};
    const ColumnData& d = m_data.data[size_t(col)];
    if (d.storage() != Storage::Text && d.storage() != Storage::Blob) return {};
    return d.bytesAt(m_order[size_t(m_pos)]);
}

void Recordset::resetRows() {
    m_order.resize(m_data.rows);
    std::iota(m_order.begin(), m_order.end(), 0u);
    m_pos = 0;
    m_editMode = adEditNone;
}

bool Recordset::Open(const QString& source, Connection* connection, CursorTypeEnum cursorType) {
    if (!beginOpen(source, connection, cursorType)) return false;
    ErrorList errors;
    if (!readSource(errors)) {
        m_data.clear();
        m_order.clear();
        return failWith(errors);
    }
    m_open = true;
    m_editMode = adEditNone;
    return true;
}

bool Recordset::beginOpen(const QString& source, Connection* connection,
                          CursorTypeEnum cursorType) {
    if (!Close()) return false; // Errors() tell which row could not be stored
    if (m_connection != connection) {
        if (m_connection) m_connection->detach(this);
        if (connection) connection->attach(this);
    }
    m_connection = connection;
    m_source = source;
    m_cursorType = cursorType == adOpenForwardOnly ? adOpenForwardOnly : adOpenStatic;
    m_errors.clear();
    if (!connection || !connection->isOpen()) return fail(closedError());
    connection->clearErrors();
    return true;
}

void Recordset::showColumns(ResultData&& header) {
    m_data = std::move(header);
    m_updatable.clear();
    m_order.resize(m_data.rows);
    std::iota(m_order.begin(), m_order.end(), 0u);
    m_pos = 0;
    m_open = true;
}

bool Recordset::appendRows(ResultData& block) {
    if (block.rows == 0 || block.data.size() != m_data.data.size()) return true;
    try {
        for (size_t i = 0; i < m_data.data.size(); ++i)
            m_data.data[i].appendColumn(block.data[i]);
        m_order.resize(m_data.rows + block.rows);
    } catch (const std::bad_alloc&) {
        // Columns may differ in length now: endOpen with the failure drops them all.
        block.clear();
        return false;
    }
    const size_t first = m_data.rows;
    m_data.rows += block.rows;
    std::iota(m_order.begin() + qint64(first), m_order.end(), quint32(first));
    return true;
}

bool Recordset::endOpen(const ErrorList* failure) {
    m_cursor.reset();
    if (failure) {
        m_data.clear();
        m_order.clear();
        m_order.shrink_to_fit();
        m_open = false;
        return failWith(*failure);
    }
    for (size_t i = 0; i < m_data.columns.size(); ++i) {
        m_data.columns[i].storage = m_data.data[i].storage();
        m_data.data[i].squeeze();
    }
    resetRows();
    m_open = true;
    m_editMode = adEditNone;
    return true;
}

bool Recordset::Close() {
    stopReadAhead(true);
    m_parked.reset();
    // Rows added through this record set may still be held: stored before their statement goes.
    const bool stored =
        !m_open || !m_connection || !m_connection->isOpen() || m_connection->CommitPendingWrites();
    if (!stored) m_errors = m_connection->Errors();
    releaseStatements();
    m_data.clear();
    m_order.clear();
    m_order.shrink_to_fit();
    m_open = false;
    m_pos = 0;
    m_sort.clear();
    m_sortKeys.clear();
    m_editMode = adEditNone;
    m_buffer.clear();
    m_assigned.clear();
    return stored;
}

bool Recordset::Requery() {
    if (!requireOpen()) return false;
    if (!m_connection || !m_connection->isOpen()) return fail(closedError());
    if (m_editMode != adEditNone) CancelUpdate();
    if (!m_connection->CommitPendingWrites()) return failWith(m_connection->Errors());
    releaseStatements();
    ErrorList errors;
    if (!readSource(errors)) return failWith(errors);
    for (const SortKey& k : m_sortKeys)
        if (k.field >= FieldCount()) {
            m_sortKeys.clear();
            m_sort.clear();
        }
    applySort(m_sortKeys);
    return true;
}

const ColumnInfo& Recordset::column(int index) const {
    static const ColumnInfo none;
    return index >= 0 && index < FieldCount() ? m_data.columns[size_t(index)] : none;
}

int Recordset::FieldIndex(const QString& name) const {
    for (size_t i = 0; i < m_data.columns.size(); ++i)
        if (m_data.columns[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

bool Recordset::setPosition(qint32 row) {
    if (!requireStatic()) return false;
    if (row < 0 || row > qint32(m_order.size())) return fail(errors::noCurrentRecord(kSource));
    if (m_editMode != adEditNone && row != m_pos && !Update()) return false;
    m_pos = row;
    return true;
}

bool Recordset::MoveFirst() {
    // A forward-only record set can only stay where it starts.
    if (m_cursorType == adOpenForwardOnly && m_open && m_pos == 0 && m_blocksRead <= 1) return true;
    return setPosition(0);
}
bool Recordset::MoveLast() {
    return setPosition(m_order.empty() ? 0 : qint32(m_order.size()) - 1);
}
bool Recordset::MoveNext() {
    if (m_cursorType == adOpenForwardOnly && m_open) {
        if (m_editMode != adEditNone && !Update()) return false;
        if (Eof()) return fail(errors::noCurrentRecord(kSource));
        ++m_pos;
        if (m_pos >= qint64(m_order.size()) &&
            (m_cursor || m_cursorLost || m_ahead.running() || m_parked)) {
            ErrorList errors;
            bool fetched = false;
            try {
                fetched = fetchBlock(errors);
            } catch (const std::bad_alloc&) {
                m_cursor.reset();
                m_data.clearRows();
                m_order.clear();
                errors = {errors::outOfMemory(kSource)};
            }
            if (!fetched) return failWith(errors);
        }
        // The next block is read while this one is used.
        startReadAhead();
        return true;
    }
    if (Eof()) return setPosition(-1); // reports the error
    return setPosition(qint32(m_pos + 1));
}
bool Recordset::MovePrevious() {
    if (!requireStatic()) return false;
    if (m_pos <= 0) {
        if (m_editMode != adEditNone && !Update()) return false;
        m_pos = -1;
        return true;
    }
    return setPosition(qint32(m_pos - 1));
}

bool Recordset::setSort(const QString& sort) {
    if (!requireStatic()) return false;
    std::vector<SortKey> keys;
    if (!parseSort(sort, keys)) return false;
    applySort(keys);
    m_sort = sort;
    m_sortKeys = std::move(keys);
    m_pos = 0;
    return true;
}

bool Recordset::sortByFields(const std::vector<SortKey>& keys) {
    if (!requireStatic()) return false;
    QStringList parts;
    for (const SortKey& k : keys) {
        if (k.field < 0 || k.field >= FieldCount())
            return fail({ErrorNumber::ItemNotFound,
                         QStringLiteral("Item cannot be found in the collection corresponding to "
                                        "the requested name or ordinal."),
                         kSource});
        // Brackets only where the plain name would not read back as one field.
        const QString name = column(k.field).name;
        const bool plain = !name.contains(QLatin1Char(',')) && !name.contains(QLatin1Char('[')) &&
                           name.trimmed() == name && !name.isEmpty();
        parts << (plain ? name : QLatin1Char('[') + name + QLatin1Char(']')) +
                     (k.descending ? QStringLiteral(" desc") : QStringLiteral(" asc"));
    }
    applySort(keys);
    m_sort = parts.join(QStringLiteral(", "));
    m_sortKeys = keys;
    m_pos = 0;
    return true;
}

bool Recordset::parseSort(const QString& sort, std::vector<SortKey>& keys) {
    // Split at commas outside brackets, so "[a,b] desc" names one field.
    QStringList parts;
    QString current;
    int depth = 0;
    for (QChar ch : sort) {
        if (ch == QLatin1Char('[')) ++depth;
        if (ch == QLatin1Char(']') && depth > 0) --depth;
        if (ch == QLatin1Char(',') && depth == 0) {
            parts << current;
            current.clear();
            continue;
        }
        current += ch;
    }
    parts << current;
    for (QString part : parts) {
        part = part.trimmed();
        if (part.isEmpty()) continue;
        bool descending = false;
        if (part.endsWith(QLatin1String(" desc"), Qt::CaseInsensitive)) {
            descending = true;
            part.chop(5);
        } else if (part.endsWith(QLatin1String(" asc"), Qt::CaseInsensitive)) {
            part.chop(4);
        }
        part = part.trimmed();
        if (part.size() >= 2 && part.front() == QLatin1Char('[') && part.back() == QLatin1Char(']'))
            part = part.mid(1, part.size() - 2);
        const int column = FieldIndex(part);
        if (column < 0) return fail(errors::itemNotFound(kSource));
        keys.push_back({column, descending});
    }
    return true;
}

void Recordset::applySort(const std::vector<SortKey>& keys) {
    // No keys is delivery order, which a fresh read already has: spare a million-row re-query
    // the sort.
    if (keys.empty() && std::is_sorted(m_order.begin(), m_order.end())) return;
    // Ties keep the delivery order, so equal keys stay stable and a cleared sort restores it.
    std::sort(m_order.begin(), m_order.end(), [&](quint32 a, quint32 b) {
        for (const SortKey& k : keys) {
            const int c = m_data.data[size_t(k.field)].compare(a, b);
            if (c != 0) return k.descending ? c > 0 : c < 0;
        }
        return a < b;
    });
}

Value Recordset::fieldValue(int index) const {
    if (index < 0 || index >= FieldCount()) return Value::null();
    if (m_editMode != adEditNone && m_assigned[size_t(index)]) return m_buffer[size_t(index)];
    if (m_editMode == adEditAdd || Eof() || Bof()) return Value::null();
    return value(qint32(m_pos), index);
}

size_t Recordset::memoryBytes() const {
    size_t total = m_order.memoryBytes();
    for (const ColumnData& d : m_data.data)
        total += d.memoryBytes();
    return total;
}

QString Field::Name() const {
    return m_rs->column(m_index).name;
}
int Field::Type() const {
    return m_rs->column(m_index).type;
}
qint64 Field::DefinedSize() const {
    return m_rs->column(m_index).definedSize;
}
int Field::Precision() const {
    return m_rs->column(m_index).precision;
}
int Field::NumericScale() const {
    return m_rs->column(m_index).scale;
}
Value Field::value() const {
    return m_rs->fieldValue(m_index);
}
bool Field::setValue(Value&& v) {
    return m_rs->setFieldValue(m_index, std::move(v));
}

} // namespace db
