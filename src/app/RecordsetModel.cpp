#include "RecordsetModel.h"

#include "Recordset.h"

void RecordsetModel::setRecordset(std::shared_ptr<db::Recordset> rs) {
    beginResetModel();
    m_rs = std::move(rs);
    endResetModel();
}

void RecordsetModel::reload() {
    beginResetModel();
    endResetModel();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_rs || !m_rs->isOpen() || m_rs->FieldCount() == 0) return 0;
    return m_rs->RecordCount();
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_rs || !m_rs->isOpen()) return 0;
    return m_rs->FieldCount();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return QVariant();
    if (index.row() >= rowCount() || index.column() >= columnCount()) return QVariant();
    return m_rs->text(index.row(), index.column());
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (!m_rs || section < 0 || section >= columnCount()) return QVariant();
    return m_rs->column(section).name;
}
