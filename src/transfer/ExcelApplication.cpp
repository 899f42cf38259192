#include "ExcelApplication.h"

#include "OutputTexts.h"
#include "TextWidth.h"
#include "ValueText.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <xlsxwriter.h>

namespace {
const QString kObjectDefined = QStringLiteral("Application-defined or object-defined error");

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

// Numbers as typed input takes them: sign, digits with one optional point, optional exponent.
bool isNumericText(const QString& s) {
    qsizetype i = 0, n = s.size();
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
    bool digits = false;
    while (i < n && s[i].isDigit() && s[i].unicode() < 0x80)
        ++i, digits = true;
    if (i < n && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && s[i].isDigit() && s[i].unicode() < 0x80)
            ++i, digits = true;
    }
    if (!digits) return false;
    if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
        bool exponent = false;
        while (i < n && s[i].isDigit() && s[i].unicode() < 0x80)
            ++i, exponent = true;
        if (!exponent) return false;
    }
    return i == n;
}

// "A" is 1, "IV" 256; 0 for anything that is not a column name.
qint32 columnNumber(QStringView letters) {
    if (letters.isEmpty() || letters.size() > 3) return 0;
    qint32 n = 0;
    for (QChar c : letters) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z') return 0;
        n = n * 26 + (u - u'A' + 1);
    }
    return n <= xl::MaxColumns ? n : 0;
}

bool contains(const CellRange& r, qint32 row, qint32 col) {
    return row >= r.row1 && row <= r.row2 && col >= r.col1 && col <= r.col2;
}

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
} // namespace

std::unique_ptr<ExcelApplication>
ExcelApplication::Create(const QString& folder, std::function<bool(const QString&)> openWithDesktop,
                         db::Error& error) {
    if (folder.isEmpty()) {
        error = {OutputError::CannotCreateObject,
                 QStringLiteral("ActiveX component can't create object"), kProgramSource};
        return nullptr;
    }
    return std::unique_ptr<ExcelApplication>(
        new ExcelApplication(folder, std::move(openWithDesktop)));
}

ExcelApplication::ExcelApplication(QString folder,
                                   std::function<bool(const QString&)> openWithDesktop)
    : m_folder(std::move(folder)), m_openWithDesktop(std::move(openWithDesktop)) {}

ExcelApplication::~ExcelApplication() = default;

bool ExcelApplication::fail(qint32 number, const QString& description) {
    m_error = {number, description, kExcelSource};
    return false;
}

bool ExcelApplication::WorkbooksAdd() {
    auto cells = std::make_unique<CellSpool>();
    if (!cells->open(m_folder))
        return fail(OutputError::PathFileAccess,
                    QStringLiteral("Cannot create a file in ") + m_folder);
    m_cells = std::move(cells);
    m_hasWorkbook = true;
    m_hasSheet = false;
    m_lastRow = m_lastCol = 0;
    m_ops.clear();
    m_measured.clear();
    m_fitted.clear();
    return true;
}

