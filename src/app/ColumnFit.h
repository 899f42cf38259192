#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStringView>
#include <vector>

class RecordsetModel;

// How wide the values of a grid column are, as the cells show them: the widest line of each
// text in the grid's font, the word for Null in italics.
//
// Measuring every text of a million rows would take seconds, so each text is first estimated
// as the sum of its characters' widths (kept per character), which is what the text is wide
// apart from kerning; only the texts with the largest estimates are measured whole, and the
// rest count with their estimates.
class ColumnFit {
public:
    explicit ColumnFit(const QFont& font);

    // The width the widest text of the rows [first, end) of a column needs, no more than limit;
    // a text estimated at limit or more ends the search. Texts that cannot be wider than floor
    // are passed over unread: a width already given need not be found again.
    //
    // A column of integers (numbers, truth values, dates and times kept as numbers) is as wide
    // as the text of its smallest or of its largest value, which only those two show
    // (and one time of day, one False, where their texts take another shape): the others are
    // compared, not measured. A text is no wider than its bytes allow, so the texts of a
    // column are only read where their length could beat the widest so far.
    int widestText(const RecordsetModel& model, int column, int first, int end, int limit,
                   int floor = 0);
    // One text as a cell shows it, measured whole.
    int textWidth(QStringView text, bool nullWord) const;
    // The same, estimated from its characters.
    int estimate(QStringView text);

private:
    int widestNumber(const RecordsetModel& model, int column, int first, int end, int limit);

    // Widths in 64ths of a pixel: a text's characters add up without rounding each.
    qint32 advance(char16_t unit);
    qint32 pairAdvance(char32_t codePoint);

    QFontMetricsF m_metrics;
    QFontMetricsF m_italic;
    // Widths of the UTF-16 units met so far, -1 for those not yet asked for.
    std::vector<qint32> m_advances;
    QHash<char32_t, qint32> m_pairAdvances;
    // The widest printable ASCII character or the line's height, whichever is more, in whole
    // pixels: what one byte of UTF-8 shows at the most (control characters are read always).
    int m_perByte = 0;
};
