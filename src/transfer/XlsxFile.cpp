#include "XlsxFile.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <optional>
#include <xlsxwriter.h>

namespace {
// The default palette behind the colour indexes 1 to 56.
constexpr quint32 kPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

std::optional<uint8_t> borderStyle(int weight) {
    switch (weight) {
    case xl::Hairline:
        return LXW_BORDER_HAIR;
    case xl::Thin:
        return LXW_BORDER_THIN;
    case xl::Medium:
        return LXW_BORDER_MEDIUM;
    case xl::Thick:
        return LXW_BORDER_THICK;
    default:
        return std::nullopt;
    }
}

std::optional<uint8_t> alignment(int value) {
    switch (value) {
    case xl::Center:
        return LXW_ALIGN_CENTER;
    case xl::Left:
        return LXW_ALIGN_LEFT;
    case xl::Right:
        return LXW_ALIGN_RIGHT;
    case xl::General:
        return LXW_ALIGN_NONE;
    default:
        return std::nullopt;
    }
}

// The look of one cell, packed so that equal looks share one format of the workbook.
struct CellLook {
    qint32 fill = -1; // RGB, -1 for none
    uint8_t align = LXW_ALIGN_NONE;
    uint8_t left = 0, right = 0, top = 0, bottom = 0; // LXW_BORDER_*
    CellSpool::NumberForm form = CellSpool::Plain;

    bool plain() const {
        return fill < 0 && align == LXW_ALIGN_NONE && !left && !right && !top && !bottom &&
               form == CellSpool::Plain;
    }
    quint64 key() const {
        return (quint64(quint32(fill + 1)) << 32) | (quint64(form) << 20) | (quint64(align) << 16) |
               (quint64(left) << 12) | (quint64(right) << 8) | (quint64(top) << 4) |
               quint64(bottom);
    }
};

// The number formats of dates and times, in the forms the program shows them.
const char* numberFormat(CellSpool::NumberForm form) {
    switch (form) {
    case CellSpool::Date:
        return "yyyy/mm/dd";
    case CellSpool::DateTime:
        return "yyyy/mm/dd hh:mm:ss";
    case CellSpool::Time:
        return "hh:mm:ss";
    case CellSpool::Plain:
        break;
    }
    return nullptr;
}

// Owns the libxlsxwriter workbook; closing writes the file.
struct WorkbookHandle {
    lxw_workbook* wb = nullptr;
    ~WorkbookHandle() {
        // An unclosed workbook still owns memory and scratch files; closing is the only release.
        if (wb) workbook_close(wb);
    }
    lxw_error close() {
        lxw_error e = workbook_close(wb);
        wb = nullptr;
        return e;
    }
};

// Looks of cells as the range formats give them; formats of the workbook are shared by equal
// looks, and rows that meet the ranges the same way are worked out once.
class SheetLooks {
public:
    SheetLooks(lxw_workbook* wb, const std::vector<RangeFormat>& formats)
        : m_wb(wb), m_formats(formats) {}

    // A date or time takes its number format beside what the ranges give.
    lxw_format* at(qint32 row, qint32 col, CellSpool::NumberForm form) {
        if (form != CellSpool::Plain) return compute(row, col, form);
        return at(row, col);
    }

    lxw_format* at(qint32 row, qint32 col) {
        m_signature.clear();
        for (const RangeFormat& op : m_formats)
            m_signature.push_back(quint8((row >= op.range.row1 && row <= op.range.row2) |
                                         (row == op.range.row1) << 1 |
                                         (row == op.range.row2) << 2));
        if (m_signature != m_rowSignature) {
            m_rowSignature = m_signature;
            m_row.assign(m_row.size(), std::nullopt);
        }
        if (size_t(col) >= m_row.size()) m_row.resize(size_t(col) + 1);
        std::optional<lxw_format*>& f = m_row[size_t(col)];
        if (!f) f = compute(row, col);
        return *f;
    }

    // The columns the ranges reach in a row (first > last when none).
    void span(qint32 row, qint32& first, qint32& last) const {
        first = xl::MaxColumns + 1;
        last = 0;
        for (const RangeFormat& op : m_formats)
            if (row >= op.range.row1 && row <= op.range.row2) {
                first = std::min(first, op.range.col1);
                last = std::max(last, op.range.col2);
            }
    }

    qint32 lastRow() const {
        qint32 last = 0;
        for (const RangeFormat& op : m_formats)
            last = std::max(last, op.range.row2);
        return last;
    }

private:
    lxw_format* compute(qint32 row, qint32 col, CellSpool::NumberForm form = CellSpool::Plain) {
        CellLook look;
        look.form = form;
        for (const RangeFormat& op : m_formats) {
            if (!contains(op.range, row, col)) continue;
            switch (op.kind) {
            case RangeFormat::Interior:
                look.fill = op.a == xl::ColorIndexNone ? -1 : qint32(kPalette[op.a - 1]);
                break;
            case RangeFormat::Alignment:
                look.align = *alignment(op.a);
                break;
            case RangeFormat::BorderEdge: {
                const uint8_t style = *borderStyle(op.b);
                if (op.a == xl::BorderLeft) look.left = style;
                if (op.a == xl::BorderRight) look.right = style;
                if (op.a == xl::BorderTop) look.top = style;
                if (op.a == xl::BorderBottom) look.bottom = style;
                break;
            }
            case RangeFormat::Around: {
                const uint8_t style = *borderStyle(op.a);
                if (col == op.range.col1) look.left = style;
                if (col == op.range.col2) look.right = style;
                if (row == op.range.row1) look.top = style;
                if (row == op.range.row2) look.bottom = style;
                break;
            }
            }
        }
        if (look.plain()) return nullptr;
        auto [it, added] = m_shared.try_emplace(look.key(), nullptr);
        if (added) {
            lxw_format* f = workbook_add_format(m_wb);
            if (look.fill >= 0) {
                format_set_pattern(f, LXW_PATTERN_SOLID);
                format_set_bg_color(f, lxw_color_t(look.fill));
            }
            if (look.align != LXW_ALIGN_NONE) format_set_align(f, look.align);
            if (look.left) format_set_left(f, look.left);
            if (look.right) format_set_right(f, look.right);
            if (look.top) format_set_top(f, look.top);
            if (look.bottom) format_set_bottom(f, look.bottom);
            if (const char* code = numberFormat(look.form)) format_set_num_format(f, code);
            it->second = f;
        }
        return it->second;
    }

