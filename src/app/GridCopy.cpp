#include "GridCopy.h"

#include "db/Recordset.h"

namespace {
void appendText(QString& out, const QString& value) {
    static const QString quote = QStringLiteral("\"");
    const bool quoted = value.contains(QLatin1Char('\t')) || value.contains(QLatin1Char('\n')) ||
                        value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('"'));
    if (!quoted) {
        out += value;
        return;
    }
    out += quote;
    out += QString(value).replace(quote, QStringLiteral("\"\""));
    out += quote;
}

void appendCell(CopiedCells& out, const QString& value, bool first, const char* tag) {
    if (!first) out.text += QLatin1Char('\t');
    appendText(out.text, value);
    out.html += QLatin1Char('<') + QLatin1String(tag) + QLatin1Char('>');
    out.html += value.toHtmlEscaped().replace(QStringLiteral("\n"), QStringLiteral("<br>"));
    out.html += QLatin1String("</") + QLatin1String(tag) + QLatin1Char('>');
}

void appendNames(const db::Recordset& rs, const std::vector<int>& columns, CopiedCells& out) {
    out.html += QLatin1String("<tr>");
    for (size_t c = 0; c < columns.size(); ++c)
        appendCell(out, rs.column(columns[c]).name, c == 0, "th");
    out.html += QLatin1String("</tr>");
    out.text += QLatin1String("\r\n");
}

const QString kTableStart =
    QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>");
const QString kTableEnd = QStringLiteral("</table></body></html>");
} // namespace

bool copyCells(const db::Recordset& rs, const std::vector<int>& rows,
               const std::vector<int>& columns, bool withNames,
               const std::function<bool(qint64)>& step, CopiedCells& out) {
    out = {};
    out.html = kTableStart;
    if (withNames) appendNames(rs, columns, out);
    qint64 done = 0;
    for (int row : rows) {
        out.html += QLatin1String("<tr>");
        for (size_t c = 0; c < columns.size(); ++c) {
            const bool null = rs.isNull(row, columns[c]);
            appendCell(out, null ? QString() : rs.text(row, columns[c]), c == 0, "td");
        }
        out.html += QLatin1String("</tr>");
        out.text += QLatin1String("\r\n");
        if (step && !step(++done)) {
            out = {};
            return false;
        }
    }
    out.html += kTableEnd;
    return true;
}

CopiedCells copyColumnNames(const db::Recordset& rs, const std::vector<int>& columns) {
    CopiedCells out;
    out.html = kTableStart;
    appendNames(rs, columns, out);
    out.html += kTableEnd;
    return out;
}
