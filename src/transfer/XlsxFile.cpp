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

    bool plain() const {
        return fill < 0 && align == LXW_ALIGN_NONE && !left && !right && !top && !bottom;
    }
    quint64 key() const {
        return (quint64(quint32(fill + 1)) << 32) | (quint64(align) << 16) | (quint64(left) << 12) |
               (quint64(right) << 8) | (quint64(top) << 4) | quint64(bottom);
    }
};

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

    std::map<quint64, lxw_format*> shared;
    auto lookAt = [&](qint32 row, qint32 col) -> lxw_format* {
        CellLook look;
        for (const RangeFormat& op : formats) {
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
        auto [it, added] = shared.try_emplace(look.key(), nullptr);
        if (added) {
            lxw_format* f = workbook_add_format(book.wb);
            if (look.fill >= 0) {
                format_set_pattern(f, LXW_PATTERN_SOLID);
                format_set_bg_color(f, lxw_color_t(look.fill));
            }
            if (look.align != LXW_ALIGN_NONE) format_set_align(f, look.align);
            if (look.left) format_set_left(f, look.left);
            if (look.right) format_set_right(f, look.right);
            if (look.top) format_set_top(f, look.top);
            if (look.bottom) format_set_bottom(f, look.bottom);
            it->second = f;
        }
        return it->second;
    };
    // Rows that meet the ranges the same way look the same: their formats are worked out once.
    std::vector<quint8> signature, cachedSignature;
    std::vector<lxw_format*> cachedRow;
    lxw_format* const unknown = reinterpret_cast<lxw_format*>(&cachedRow);
    auto formatAt = [&](qint32 row, qint32 col) -> lxw_format* {
        signature.clear();
        for (const RangeFormat& op : formats)
            signature.push_back(quint8((row >= op.range.row1 && row <= op.range.row2) |
                                       (row == op.range.row1) << 1 | (row == op.range.row2) << 2));
        if (signature != cachedSignature) {
            cachedSignature = signature;
            cachedRow.assign(cachedRow.size(), unknown);
        }
        if (size_t(col) >= cachedRow.size()) cachedRow.resize(size_t(col) + 1, unknown);
        lxw_format*& f = cachedRow[size_t(col)];
        if (f == unknown) f = lookAt(row, col);
        return f;
    };
    // The columns a row's formats reach, so that empty cells inside a range get their look too.
    auto formattedSpan = [&](qint32 row, qint32& first, qint32& last) {
        first = xl::MaxColumns + 1;
        last = 0;
        for (const RangeFormat& op : formats)
            if (row >= op.range.row1 && row <= op.range.row2) {
                first = std::min(first, op.range.col1);
                last = std::max(last, op.range.col2);
            }
    };
    auto blanks = [&](qint32 row, qint32 fromCol, qint32 toCol) -> lxw_error {
        for (qint32 c = fromCol; c <= toCol; ++c)
            if (lxw_format* f = formatAt(row, c)) {
                const lxw_error e =
                    worksheet_write_blank(sheet, lxw_row_t(row - 1), lxw_col_t(c - 1), f);
                if (e) return e;
            }
        return LXW_NO_ERROR;
    };
    qint32 lastFormattedRow = 0;
    for (const RangeFormat& op : formats)
        lastFormattedRow = std::max(lastFormattedRow, op.range.row2);

    lxw_error e = LXW_NO_ERROR;
    qint32 row = 0, col = 0, first = 0, last = 0;
    auto finishRow = [&] {
        if (row > 0) e = blanks(row, std::max(col + 1, first), last);
    };
    auto startRow = [&](qint32 next) {
        finishRow();
        for (qint32 r = row + 1; r < next && !e; ++r) {
            formattedSpan(r, first, last);
            e = blanks(r, first, last);
        }
        row = next;
        col = 0;
        formattedSpan(row, first, last);
    };
    if (cells && !cells->rewind()) return failed(error, cells->errorString());
    CellSpool::Cell cell;
    while (!e && cells && cells->next(cell)) {
        if (qint32(cell.row) != row) startRow(qint32(cell.row));
        if (!e) e = blanks(row, std::max(col + 1, first), std::min(qint32(cell.col) - 1, last));
        col = cell.col;
        lxw_format* f = formatAt(row, col);
        if (!e)
            e = cell.isText ? worksheet_write_string(sheet, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                                     cell.text.c_str(), f)
                            : worksheet_write_number(sheet, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                                     cell.number, f);
    }
    if (cells && cells->failed()) return failed(error, cells->errorString());
    if (!e) startRow(lastFormattedRow + 1);
    if (e) return failed(error, QString::fromUtf8(lxw_strerror(e)));
    e = book.close();
    if (e) return failed(error, QString::fromUtf8(lxw_strerror(e)) + QStringLiteral(": ") + path);
    return true;
}
