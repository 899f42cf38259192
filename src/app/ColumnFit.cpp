#include "ColumnFit.h"

#include "RecordsetModel.h"
#include "db/Recordset.h"

#include <algorithm>
#include <cmath>
#include <queue>

namespace {
QFont italicOf(QFont font) {
    font.setItalic(true);
    return font;
}

// The cell lays a text out in lines: at a line feed, or the line separator it becomes.
bool endsLine(char16_t unit) {
    return unit == u'\n' || unit == 0x2028;
}

// Texts whose estimates stand highest are measured whole; a column of values of one shape
// (dates, codes) has thousands of equal estimates, so their number is bounded.
constexpr size_t kMeasured = 32;

struct Candidate {
    int estimate;
    int row;
    bool operator>(const Candidate& other) const { return estimate > other.estimate; }
};
} // namespace

ColumnFit::ColumnFit(const QFont& font)
    : m_metrics(font), m_italic(italicOf(font)), m_advances(0x10000, -1) {
    for (char16_t c = 0x20; c < 0x7f; ++c)
        m_perByte = std::max(m_perByte, int(std::ceil(m_metrics.horizontalAdvance(QChar(c)))));
    // A character of three bytes may be three ems wide (a long dash).
    m_perByte = std::max(m_perByte, int(std::ceil(m_metrics.height())));
}

namespace {
// Tabs and other control characters are laid out wider than any glyph: such a text is
// always read.
bool hasControls(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char b) { return static_cast<unsigned char>(b) < 0x20; });
}
} // namespace

namespace {
qint32 in64ths(qreal width) {
    return qint32(std::clamp(std::ceil(width * 64), 0.0, 1e9));
}
// A width in 64ths as whole pixels, rounded up as the cell's layout rounds it.
int wholePixels(qint64 width64) {
    return int((width64 + 63) / 64);
}
} // namespace

qint32 ColumnFit::advance(char16_t unit) {
    qint32& known = m_advances[unit];
    if (known < 0) known = in64ths(m_metrics.horizontalAdvance(QChar(unit)));
    return known;
}

qint32 ColumnFit::pairAdvance(char32_t codePoint) {
    const auto it = m_pairAdvances.constFind(codePoint);
    if (it != m_pairAdvances.cend()) return *it;
    const char32_t units[] = {codePoint};
    const qint32 width = in64ths(m_metrics.horizontalAdvance(QString::fromUcs4(units, 1)));
    m_pairAdvances.insert(codePoint, width);
    return width;
}

int ColumnFit::estimate(QStringView text) {
    qint64 widest = 0, line = 0;
    const qsizetype n = text.size();
    const char16_t* units = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = units[i];
        if (endsLine(u)) {
            widest = std::max(widest, line);
            line = 0;
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            line += pairAdvance(QChar::surrogateToUcs4(u, units[i + 1]));
            ++i;
        } else {
            line += advance(u);
        }
    }
    return wholePixels(std::max(widest, line));
}

int ColumnFit::textWidth(QStringView text, bool nullWord) const {
    const QFontMetricsF& metrics = nullWord ? m_italic : m_metrics;
    qreal widest = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !endsLine(text[i].unicode())) continue;
        if (i > start)
            widest =
                std::max(widest, metrics.horizontalAdvance(text.mid(start, i - start).toString()));
        start = i + 1;
    }
    return int(std::ceil(widest));
}

int ColumnFit::widestNumber(const RecordsetModel& model, int column, int first, int end,
                            int limit) {
    const db::Recordset& rs = *model.recordset();
    const qint32 held = rs.RecordCount();
    // Besides the extremes, the one value whose text has another shape: a time of day where
    // midnight shows the date alone, False among truth values.
    const db::IntForm form = rs.intForm(column);
    int smallest = -1, largest = -1, null = -1, other = -1;
    qint64 low = 0, high = 0;
    for (int row = first; row < end; ++row) {
        const int at = model.sourceRow(row);
        if (at >= held) continue;
        if (rs.isNull(at, column)) {
            if (null < 0) null = row;
            continue;
        }
        const qint64 v = rs.intAt(at, column);
        if (smallest < 0 || v < low) low = v, smallest = row;
        if (largest < 0 || v > high) high = v, largest = row;
        if (other < 0 && ((form == db::IntForm::Timestamp && v % 1000000 != 0) ||
                          (form == db::IntForm::Bool && v == 0)))
            other = row;
    }
    int widest = 0;
    QString text;
    for (const int row : {smallest, largest, other})
        if (row >= 0 && !model.shownText(row, column, text))
            widest = std::max(widest, textWidth(text, false));
    if (null >= 0 && model.shownText(null, column, text))
        widest = std::max(widest, textWidth(text, true));
    return std::min(widest, limit);
}

int ColumnFit::widestText(const RecordsetModel& model, int column, int first, int end, int limit,
                          int floor) {
    const db::Recordset& rs = *model.recordset();
    if (rs.storage(column) == db::Storage::Int)
        return widestNumber(model, column, first, end, limit);
    const bool bytes = rs.storage(column) != db::Storage::Real;
    const qint32 held = rs.RecordCount();
    // The highest estimates, the lowest of them on top.
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> highest;
    int others = 0; // the highest estimate of the texts not kept for measuring
    int nullWord = 0;
    QString text;
    for (int row = first; row < end; ++row) {
        const int at = model.sourceRow(row);
        // Rows a deletion took that the view has not heard of yet.
        if (at >= held) continue;
        if (bytes) {
            // Bytes show as two hex digits each.
            const qint64 most =
                qint64(rs.storedBytes(at, column)) * m_perByte * (rs.isBinary(at, column) ? 2 : 1);
            if (most <= std::max(floor, others) && !rs.isNull(at, column) &&
                !hasControls(rs.bytesAt(at, column)))
                continue;
        }
        if (model.shownText(row, column, text)) {
            if (nullWord == 0) nullWord = textWidth(text, true);
            continue;
        }
        const int e = estimate(text);
        if (e >= limit) return limit;
        if (highest.size() < kMeasured) {
            highest.push({e, row});
        } else if (e > highest.top().estimate) {
            others = std::max(others, highest.top().estimate);
            highest.pop();
            highest.push({e, row});
        } else {
            others = std::max(others, e);
        }
    }
    // Kerning makes a text narrower than its characters, seldom wider: a text not measured is
    // no wider than its estimate, which is no higher than any measured one's.
    int widest = std::max(others, nullWord);
    for (; !highest.empty(); highest.pop()) {
        model.shownText(highest.top().row, column, text);
        widest = std::max(widest, textWidth(text, false));
    }
    return std::min(widest, limit);
}
