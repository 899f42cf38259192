#include "ExcelApplication.h"

#include "TextWidth.h"
#include "TransferErrors.h"
#include "TransferTexts.h"
#include "XlsxFile.h"
#include "db/ValueText.h"

#include <QDate>
#include <QFile>
#include <algorithm>
#include <optional>

namespace {
const QString kObjectDefined = QStringLiteral("Application-defined or object-defined error");

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

// A date or time as a spreadsheet takes it typed: its serial number in the 1900 system and its
// form.
struct TypedDate {
    double serial;
    CellSpool::NumberForm form;
};

// The number written in n ASCII digits at of s; -1 when they are not all digits.
int digitsAt(QStringView s, qsizetype at, int n) {
    if (at + n > s.size()) return -1;
    int value = 0;
    for (qsizetype i = at; i < at + n; ++i) {
        if (s[i] < u'0' || s[i] > u'9') return -1;
        value = value * 10 + (s[i].unicode() - '0');
    }
    return value;
}

// "hh:mm:ss" with an optional fraction of up to nine digits, the whole of s: the day's part.
std::optional<double> timeOfDay(QStringView s) {
    const int h = digitsAt(s, 0, 2), mi = digitsAt(s, 3, 2), sec = digitsAt(s, 6, 2);
    if (s.size() < 8 || s[2] != u':' || s[5] != u':' || h < 0 || mi < 0 || sec < 0 || h > 23 ||
        mi > 59 || sec > 59)
        return std::nullopt;
    double fraction = 0;
    if (s.size() > 8) {
        if (s[8] != u'.' || s.size() == 9 || s.size() > 18) return std::nullopt;
        double scale = 0.1;
        for (qsizetype i = 9; i < s.size(); ++i, scale /= 10) {
            if (s[i] < u'0' || s[i] > u'9') return std::nullopt;
            fraction += (s[i].unicode() - '0') * scale;
        }
    }
    return (h * 3600 + mi * 60 + sec + fraction) / 86400.0;
}

// A date or time in the forms the program and the databases write them ("2024/04/01",
// "2024-04-01 10:30:00", "10:30:00", seconds with a fraction); nothing for any other text and
// for dates the 1900 system cannot hold.
std::optional<TypedDate> typedDate(QStringView s) {
    if (s.size() >= 8 && s[2] == u':') {
        const std::optional<double> time = timeOfDay(s);
        if (!time) return std::nullopt;
        return TypedDate{*time, CellSpool::Time};
    }
    // "yyyy/mm/dd" or "yyyy-mm-dd", one separator throughout.
    if (s.size() < 10 || (s[4] != u'/' && s[4] != u'-') || s[7] != s[4]) return std::nullopt;
    const QDate date(digitsAt(s, 0, 4), digitsAt(s, 5, 2), digitsAt(s, 8, 2));
    if (!date.isValid() || date.year() < 1900) return std::nullopt;
    double serial = double(date.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
    // The 1900 system counts a 29 February 1900 that never was.
    if (date < QDate(1900, 3, 1)) serial -= 1;
    if (s.size() == 10) return TypedDate{serial, CellSpool::Date};
    // A date and a time, one blank apart.
    if (s[10] != u' ') return std::nullopt;
    const std::optional<double> time = timeOfDay(s.mid(11));
    if (!time) return std::nullopt;
    return TypedDate{serial + *time, CellSpool::DateTime};
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

} // namespace

std::unique_ptr<ExcelApplication>
ExcelApplication::Create(const QString& folder, std::function<bool(const QString&)> openWithDesktop,
                         db::Error& error) {
    if (folder.isEmpty()) {
        error = {xl::ErrorCannotCreate, QStringLiteral("ActiveX component can't create object"),
                 kExcelSource};
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
    return failWith({number, description, kExcelSource});
}

bool ExcelApplication::failWith(const db::Error& error) {
    m_error = error;
    return false;
}

bool ExcelApplication::WorkbooksAdd() {
    auto cells = std::make_unique<CellSpool>();
    if (!cells->open(m_folder))
        return failWith(transfer_error::writeFailure(m_folder, cells->errorString()));
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
        return fail(xl::ErrorSubscript, QStringLiteral("Subscript out of range"));
    m_hasSheet = true;
    return true;
}

bool ExcelApplication::requireSheet() {
    return m_hasSheet || fail(xl::ErrorObjectDefined, kObjectDefined);
}

bool ExcelApplication::checkRange(const CellRange& r) {
    if (!requireSheet()) return false;
    if (r.row1 < 1 || r.col1 < 1 || r.row2 < 1 || r.col2 < 1 || r.row1 > xl::MaxRows ||
        r.row2 > xl::MaxRows || r.col1 > xl::MaxColumns || r.col2 > xl::MaxColumns)
        return fail(xl::ErrorObjectDefined, kObjectDefined);
    return true;
}

bool ExcelApplication::PutCell(qint32 row, qint32 col, const QString& typed) {
    if (!checkRange({row, col, row, col})) return false;
    if (row < m_lastRow || (row == m_lastRow && col <= m_lastCol))
        return fail(xl::ErrorObjectDefined,
                    QStringLiteral("Cells must be filled row by row, left to right"));
    if (typed.isEmpty()) return true;
    int width = 0;
    bool ok = true;
    if (typed.front() != QLatin1Char('\'')) {
        if (const std::optional<TypedDate> date = typedDate(typed)) {
            width = int(typed.size());
            ok = m_cells->putNumber(quint32(row), quint16(col), date->serial, date->form);
        }
    }
    if (!width && ok && typed.front() != QLatin1Char('\'') && isNumericText(typed)) {
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
            return fail(xl::ErrorObjectDefined,
                        QStringLiteral("A cell holds at most 32767 characters"));
        width = displayWidth(text);
        m_utf8.clear();
        // A workbook's XML must be valid UTF-8: bytes that are not become U+FFFD.
        db::appendUtf16AsUtf8(m_utf8, reinterpret_cast<const char16_t*>(text.utf16()),
                              size_t(text.size()), false);
        ok = m_cells->putText(quint32(row), quint16(col), m_utf8);
    }
    if (!ok) return failWith(transfer_error::writeFailure(m_folder, m_cells->errorString()));
    m_lastRow = row;
    m_lastCol = col;
    if (size_t(col) >= m_measured.size()) m_measured.resize(size_t(col) + 1, 0);
    m_measured[size_t(col)] = std::max(m_measured[size_t(col)], width);
    return true;
}

bool ExcelApplication::SetInteriorColorIndex(const CellRange& range, int colorIndex) {
    if (!checkRange(range)) return false;
    if (colorIndex != xl::ColorIndexNone && (colorIndex < 1 || colorIndex > 56))
        return fail(xl::ErrorObjectDefined, kObjectDefined);
    m_ops.push_back({RangeFormat::Interior, range, colorIndex, 0});
    return true;
}

bool ExcelApplication::SetHorizontalAlignment(const CellRange& range, int value) {
    if (!checkRange(range)) return false;
    if (!isSupportedAlignment(value)) return fail(xl::ErrorObjectDefined, kObjectDefined);
    m_ops.push_back({RangeFormat::Alignment, range, value, 0});
    return true;
}

bool ExcelApplication::SetBorderWeight(const CellRange& range, int borderIndex, int weight) {
    if (!checkRange(range)) return false;
    const bool edge = borderIndex == xl::BorderLeft || borderIndex == xl::BorderRight ||
                      borderIndex == xl::BorderTop || borderIndex == xl::BorderBottom;
    if (!edge || !isSupportedBorderWeight(weight))
        return fail(xl::ErrorObjectDefined, kObjectDefined);
    m_ops.push_back({RangeFormat::BorderEdge, range, borderIndex, weight});
    return true;
}

bool ExcelApplication::BorderAround(const CellRange& range, int weight) {
    if (!checkRange(range)) return false;
    if (!isSupportedBorderWeight(weight)) return fail(xl::ErrorObjectDefined, kObjectDefined);
    m_ops.push_back({RangeFormat::Around, range, weight, 0});
    return true;
}

bool ExcelApplication::AutoFitColumns(const QString& columns) {
    if (!requireSheet()) return false;
    const qsizetype colon = columns.indexOf(QLatin1Char(':'));
    const qint32 first =
        columnNumber(QStringView(columns).left(colon < 0 ? columns.size() : colon));
    const qint32 last = colon < 0 ? first : columnNumber(QStringView(columns).mid(colon + 1));
    if (!first || !last || last < first) return fail(xl::ErrorObjectDefined, kObjectDefined);
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
            return failWith(transfer_error::fileAccess(candidate, reserve.errorString()));
        }
    }
    QString why;
    if (!writeXlsx(path, m_folder, m_cells.get(), m_ops, m_fitted, why)) {
        // Judged before the half-written file goes and frees its room.
        const db::Error failure = transfer_error::writeFailure(path, why);
        QFile::remove(path);
        return failWith(failure);
    }
    if (!m_openWithDesktop || !m_openWithDesktop(path)) {
        // The rows are in it: kept for the user to save, never thrown away.
        m_unopened = path;
        return fail(xl::ErrorCannotCreate, kNoXlsxHandler);
    }
    m_handedOver = path;
    m_cells.reset();
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
