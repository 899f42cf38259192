#pragma once

#include "PgTypes.h"
#include "db/Backend.h"

typedef struct pg_result PGresult;

namespace db {

class PgBackend;

// The rest of a text sent to the server: the rows of its first statement that returns rows,
// as they stream in, then the results of the statements after it, which are read past.
class PgCursor : public RowCursor {
public:
    explicit PgCursor(PgBackend* backend);
    ~PgCursor() override;
    PgCursor(const PgCursor&) = delete;
    PgCursor& operator=(const PgCursor&) = delete;

    // The columns of the rows, from the first result that has them.
    void setShape(const ResultData& shape);
    bool hasShape() const { return m_shaped; }
    // Takes one result of the stream (and frees it): a row is appended to the held rows.
    void take(PGresult* result);
    // Reads the next result; false once the stream has ended.
    bool readNext();
    bool streaming() const { return m_streaming; }
    const ErrorList& errors() const { return m_errors; }
    // Reads the rest of the stream into memory: the session is needed for something else.
    void readRest();
    // The session went away under the cursor: what it had not read cannot be had.
    void detach();

    bool fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) override;

private:
    void takeInto(PGresult* result, ResultData& into);
    void ended();

    PgBackend* m_backend;
    std::vector<PgCell> m_cells;
    ResultData m_held;
    MoneyForm m_money;
    ErrorList m_errors;
    bool m_shaped = false;
    bool m_streaming = true;
    bool m_rowsEnded = false;
    // Rows are read past, not kept: the cursor goes, or memory ran out.
    bool m_discard = false;
};

// Describes the columns of a result (names, types) into out.
void describePgResult(const PGresult* result, ResultData& out);
// Appends a result's rows to out, whose columns describe them.
void appendPgRows(const PGresult* result, int first, int count, const std::vector<PgCell>& cells,
                  ResultData& out, MoneyForm money);
std::vector<PgCell> pgCellsOf(const ResultData& shape);

} // namespace db
