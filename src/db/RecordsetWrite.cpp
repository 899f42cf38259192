// The writing half of Recordset: new rows, edits and deletions, each stored in the base
// table at once and mirrored in the rows held.
#include "Backend.h"
#include "Connection.h"
#include "Recordset.h"

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.Recordset");

Error noCurrentRecord() {
    return errors::noCurrentRecord(kSource);
}
} // namespace

bool Recordset::ensureWriteTarget() {
    if (!m_connection || !m_connection->isOpen()) return fail(errors::objectClosed(kSource));
    if (m_connection->readOnly()) return fail(errors::readOnlyDatabase(kSource));
    if (m_target) return true;
    if (FieldCount() == 0)
        return fail({ErrorNumber::NotUpdatable,
                     QStringLiteral("Current Recordset does not support updating."), kSource});
    auto target = std::make_unique<WriteTarget>();
    ErrorList errors;
    if (!target->resolve(*m_connection, m_data.columns, m_source, errors)) return failWith(errors);
    m_target = std::move(target);
    return true;
}

bool Recordset::fieldUpdatable(int index) const {
    if (index < 0 || index >= FieldCount()) return false;
    if (m_updatable.size() != size_t(FieldCount()))
        m_updatable = WriteTarget::updatableFields(m_data.columns, m_source);
    return m_updatable[size_t(index)];
}

bool Recordset::AddNew() {
    if (!requireOpen()) return false;
    if (m_editMode != adEditNone && !Update()) return false;
    if (!ensureWriteTarget()) return false;
    if (m_cursorType == adOpenForwardOnly &&
        (m_cursor || !m_order.empty() || m_ahead.running() || m_parked)) {
        // Adding needs no rows: stop reading so that no read stays open beside the writes.
        stopReadAhead(true);
        m_parked.reset();
        m_cursor.reset();
        m_data.clearRows();
        m_order.clear();
        m_pos = 0;
    }
    m_buffer.assign(size_t(FieldCount()), Value::null());
    m_assigned.assign(size_t(FieldCount()), false);
    m_editMode = adEditAdd;
    return true;
}

bool Recordset::setFieldValue(int index, Value&& v) {
    if (!requireOpen()) return false;
    if (index < 0 || index >= FieldCount()) return fail(errors::itemNotFound(kSource));
    if (m_editMode == adEditNone) {
        if (!requireStatic()) return false;
        if (Eof() || Bof()) return fail(noCurrentRecord());
        m_buffer.assign(size_t(FieldCount()), Value::null());
        m_assigned.assign(size_t(FieldCount()), false);
        m_editMode = adEditInProgress;
    }
    m_buffer[size_t(index)] = std::move(v);
    m_assigned[size_t(index)] = true;
    return true;
}

void Recordset::CancelUpdate() {
    m_editMode = adEditNone;
    m_buffer.clear();
    m_assigned.clear();
}

bool Recordset::Update() {
    if (!requireOpen()) return false;
    if (m_editMode == adEditNone) return true;
    // A failed write drops the pending row or edit, so the rows held always match the
    // database.
    const bool ok = m_editMode == adEditAdd ? updateAdded() : updateEdited();
    CancelUpdate();
    return ok;
}

bool Recordset::updateAdded() {
    if (!ensureWriteTarget()) return false;
    for (int i = 0; i < FieldCount(); ++i)
        if (m_assigned[size_t(i)] && !m_target->writable(i))
            return fail(errors::fieldNotUpdatable(column(i).name, kSource));

    PreparedStatement* insert = insertStatement();
    if (!insert) return false;
    m_params.clear();
    for (int i = 0; i < FieldCount(); ++i)
        if (m_assigned[size_t(i)]) m_params.push_back(std::move(m_buffer[size_t(i)]));
    // A forward-only record set keeps no rows, also none it added: its rows may wait in the
    // connection's batch.
    const bool forwardOnly = m_cursorType == adOpenForwardOnly;
    if (!m_connection->insertRow(*insert, m_params, forwardOnly))
        return failWith(m_connection->Errors());
    if (forwardOnly) return true;

    size_t param = 0;
    for (int i = 0; i < FieldCount(); ++i)
        m_data.data[size_t(i)].append(m_assigned[size_t(i)] ? m_params[param++] : Value::null());
    m_order.push_back(quint32(m_data.rows++));
    m_pos = qint64(m_order.size()) - 1;
    return true;
}

PreparedStatement* Recordset::insertStatement() {
    // Imports add row after row with the same fields: one statement serves them all.
    if (m_lastInsert && m_assigned == m_lastInsertFields) return m_lastInsert;
    auto& stmt = m_inserts[m_assigned];
    if (!stmt) {
        QStringList names;
        std::vector<const ColumnInfo*> cols;
        for (int i = 0; i < FieldCount(); ++i) {
            if (!m_assigned[size_t(i)]) continue;
            names << m_target->columnSql(i);
            cols.push_back(&m_data.columns[size_t(i)]);
        }
        ErrorList errors;
        stmt = m_connection->prepareInsert(m_target->tableSql(), names, cols, errors);
        if (!stmt) {
            m_inserts.erase(m_assigned);
            failWith(errors);
            return nullptr;
        }
    }
    m_lastInsertFields = m_assigned;
    return m_lastInsert = stmt.get();
}

