#pragma once

#include "DecimalSum.h"

#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace db {
class Recordset;
}

// The count of the selected cells and, over those of numeric columns, the sum, average,
// minimum and maximum, as spreadsheets show them in their status bar. Read in slices, so that a
// selection of millions of cells never holds the window; Null and text cells are counted, not
// summed.
class SelectionSummary {
public:
    // Rows of the grid (first to last) and columns (first to last) selected.
    struct Block {
        int top;
        int bottom;
        int left;
        int right;
    };

    // Starts over on these blocks; sourceRow maps a grid row to the record set's row.
    void start(std::shared_ptr<const db::Recordset> rs, std::vector<Block> blocks,
               std::function<int(int)> sourceRow);
    // Reads up to cells more; true when every cell is read.
    bool step(qint64 cells);
    bool done() const { return m_block >= m_blocks.size(); }

    // "個数: 3  合計: 0.3  平均: 0.1  最小: 0  最大: 0.2"; the count alone without numbers,
    // empty for fewer than two cells.
    QString text() const;

private:
    void addCell(int row, int column);
    void noteExtreme(long double value, int row, int column);
    QString sumText() const;

    std::shared_ptr<const db::Recordset> m_rs;
    std::vector<Block> m_blocks;
    std::function<int(int)> m_sourceRow;
    std::vector<bool> m_numeric;
    size_t m_block = 0;
    int m_row = 0;
    int m_column = 0;
    qint64 m_count = 0;
    qint64 m_numbers = 0;
    // Some terms were binary floats.
    bool m_floats = false;
    DecimalSum m_sum;
    long double m_min = 0;
    long double m_max = 0;
    // Where the extremes are (record set row, column): their text is read once, when shown.
    std::pair<int, int> m_minAt;
    std::pair<int, int> m_maxAt;
};
