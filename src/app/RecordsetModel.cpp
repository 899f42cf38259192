#include "RecordsetModel.h"

#include "db/AdoType.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <algorithm>

void RecordsetModel::setRecordset(std::shared_ptr<db::Recordset> rs) {
    beginResetModel();
    m_filtered = false;
    m_visible.clear();
    m_rs = std::move(rs);
    m_rows = currentCount();
    endResetModel();
}

void RecordsetModel::reload() {
    beginResetModel();
    // Positions change with a sort or a deletion: whoever filtered filters again.
    m_filtered = false;
    m_visible.clear();
    m_rows = currentCount();
    endResetModel();
}

void RecordsetModel::rowsArrived() {
    const int count = currentCount();
    if (count < m_rows) return reload();
    if (count == m_rows) return;
    beginInsertRows(QModelIndex(), m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}

int RecordsetModel::currentCount() const {
    if (!m_rs || !m_rs->isOpen() || m_rs->FieldCount() == 0) return 0;
    if (m_filtered) return int(m_visible.size());
    return m_rs->RecordCount();
}

void RecordsetModel::setRowFilter(std::vector<int> rows) {
    beginResetModel();
    m_filtered = true;
    m_visible = std::move(rows);
    m_rows = currentCount();
    endResetModel();
}

void RecordsetModel::clearRowFilter() {
    if (!m_filtered) return;
    beginResetModel();
    m_filtered = false;
    m_visible.clear();
    m_rows = currentCount();
    endResetModel();
}

int RecordsetModel::viewRow(int source) const {
    if (!m_filtered) return source;
    const auto it = std::lower_bound(m_visible.begin(), m_visible.end(), source);
    return it != m_visible.end() && *it == source ? int(it - m_visible.begin()) : -1;
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_rows;
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_rs || !m_rs->isOpen()) return 0;
    return m_rs->FieldCount();
}

namespace {
const QString kNullText = QStringLiteral("NULL");
// A cell shows no more than a screen could: laying out megabytes of text for one cell would
// stall every repaint. The whole value stays the edit text.
constexpr qsizetype kShownChars = 4096;
// QLineEdit, the cell editor, keeps no more than this many characters of a text.
constexpr qsizetype kEditorChars = 32767;
} // namespace

void RecordsetModel::setShowNull(bool show) {
    if (show == m_showNull) return;
    m_showNull = show;
    if (m_rows > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1),
                         {Qt::DisplayRole, ShownNullRole});
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole) {
        // Digits under digits, as numbers are read.
        if (!index.isValid() || index.column() >= columnCount() ||
            !db::isNumberType(m_rs->column(index.column()).type))
            return QVariant();
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole &&
                             role != Qt::AccessibleTextRole && role != ShownNullRole))
        return QVariant();
    if (index.row() >= rowCount() || index.row() >= currentCount() ||
        index.column() >= columnCount())
        return QVariant();
    const int row = sourceRow(index.row());
    const bool null = m_rs->isNull(row, index.column());
    if (role == ShownNullRole) return null && m_showNull;
    if (role == Qt::AccessibleTextRole && null) return kNullText;
    QString text;
    if (role == Qt::DisplayRole)
        shownText(index.row(), index.column(), text);
    else if (!null) // an edit of a Null starts from nothing, as the value holds nothing
        m_rs->textInto(row, index.column(), text);
    return text;
}

bool RecordsetModel::shownText(int row, int column, QString& text) const {
    if (m_rs->isNull(sourceRow(row), column)) {
        if (m_showNull)
            text = kNullText;
        else
            text.resize(0);
        return m_showNull;
    }
    m_rs->textInto(sourceRow(row), column, text);
    if (text.size() > kShownChars) {
        text.truncate(kShownChars);
        text += QChar(0x2026);
    }
    return false;
}

bool RecordsetModel::isTooLongToEdit(const QModelIndex& index) const {
    if (!index.isValid() || !m_rs || index.row() >= rowCount() || index.row() >= currentCount() ||
        index.column() >= columnCount())
        return false;
    // No more characters than bytes: only a long stored text needs reading.
    if (m_rs->storedBytes(sourceRow(index.row()), index.column()) <= size_t(kEditorChars))
        return false;
    return m_rs->text(sourceRow(index.row()), index.column()).size() > kEditorChars;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (!m_rs || section < 0 || section >= columnCount()) return QVariant();
    return m_rs->column(section).name;
}

bool RecordsetModel::readOnly() const {
    return m_rs && m_rs->ActiveConnection() && m_rs->ActiveConnection()->readOnly();
}

bool RecordsetModel::isComputed(const QModelIndex& index) const {
    return index.isValid() && m_rs && index.row() < rowCount() && index.column() < columnCount() &&
           !m_rs->fieldUpdatable(index.column());
}

bool RecordsetModel::isBinary(const QModelIndex& index) const {
    return index.isValid() && m_rs && index.row() < rowCount() && index.row() < currentCount() &&
           index.column() < columnCount() && m_rs->isBinary(sourceRow(index.row()), index.column());
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Bytes are shown as hex; typing hex over them would store text, so they are not edited.
    // Nor is a text longer than the editor holds: committing the editor would cut it.
    // A computed field is not in the base table: there is nothing to write it to.
    if (readOnly() || isComputed(index) || isBinary(index) || isTooLongToEdit(index))
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool RecordsetModel::changedValue(int row, int column, const QString& text,
                                  db::Value& value) const {
    const bool wasNull = m_rs->isNull(sourceRow(row), column);
    if ((wasNull && text.isEmpty()) || (!wasNull && m_rs->text(sourceRow(row), column) == text))
        return false;
    const db::ColumnInfo& info = m_rs->column(column);
    const bool textType =
        info.storage == db::Storage::Text && !info.decimalText && info.type != db::adGUID;
    value = text.isEmpty() && !textType ? db::Value::null() : db::Value(text);
    return true;
}

bool RecordsetModel::setRowTexts(int row, const std::vector<std::pair<int, QString>>& cells,
                                 db::Error& error) {
    std::vector<std::pair<int, db::Value>> values;
    for (const auto& [column, text] : cells) {
        db::Value v;
        if (changedValue(row, column, text, v)) values.emplace_back(column, std::move(v));
    }
    if (values.empty()) return true;
    const bool written = m_rs->setValues(sourceRow(row), values);
    if (!written) {
        const db::ErrorList& errors = m_rs->Errors();
        error = errors.empty() ? db::Error{db::ErrorNumber::Fail, QString(), QString()}
                               : errors.front();
    }
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return written;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !m_rs || isComputed(index) || isBinary(index) ||
        isTooLongToEdit(index))
        return false;
    db::Value v;
    // An edit that changes nothing writes nothing, so values the user did not touch (and
    // their exact bytes) stay as they are.
    if (!changedValue(index.row(), index.column(), value.toString(), v)) return true;
    if (!m_rs->setValue(sourceRow(index.row()), index.column(), v)) {
        const db::ErrorList& errors = m_rs->Errors();
        const db::Error e = errors.empty() ? db::Error{db::ErrorNumber::Fail, QString(), QString()}
                                           : errors.front();
        emit writeFailed(e.Number, e.Source, e.Description);
        emit dataChanged(index, index);
        return false;
    }
    emit dataChanged(index, index);
    return true;
}
