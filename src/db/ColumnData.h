#pragma once

#include "ColumnInfo.h"
#include "Value.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace db {

// The cells of one column, held compactly: a typed array or one text arena with offsets,
// and a null bitmap. Cells are appended while fetching and read on demand.
class ColumnData {
public:
    ColumnData(Storage storage, IntForm form, bool decimalText);

    Storage storage() const { return m_storage; }
    size_t size() const { return m_size; }
    void reserve(size_t rows);

    void appendNull();
    void appendInt(qint64 v);
    void appendReal(double v);
    void appendBytes(std::string_view bytes); // Text and Blob
    // Raw bytes in a text column (SQLite keeps each cell's own kind): shown as hex.
    void appendBlobInText(std::string_view bytes);
    // A cell holding bytes rather than text: every cell of a Blob column, marked ones of Text.
    bool isBinary(size_t row) const {
        if (m_storage == Storage::Blob) return true;
        return m_storage == Storage::Text && (row >> 6) < m_blobMarks.size() &&
               ((m_blobMarks[row >> 6] >> (row & 63)) & 1u);
    }
    // Text written straight into the arena by a converter, then closed with endText().
    std::string& arena() { return m_arena; }
    void endText();

    bool isNull(size_t row) const { return (m_nulls[row >> 6] >> (row & 63)) & 1u; }
    qint64 intAt(size_t row) const { return m_ints[row]; }
    double realAt(size_t row) const { return m_reals[row]; }
    std::string_view bytesAt(size_t row) const;

    QString text(size_t row) const;
    // The same text written into out, reusing its memory: for loops over every cell.
    void textInto(size_t row, QString& out) const;
    Value value(size_t row) const;

    // Store a value given as text (an edit or a new row). A text that does not fit the typed
    // storage turns the column into text storage.
    void set(size_t row, const Value& v);
    void append(const Value& v);

    // Moves the cells of other (a later block of the same column) to the end of this one;
    // other is left empty.
    void appendColumn(ColumnData& other);

    // Called when a cell arrives whose type the column's storage cannot hold.
    void promoteToText();

    // Three-way comparison of two rows; Null sorts first.
    int compare(size_t a, size_t b) const;

    size_t memoryBytes() const;

private:
    void pushNullBit(bool null);
    void markBlob(size_t row);
    void setNullBit(size_t row, bool null);
    bool parseInto(size_t row, const QString& text);

    Storage m_storage;
    IntForm m_form;
    bool m_decimalText;
    size_t m_size = 0;
    std::vector<quint64> m_nulls;
    std::vector<quint64> m_blobMarks; // empty unless a text column holds bytes
    std::vector<qint64> m_ints;
    std::vector<double> m_reals;
    std::vector<quint64> m_offsets{0};
    std::string m_arena;
    // Edited text cells; edits are rare, so the arena stays append-only.
    std::unordered_map<size_t, std::string> m_edited;
};

} // namespace db
