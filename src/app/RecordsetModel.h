#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

namespace db {
class Recordset;
struct Error;
class Value;
} // namespace db

// Shows a record set in a grid: cells are read from the record set when the view asks for
// them, so a million rows cost nothing until they scroll into sight.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // True for a Null cell shown as the word: the view dims it and sets it in italics.
    static constexpr int ShownNullRole = Qt::UserRole + 1;
    // A Null cell shows the word "NULL", told apart from an empty text; off, it shows nothing.
    // Its edit text and its accessible text stay what they are either way.
    void setShowNull(bool show);
    bool showNull() const { return m_showNull; }

    void setRecordset(std::shared_ptr<db::Recordset> rs);
    const std::shared_ptr<db::Recordset>& recordset() const { return m_rs; }
    // The record set was re-read or re-sorted: show it anew.
    void reload();
    // The record set being opened has more rows than shown: they are added at the end.
    void rowsArrived();
    // Only these rows of the record set (positions in its order, ascending) are shown; a
    // reload or another record set shows all again.
    void setRowFilter(std::vector<int> rows);
    void clearRowFilter();
    bool filtered() const { return m_filtered; }
    // The record set's position of a row shown, and the row that shows a position (-1: none).
    int sourceRow(int row) const { return m_filtered ? m_visible[size_t(row)] : row; }
    int viewRow(int source) const;

    // What a cell of a row shown displays, into text (its memory reused): true when it is the
    // word for Null, which is set in italics.
    bool shownText(int row, int column, QString& text) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A cell of bytes: shown as hex, not edited.
    bool isBinary(const QModelIndex& index) const;
    // The database only reads: nothing is edited.
    bool readOnly() const;
    // A field that is not one column of the base table (an expression, an aggregate, a
    // column of another table): shown, not edited.
    bool isComputed(const QModelIndex& index) const;
    // A text longer than the cell editor holds: shown, not edited.
    bool isTooLongToEdit(const QModelIndex& index) const;
    // The value a cell's text stands for, as the editor writes it: an emptied cell is an empty
    // text in text columns, Null in all others. False when the cell holds that value already.
    bool changedValue(int row, int column, const QString& text, db::Value& value) const;
    // Writes several cells of a row shown (column and text) with one update of its row, those
    // whose value changes; false with the database's error in error.
    bool setRowTexts(int row, const std::vector<std::pair<int, QString>>& cells, db::Error& error);
    // Writes an edited cell to the database through the record set.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // A write the database refused; the cell keeps what the database holds.
    void writeFailed(qint32 number, const QString& source, const QString& description);

private:
    int currentCount() const;

    std::shared_ptr<db::Recordset> m_rs;
    // The rows the views know of; rows that arrive count only once announced.
    int m_rows = 0;
    bool m_showNull = true;
    bool m_filtered = false;
    std::vector<int> m_visible;
};
