#include "ClipboardCells.h"

namespace {
bool endsCell(const QString& text, qsizetype at) {
    return at >= text.size() || text[at] == u'\t' || text[at] == u'\r' || text[at] == u'\n';
}

// Where the quoted cell starting at at ends (just past its closing quote), or -1 when the
// quote does not close before the cell's end.
qsizetype quotedEnd(const QString& text, qsizetype at) {
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != u'"') continue;
        if (i + 1 < text.size() && text[i + 1] == u'"') {
            ++i;
            continue;
        }
        return endsCell(text, i + 1) ? i + 1 : -1;
    }
    return -1;
}

class CellsSheet : public WorkbookReader {
public:
    explicit CellsSheet(std::vector<std::vector<QString>> rows) : m_rows(std::move(rows)) {}
    QStringList sheetNames() const override { return {QString()}; }
    bool selectSheet(int, db::Error&) override {
        m_next = 0;
        return true;
    }
    Status nextRow(qint64& rowNumber, std::vector<SheetCell>& cells, db::Error&) override {
        for (; m_next < m_rows.size(); ++m_next) {
            cells.clear();
            const std::vector<QString>& row = m_rows[m_next];
            for (size_t c = 0; c < row.size(); ++c) {
                if (row[c].isEmpty()) continue;
                cells.resize(c + 1);
                cells[c] = {SheetCell::Text, row[c].toStdString()};
            }
            if (!cells.empty()) {
                rowNumber = qint64(++m_next);
                return Row;
            }
        }
        return End;
    }

private:
    std::vector<std::vector<QString>> m_rows;
    size_t m_next = 0;
};
} // namespace

std::vector<std::vector<QString>> spreadsheetCells(const QString& text) {
    std::vector<std::vector<QString>> rows;
    std::vector<QString> row;
    qsizetype i = 0;
    while (i < text.size()) {
        QString cell;
        const qsizetype end = text[i] == u'"' ? quotedEnd(text, i) : -1;
        if (end > 0) {
            cell =
                text.mid(i + 1, end - i - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
            i = end;
        } else {
            const qsizetype start = i;
            while (!endsCell(text, i))
                ++i;
            cell = text.mid(start, i - start);
        }
        row.push_back(std::move(cell));
        if (i < text.size() && text[i] == u'\t') {
            ++i;
            // A tab at the very end still opens an empty last cell.
            if (i == text.size()) row.emplace_back();
            continue;
        }
        if (i < text.size() && text[i] == u'\r') ++i;
        if (i < text.size() && text[i] == u'\n') ++i;
        rows.push_back(std::move(row));
        row.clear();
    }
    if (!row.empty()) rows.push_back(std::move(row));
    while (!rows.empty() && rows.back().size() == 1 && rows.back().front().isEmpty())
        rows.pop_back();
    return rows;
}

std::unique_ptr<WorkbookReader> cellsSheet(std::vector<std::vector<QString>> rows) {
    return std::make_unique<CellsSheet>(std::move(rows));
}