void Recordset::whereForCurrentRow(QString& where, std::vector<const ColumnInfo*>& cols,
                                   std::vector<Value>& params) const {
    QStringList terms;
    const quint32 row = m_order[size_t(m_pos)];
    for (int f : m_target->keyFields()) {
        const ColumnData& d = m_data.data[size_t(f)];
        if (d.isNull(row)) {
            terms << m_target->columnSql(f) + QStringLiteral(" IS NULL");
            continue;
        }
        terms << m_target->columnSql(f) + QStringLiteral(" = ?");
        cols.push_back(&m_data.columns[size_t(f)]);
        params.push_back(d.value(row));
    }
    where = terms.join(QStringLiteral(" AND "));
}

bool Recordset::updateEdited() {
    if (Eof() || Bof()) return fail(noCurrentRecord());
    if (!ensureWriteTarget()) return false;
    QStringList sets;
    std::vector<const ColumnInfo*> cols;
    std::vector<Value> params;
    for (int i = 0; i < FieldCount(); ++i) {
        if (!m_assigned[size_t(i)]) continue;
        if (!fieldUpdatable(i)) return fail(errors::fieldNotUpdatable(column(i).name, kSource));
        sets << m_target->columnSql(i) + QStringLiteral(" = ?");
        cols.push_back(&m_data.columns[size_t(i)]);
        params.push_back(m_buffer[size_t(i)]);
    }
    if (sets.isEmpty()) return true;
    QString where;
    whereForCurrentRow(where, cols, params);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(m_target->tableSql(), sets.join(QStringLiteral(", ")), where);
    if (!runSingleRowChange(sql, cols, params)) return false;
    const quint32 row = m_order[size_t(m_pos)];
    for (int i = 0; i < FieldCount(); ++i)
        if (m_assigned[size_t(i)]) m_data.data[size_t(i)].set(row, m_buffer[size_t(i)]);
    rereadCurrentRow();
    return true;
}

void Recordset::rereadCurrentRow() {
    // The database may round, cut or change what was written (a trigger, a numeric scale):
    // hold what it stores. Without a key the row is found by its values, which may no
    // longer match; it then keeps the values as written. Computed fields keep what the
    // statement computed: the base table does not hold them.
    if (!m_target->hasPrimaryKey()) return;
    QStringList names;
    std::vector<int> fields;
    for (int i = 0; i < FieldCount(); ++i)
        if (fieldUpdatable(i)) {
            names << m_target->columnSql(i);
            fields.push_back(i);
        }
    if (fields.empty()) return;
    QString where;
    std::vector<const ColumnInfo*> cols;
    std::vector<Value> params;
    whereForCurrentRow(where, cols, params);
    ErrorList errors;
    auto stmt = m_connection->prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3")
            .arg(names.join(QStringLiteral(", ")), m_target->tableSql(), where),
        cols, errors);
    ResultData r;
    if (!stmt || !stmt->select(params, r, errors) || r.rows != 1 || r.data.size() != fields.size())
        return;
    const quint32 row = m_order[size_t(m_pos)];
    for (size_t k = 0; k < fields.size(); ++k) {
        ColumnData& d = m_data.data[size_t(fields[k])];
        if (d.isBinary(row)) continue; // bytes were not written
        d.set(row, r.data[k].value(0));
    }
}

bool Recordset::Delete() {
    if (!requireOpen()) return false;
    if (m_editMode == adEditAdd) {
        CancelUpdate();
        return true;
    }
    CancelUpdate();
    if (!requireStatic()) return false;
    if (Eof() || Bof()) return fail(noCurrentRecord());
    if (!ensureWriteTarget()) return false;
    QString where;
    std::vector<const ColumnInfo*> cols;
    std::vector<Value> params;
    whereForCurrentRow(where, cols, params);
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_target->tableSql(), where);
    if (!runSingleRowChange(sql, cols, params)) return false;
    m_order.erase(m_order.begin() + m_pos);
    return true;
}

bool Recordset::runSingleRowChange(const QString& sql,
                                   const std::vector<const ColumnInfo*>& paramCols,
                                   const std::vector<Value>& params) {
    ErrorList errors;
    auto stmt = m_connection->prepare(sql, paramCols, errors);
    if (!stmt) return failWith(errors);
    // In a transaction, so that a statement that matched several rows can be taken back.
    const auto exactlyOne = [](qint64 affected, ErrorList& errors) {
        if (affected == 1) return true;
        errors = {{ErrorNumber::RowNotLocated,
                   affected == 0
                       ? QStringLiteral("Row cannot be located for updating. Some values may "
                                        "have been changed since it was last read.")
                       : QStringLiteral("The row is not unique: %1 rows would have been "
                                        "changed. Nothing was changed.")
                             .arg(affected),
                   kSource}};
        return false;
    };
    if (!m_connection->runChecked(*stmt, params, exactlyOne, errors)) return failWith(errors);
    return true;
}

bool Recordset::setValue(qint32 row, int col, const Value& v) {
    if (!setPosition(row)) return false;
    if (!Fields(col).setValue(v)) return false;
    return Update();
}

bool Recordset::setValues(qint32 row, const std::vector<std::pair<int, Value>>& values) {
    if (!setPosition(row)) return false;
    for (const auto& [col, v] : values) {
        if (!Fields(col).setValue(v)) {
            CancelUpdate();
            return false;
        }
    }
    return Update();
}

bool Recordset::deleteRow(qint32 row) {
    if (!setPosition(row)) return false;
    return Delete();
}

} // namespace db
