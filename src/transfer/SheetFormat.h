#pragma once

#include <QtGlobal>

// Constants of the spreadsheet's automation interface.
namespace xl {
constexpr int Center = -4108;
constexpr int Left = -4131;
constexpr int Right = -4152;
constexpr int General = 1;
// Border indexes that address that edge of every cell of a range.
constexpr int BorderLeft = -4131;
constexpr int BorderRight = -4152;
constexpr int BorderTop = -4160;
constexpr int BorderBottom = -4107;
// Border weights.
constexpr int Hairline = 1;
constexpr int Thin = 2;
constexpr int Medium = -4138;
constexpr int Thick = 4;
constexpr int ColorIndexNone = -4142;
// The sheet's size.
constexpr qint32 MaxRows = 1048576;
constexpr qint32 MaxColumns = 16384;
constexpr qint32 MaxCellCharacters = 32767;
} // namespace xl

// A block of cells from (row1, col1) to (row2, col2), 1-based as the sheet numbers them.
struct CellRange {
    qint32 row1, col1, row2, col2;
};

inline bool contains(const CellRange& r, qint32 row, qint32 col) {
    return row >= r.row1 && row <= r.row2 && col >= r.col1 && col <= r.col2;
}

// A format set on a range, in the order the calls came.
struct RangeFormat {
    enum Kind { Interior, Alignment, BorderEdge, Around } kind;
    CellRange range;
    int a = 0; // colour index, alignment, border index, or the weight around
    int b = 0; // the weight of a border edge
};