bool ExcelApplication::Worksheets(const QString& name) {
    if (!m_hasWorkbook || name != QLatin1String("Sheet1"))
        return fail(OutputError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    m_hasSheet = true;
    return true;
}

bool ExcelApplication::requireSheet() {
    return m_hasSheet || fail(OutputError::ObjectDefined, kObjectDefined);
}

bool ExcelApplication::checkRange(const CellRange& r) {
    if (!requireSheet()) return false;
    if (r.row1 < 1 || r.col1 < 1 || r.row2 < 1 || r.col2 < 1 || r.row1 > xl::MaxRows ||
        r.row2 > xl::MaxRows || r.col1 > xl::MaxColumns || r.col2 > xl::MaxColumns)
        return fail(OutputError::ObjectDefined, kObjectDefined);
    return true;
}

bool ExcelApplication::PutCell(qint32 row, qint32 col, const QString& typed) {
    if (!checkRange({row, col, row, col})) return false;
    if (row < m_lastRow || (row == m_lastRow && col <= m_lastCol))
        return fail(OutputError::ObjectDefined,
                    QStringLiteral("Cells must be filled row by row, left to right"));
    if (typed.isEmpty()) return true;
    int width = 0;
    bool ok = true;
    if (typed.front() != QLatin1Char('\'') && isNumericText(typed)) {
        const double value = typed.toDouble(&ok);
        if (ok) {
            // A number shows in at most eleven characters.
            width = int(std::min<qsizetype>(typed.size(), 11));
            ok = m_cells->putNumber(quint32(row), quint16(col), value);
        } else {
            ok = true; // beyond the range of numbers: kept as the text typed
        }
    }
    if (!width && ok) {
        const QStringView text =
            typed.front() == QLatin1Char('\'') ? QStringView(typed).mid(1) : QStringView(typed);
        if (text.size() > xl::MaxCellCharacters)
            return fail(OutputError::ObjectDefined,
                        QStringLiteral("A cell holds at most 32767 characters"));
        width = displayWidth(text);
        m_utf8.clear();
        db::appendUtf16AsUtf8(m_utf8, reinterpret_cast<const char16_t*>(text.utf16()),
                              size_t(text.size()));
        ok = m_cells->putText(quint32(row), quint16(col), m_utf8);
    }
    if (!ok) return fail(OutputError::DeviceIo, m_cells->errorString());
    m_lastRow = row;
    m_lastCol = col;
    if (size_t(col) >= m_measured.size()) m_measured.resize(size_t(col) + 1, 0);
    m_measured[size_t(col)] = std::max(m_measured[size_t(col)], width);
    return true;
}

bool ExcelApplication::SetInteriorColorIndex(const CellRange& range, int colorIndex) {
    if (!checkRange(range)) return false;
    if (colorIndex != xl::ColorIndexNone && (colorIndex < 1 || colorIndex > 56))
        return fail(OutputError::ObjectDefined, kObjectDefined);
    m_ops.push_back({RangeOp::Interior, range, colorIndex, 0});
    return true;
}

bool ExcelApplication::SetHorizontalAlignment(const CellRange& range, int value) {
    if (!checkRange(range)) return false;
    if (!alignment(value)) return fail(OutputError::ObjectDefined, kObjectDefined);
    m_ops.push_back({RangeOp::Alignment, range, value, 0});
    return true;
}

bool ExcelApplication::SetBorderWeight(const CellRange& range, int borderIndex, int weight) {
    if (!checkRange(range)) return false;
    const bool edge = borderIndex == xl::BorderLeft || borderIndex == xl::BorderRight ||
                      borderIndex == xl::BorderTop || borderIndex == xl::BorderBottom;
    if (!edge || !borderStyle(weight)) return fail(OutputError::ObjectDefined, kObjectDefined);
    m_ops.push_back({RangeOp::BorderEdge, range, borderIndex, weight});
    return true;
}

bool ExcelApplication::BorderAround(const CellRange& range, int weight) {
    if (!checkRange(range)) return false;
    if (!borderStyle(weight)) return fail(OutputError::ObjectDefined, kObjectDefined);
    m_ops.push_back({RangeOp::Around, range, weight, 0});
    return true;
}

bool ExcelApplication::AutoFitColumns(const QString& columns) {
    if (!requireSheet()) return false;
    const qsizetype colon = columns.indexOf(QLatin1Char(':'));
    const qint32 first =
        columnNumber(QStringView(columns).left(colon < 0 ? columns.size() : colon));
    const qint32 last = colon < 0 ? first : columnNumber(QStringView(columns).mid(colon + 1));
    if (!first || !last || last < first) return fail(OutputError::ObjectDefined, kObjectDefined);
    const qint32 end = std::min<qint32>(last, qint32(m_measured.size()) - 1);
    if (size_t(end) + 1 > m_fitted.size()) m_fitted.resize(size_t(std::max(end, 0)) + 1, 0);
    for (qint32 c = first; c <= end; ++c)
        if (m_measured[size_t(c)] > 0) m_fitted[size_t(c)] = m_measured[size_t(c)];
    return true;
}

bool ExcelApplication::SetVisible(bool visible) {
    if (!visible || !m_handedOver.isEmpty()) return true;
    if (!requireSheet()) return false;
    // The first free "Book" + N, taken at once so that a second process picks another.
    QString path;
    for (int n = 1; path.isEmpty(); ++n) {
        const QString candidate = m_folder + QStringLiteral("Book%1.xlsx").arg(n);
        if (QFile::exists(candidate)) continue;
        QFile reserve(candidate);
        if (reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            path = candidate;
        } else if (!QFile::exists(candidate)) {
            return fail(OutputError::PathFileAccess,
                        reserve.errorString() + QStringLiteral(": ") + candidate);
        }
    }
    if (!writeWorkbook(path)) {
        QFile::remove(path);
        return false;
    }
    if (!m_openWithDesktop || !m_openWithDesktop(path)) {
        QFile::remove(path);
        return fail(OutputError::CannotCreateObject, kNoXlsxHandler);
    }
    m_handedOver = path;
    m_cells.reset();
    return true;
}

bool ExcelApplication::writeWorkbook(const QString& path) {
    QByteArray tmpdir = QFile::encodeName(m_folder);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to disk as they are written
    options.tmpdir = tmpdir.data();
    const QByteArray file = QFile::encodeName(path);
    WorkbookHandle book;
    book.wb = workbook_new_opt(file.constData(), &options);
    if (!book.wb) return fail(OutputError::PathFileAccess, QStringLiteral("Cannot create ") + path);
    lxw_worksheet* sheet = workbook_add_worksheet(book.wb, "Sheet1");
    if (!sheet) return fail(OutputError::ObjectDefined, kObjectDefined);
    for (size_t c = 1; c < m_fitted.size(); ++c)
        if (m_fitted[c] > 0)
            worksheet_set_column(sheet, lxw_col_t(c - 1), lxw_col_t(c - 1),
                                 std::min(m_fitted[c] + 1, 255), nullptr);

    std::map<quint64, lxw_format*> formats;
    auto lookAt = [&](qint32 row, qint32 col) -> lxw_format* {
        CellLook look;
        for (const RangeOp& op : m_ops) {
            if (!contains(op.range, row, col)) continue;
            switch (op.kind) {
            case RangeOp::Interior:
                look.fill = op.a == xl::ColorIndexNone ? -1 : qint32(kPalette[op.a - 1]);
                break;
            case RangeOp::Alignment:
                look.align = *alignment(op.a);
                break;
            case RangeOp::BorderEdge: {
                const uint8_t style = *borderStyle(op.b);
                if (op.a == xl::BorderLeft) look.left = style;
                if (op.a == xl::BorderRight) look.right = style;
                if (op.a == xl::BorderTop) look.top = style;
                if (op.a == xl::BorderBottom) look.bottom = style;
                break;
            }
            case RangeOp::Around: {
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
        auto [it, added] = formats.try_emplace(look.key(), nullptr);
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
        for (const RangeOp& op : m_ops)
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
        for (const RangeOp& op : m_ops)
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
    for (const RangeOp& op : m_ops)
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
    if (m_cells && !m_cells->rewind()) return fail(OutputError::DeviceIo, m_cells->errorString());
    CellSpool::Cell cell;
    while (!e && m_cells && m_cells->next(cell)) {
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
    if (m_cells && m_cells->failed()) return fail(OutputError::DeviceIo, m_cells->errorString());
    if (!e) startRow(lastFormattedRow + 1);
    if (e) return fail(OutputError::ObjectDefined, QString::fromUtf8(lxw_strerror(e)));
    e = book.close();
    if (e)
        return fail(OutputError::DeviceIo,
                    QString::fromUtf8(lxw_strerror(e)) + QStringLiteral(": ") + path);
    return true;
}

bool ExcelApplication::CloseWorkbook(bool /*saveChanges*/) {
    // The workbook lives only as scratch data until it is handed over, so nothing is saved.
    m_cells.reset();
    m_hasWorkbook = m_hasSheet = false;
    m_ops.clear();
    return true;
}

void ExcelApplication::Quit() {
    CloseWorkbook(false);
}
