#pragma once

#include "ColumnInfo.h"
#include "PageArray.h"
#include "Value.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace db {

// The cells of one column, held compactly in segments of 65536 rows: a typed array or one
// text arena with 32-bit offsets, and a null bitmap. Cells are appended while fetching and
// read on demand. Segments keep growth in small steps, so a large result never needs a
// second copy of a whole column while it is read; their arrays live on PageArray, so growing
// one never copies it and a block handed over gives its pages back at once.
class ColumnData {
public:
    using Arena = PageArray<char>;

    // single: the doubles of a Real column are 4-byte floats (their text is the float's).
    ColumnData(Storage storage, IntForm form, bool decimalText, bool single = false);

    Storage storage() const { return m_storage; }
    IntForm intForm() const { return m_form; }
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
        if (m_storage != Storage::Text) return false;
        const Segment& s = m_segments[row >> kSegmentBits];
        const size_t i = row & kSegmentMask;
        return (i >> 6) < s.blobMarks.size() && ((s.blobMarks[i >> 6] >> (i & 63)) & 1u);
    }
    // Text written straight into the arena by a converter, then closed with endText().
    Arena& arena() { return tail().arena; }
    void endText();

    bool isNull(size_t row) const {
        const size_t i = row & kSegmentMask;
        return (m_segments[row >> kSegmentBits].nulls[i >> 6] >> (i & 63)) & 1u;
    }
    qint64 intAt(size_t row) const {
        return m_segments[row >> kSegmentBits].intAt(row & kSegmentMask);
    }
    double realAt(size_t row) const {
        return m_segments[row >> kSegmentBits].reals[row & kSegmentMask];
    }
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
    // Gives back what the last segment holds in reserve, once no more rows come.
    void squeeze();
    // Drops every cell and starts again with this storage, keeping the first segment's
    // memory: the next block of a streamed result then needs no new pages.
    void clearKeepingMemory(Storage storage);

private:
    static constexpr size_t kSegmentBits = 16;
    static constexpr size_t kSegmentRows = size_t(1) << kSegmentBits;
    static constexpr size_t kSegmentMask = kSegmentRows - 1;

    struct Segment {
        size_t rows = 0;
        std::vector<quint64> nulls;
        std::vector<quint64> blobMarks; // empty unless a text column holds bytes
        // Integers in 32 bits while every one of the segment fits, else in 64.
        bool wide = false;
        PageArray<qint32> narrow;
        PageArray<qint64> ints;
        PageArray<double> reals;
        // Where each cell's text ends in the arena; wideOffsets instead once the arena
        // outgrows 32 bits. While every cell so far has the same length (codes, dates kept as
        // text) there are no offsets at all: the cells are width bytes each.
        bool fixedWidth = true;
        quint64 width = 0;
        size_t cells = 0;
        PageArray<quint32> offsets;
        PageArray<quint64> wideOffsets;
        Arena arena;

        quint64 end(size_t i) const {
            if (fixedWidth) return (i + 1) * width;
            return wideOffsets.empty() ? offsets[i] : wideOffsets[i];
        }
        quint64 offset(size_t i) const { return i == 0 ? 0 : end(i - 1); }
        qint64 intAt(size_t i) const { return wide ? ints[i] : narrow[i]; }
        void pushInt(qint64 v);
        void setInt(size_t i, qint64 v);
        void widen();
        void pushOffset(quint64 end);
        void squeeze();
        // Empty again, every field as a new segment has it, the memory kept.
        void clear();
        size_t memoryBytes() const;
    };

    // The segment the next cell goes to.
    Segment& tail();
    void pushNullBit(bool null);
    void markBlob(size_t row);
    void setNullBit(size_t row, bool null);
    bool parseInto(size_t row, const QString& text);
    // Appends rows [from, from + count) of another column's segment, all into the tail.
    void appendRange(const Segment& s, size_t from, size_t count);

    Storage m_storage;
    IntForm m_form;
    bool m_decimalText;
    bool m_single;
    size_t m_size = 0;
    std::vector<Segment> m_segments;
    // Edited text cells; edits are rare, so the arena stays append-only.
    std::unordered_map<size_t, std::string> m_edited;
};

} // namespace db
