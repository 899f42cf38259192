#pragma once

#include "ColumnData.h"
#include "ColumnInfo.h"

#include <vector>

namespace db {

// What a backend hands back for one statement: no columns for a statement without rows.
struct ResultData {
    std::vector<ColumnInfo> columns;
    std::vector<ColumnData> data;
    size_t rows = 0;
    // Rows the statements of a text without rows changed (ADO's RecordsAffected); -1 when no
    // statement of it changes rows or the driver cannot tell.
    qint64 recordsAffected = -1;

    void addColumn(ColumnInfo info) {
        data.emplace_back(info.storage, info.intForm, info.decimalText, info.singleFloat);
        columns.push_back(std::move(info));
    }
    // Drops the rows and keeps the columns, for the next block of a streamed result.
    void clearRows() {
        data.clear();
        for (const ColumnInfo& c : columns)
            data.emplace_back(c.storage, c.intForm, c.decimalText, c.singleFloat);
        rows = 0;
    }
    // Appends the rows of held, whose columns are these, and empties it.
    void takeRowsOf(ResultData& held) {
        if (held.rows == 0) return;
        if (data.size() != held.data.size()) clearRows();
        for (size_t i = 0; i < held.data.size(); ++i)
            data[i].appendColumn(held.data[i]);
        rows += held.rows;
        held.clearRows();
    }
    // The same, keeping the memory of the rows for the next block.
    void clearRowsKeepingMemory() {
        if (data.size() != columns.size()) return clearRows();
        for (size_t i = 0; i < columns.size(); ++i)
            data[i].clearKeepingMemory(columns[i].storage);
        rows = 0;
    }
    void clear() {
        columns.clear();
        data.clear();
        rows = 0;
        recordsAffected = -1;
    }
    // Adds one statement's count to the text's; a statement that cannot tell (-1) adds none.
    void addAffected(qint64 n) {
        if (n >= 0) recordsAffected = recordsAffected < 0 ? n : recordsAffected + n;
    }
};

struct TableEntry {
    QString Name;
    QString Type;
    // The schema (owner) the table belongs to, where the database has schemas.
    QString Schema = {};
};

// How a database stores identifiers written without quotes.
enum class IdentifierCase {
    Upper,     // folded to upper case
    Lower,     // folded to lower case
    Sensitive, // kept as written, and compared case-sensitively
    Mixed,     // kept as written, compared without regard to case
};

} // namespace db
