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
    // a text estimated at limit or more ends the search.
    int widestText(const RecordsetModel& model, int column, int first, int end, int limit);
    // One text as a cell shows it, measured whole.
    int textWidth(QStringView text, bool nullWord) const;
    // The same, estimated from its characters.
    int estimate(QStringView text);

private:
    // Widths in 64ths of a pixel: a text's characters add up without rounding each.
    qint32 advance(char16_t unit);
    qint32 pairAdvance(char32_t codePoint);

    QFontMetricsF m_metrics;
    QFontMetricsF m_italic;
    // Widths of the UTF-16 units met so far, -1 for those not yet asked for.
    std::vector<qint32> m_advances;
    QHash<char32_t, qint32> m_pairAdvances;
};