    lxw_workbook* m_wb;
    const std::vector<RangeFormat>& m_formats;
    std::map<quint64, lxw_format*> m_shared;
    std::vector<quint8> m_signature, m_rowSignature;
    std::vector<std::optional<lxw_format*>> m_row;
};

// Writes the rows in order: the spooled cells, and blank cells wherever a range gives a look.
class RowWriter {
public:
    RowWriter(lxw_worksheet* sheet, SheetLooks& looks) : m_sheet(sheet), m_looks(looks) {}

    lxw_error cell(const CellSpool::Cell& c) {
        if (qint32(c.row) != m_row) startRow(qint32(c.row));
        if (!m_error)
            blanks(m_row, std::max(m_col + 1, m_first), std::min(qint32(c.col) - 1, m_last));
        if (m_error) return m_error;
        m_col = c.col;
        lxw_format* f = c.isText ? m_looks.at(m_row, m_col) : m_looks.at(m_row, m_col, c.form);
        const lxw_row_t r = lxw_row_t(m_row - 1);
        const lxw_col_t col = lxw_col_t(m_col - 1);
        m_error = c.isText ? worksheet_write_string(m_sheet, r, col, c.text.c_str(), f)
                           : worksheet_write_number(m_sheet, r, col, c.number, f);
        return m_error;
    }

    // The rest of the formatted rows after the last cell.
    lxw_error finish() {
        if (!m_error) startRow(std::max(m_looks.lastRow(), m_row) + 1);
        return m_error;
    }

private:
    void startRow(qint32 next) {
        if (m_row > 0) blanks(m_row, std::max(m_col + 1, m_first), m_last);
        for (qint32 r = m_row + 1; r < next && !m_error; ++r) {
            m_looks.span(r, m_first, m_last);
            blanks(r, m_first, m_last);
        }
        m_row = next;
        m_col = 0;
        m_looks.span(m_row, m_first, m_last);
    }

    void blanks(qint32 row, qint32 fromCol, qint32 toCol) {
        for (qint32 c = fromCol; c <= toCol && !m_error; ++c)
            if (lxw_format* f = m_looks.at(row, c))
                m_error = worksheet_write_blank(m_sheet, lxw_row_t(row - 1), lxw_col_t(c - 1), f);
    }

    lxw_worksheet* m_sheet;
    SheetLooks& m_looks;
    lxw_error m_error = LXW_NO_ERROR;
    qint32 m_row = 0, m_col = 0, m_first = 0, m_last = 0;
};

bool failed(QString& error, const QString& why) {
    error = why;
    return false;
}
} // namespace

bool isSupportedBorderWeight(int weight) {
    return borderStyle(weight).has_value();
}

bool isSupportedAlignment(int value) {
    return alignment(value).has_value();
}

bool writeXlsx(const QString& path, const QString& scratchFolder, CellSpool* cells,
               const std::vector<RangeFormat>& formats, const std::vector<int>& widths,
               QString& error) {
    QByteArray tmpdir = QFile::encodeName(scratchFolder);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to disk as they are written
    options.tmpdir = tmpdir.data();
    const QByteArray file = QFile::encodeName(path);
    WorkbookHandle book;
    book.wb = workbook_new_opt(file.constData(), &options);
    if (!book.wb) return failed(error, QStringLiteral("Cannot create ") + path);
    lxw_worksheet* sheet = workbook_add_worksheet(book.wb, "Sheet1");
    if (!sheet) return failed(error, QStringLiteral("Cannot add the sheet"));
    for (size_t c = 1; c < widths.size(); ++c)
        if (widths[c] > 0)
            worksheet_set_column(sheet, lxw_col_t(c - 1), lxw_col_t(c - 1),
                                 std::min(widths[c] + 1, 255), nullptr);

    SheetLooks looks(book.wb, formats);
    RowWriter rows(sheet, looks);
    lxw_error e = LXW_NO_ERROR;
    if (cells) {
        if (!cells->rewind()) return failed(error, cells->errorString());
        CellSpool::Cell cell;
        while (!e && cells->next(cell))
            e = rows.cell(cell);
        if (cells->failed()) return failed(error, cells->errorString());
    }
    if (!e) e = rows.finish();
    if (e) return failed(error, QString::fromUtf8(lxw_strerror(e)));
    e = book.close();
    if (e) return failed(error, QString::fromUtf8(lxw_strerror(e)) + QStringLiteral(": ") + path);
    return true;
}
