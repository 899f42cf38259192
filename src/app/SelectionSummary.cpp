#include "SelectionSummary.h"

#include "db/AdoType.h"
#include "db/Recordset.h"
#include "db/ValueText.h"
#include "transfer/SheetValues.h"

namespace {
bool isNumberType(int type) {
    switch (type) {
    case db::adSmallInt:
    case db::adInteger:
    case db::adSingle:
    case db::adDouble:
    case db::adCurrency:
    case db::adDecimal:
    case db::adTinyInt:
    case db::adUnsignedTinyInt:
    case db::adUnsignedSmallInt:
    case db::adUnsignedInt:
    case db::adBigInt:
    case db::adUnsignedBigInt:
    case db::adNumeric:
        return true;
    default:
        return false;
    }
}

// A driver may report a declared decimal as text (SQLite's ODBC driver does): its own name of
// the type still says what the values are.
bool isNumberColumn(const db::ColumnInfo& column) {
    return isNumberType(column.type) || column.decimalText ||
           column.typeName.startsWith(QLatin1String("decimal"), Qt::CaseInsensitive) ||
           column.typeName.startsWith(QLatin1String("numeric"), Qt::CaseInsensitive);
}
} // namespace

void SelectionSummary::start(std::shared_ptr<const db::Recordset> rs, std::vector<Block> blocks,
                             std::function<int(int)> sourceRow) {
    m_rs = std::move(rs);
    m_blocks = m_rs ? std::move(blocks) : std::vector<Block>{};
    m_sourceRow = std::move(sourceRow);
    m_numeric.clear();
    if (m_rs)
        for (int c = 0; c < m_rs->FieldCount(); ++c)
            m_numeric.push_back(isNumberColumn(m_rs->column(c)));
    m_block = 0;
    m_row = m_blocks.empty() ? 0 : m_blocks[0].top;
    m_column = m_blocks.empty() ? 0 : m_blocks[0].left;
    m_count = 0;
    m_numbers = 0;
    m_floats = false;
    m_sum = DecimalSum();
}

bool SelectionSummary::step(qint64 cells) {
    while (m_block < m_blocks.size() && cells > 0) {
        const Block& b = m_blocks[m_block];
        // Row by row within a block, so that a slice ends anywhere.
        for (; m_row <= b.bottom && cells > 0; ++m_row, m_column = b.left) {
            for (; m_column <= b.right && cells > 0; ++m_column, --cells)
                addCell(m_row, m_column);
            if (m_column <= b.right) return false;
        }
        if (m_row <= b.bottom) return false;
        if (++m_block < m_blocks.size()) {
            m_row = m_blocks[m_block].top;
            m_column = m_blocks[m_block].left;
        }
    }
    return done();
}

void SelectionSummary::addCell(int row, int column) {
    ++m_count;
    if (column < 0 || size_t(column) >= m_numeric.size() || !m_numeric[size_t(column)]) return;
    const int r = m_sourceRow ? m_sourceRow(row) : row;
    if (r < 0 || r >= m_rs->RecordCount() || m_rs->isNull(r, column)) return;
    long double value = 0;
    switch (m_rs->storage(column)) {
    case db::Storage::Int: {
        if (m_rs->intForm(column) != db::IntForm::Number) return;
        const qint64 v = m_rs->intAt(r, column);
        m_sum.add(v);
        value = (long double)v;
        break;
    }
    case db::Storage::Real: {
        // The shortest text that reads back as the double: 0.1 is 0.1, not its binary value.
        char text[32];
        const size_t n =
            db::realChars(m_rs->realAt(r, column), text, m_rs->column(column).type == db::adSingle);
        if (!m_sum.add(std::string_view(text, n), &value)) return;
        m_floats = true;
        break;
    }
    case db::Storage::Text: {
        if (!m_sum.add(m_rs->bytesAt(r, column), &value)) return;
        break;
    }
    case db::Storage::Blob:
        return;
    }
    ++m_numbers;
    noteExtreme(value, r, column);
}

void SelectionSummary::noteExtreme(long double value, int row, int column) {
    if (m_numbers == 1 || value < m_min) {
        m_min = value;
        m_minAt = {row, column};
    }
    if (m_numbers == 1 || value > m_max) {
        m_max = value;
        m_maxAt = {row, column};
    }
}

QString SelectionSummary::sumText() const {
    // A binary float is its shortest decimal text, which may carry the float's own drift
    // (0.30000000000000004): such a sum shows the 15 digits a spreadsheet shows.
    const QString exact = m_sum.text();
    return m_floats ? sheet_value::numberText(exact.toStdString()) : exact;
}

QString SelectionSummary::text() const {
    if (m_count < 2) return QString();
    QString text = QStringLiteral("個数: %1").arg(m_count);
    if (m_numbers == 0) return text;
    return text + QStringLiteral("  合計: %1  平均: %2  最小: %3  最大: %4")
                      .arg(sumText(), m_sum.dividedBy(m_numbers),
                           m_rs->text(m_minAt.first, m_minAt.second),
                           m_rs->text(m_maxAt.first, m_maxAt.second));
}
