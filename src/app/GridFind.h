#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace db {
class Recordset;
}

// Finding a text in the cells of a result as the grid shows them (Null never matches).
class GridFind {
public:
    GridFind(const db::Recordset& rs, const QString& text, bool matchCase);

    bool empty() const { return m_text.isEmpty(); }
    // The cell at this position in the record set's order holds the text.
    bool cellHolds(int row, int col);
    bool rowHolds(int row);
    // The rows that hold the text anywhere, in order.
    std::vector<int> rowsHolding();

private:
    const db::Recordset& m_rs;
    QString m_text;
    QByteArray m_utf8;
    Qt::CaseSensitivity m_case;
    bool m_asciiText;
    QString m_scratch;
};
