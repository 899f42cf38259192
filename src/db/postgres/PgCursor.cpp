#include "PgCursor.h"

#include "PgBackend.h"

#include <libpq-fe.h>
#include <new>

namespace db {

void describePgResult(const PGresult* result, ResultData& out) {
    const int n = PQnfields(result);
    for (int i = 0; i < n; ++i) {
        ColumnInfo c;
        c.name = QString::fromUtf8(PQfname(result, i));
        describePgColumn(PQftype(result, i), PQfmod(result, i), c);
        // The server names the table of a plain column; an expression has none.
        c.fromExpression = PQftable(result, i) == InvalidOid;
        out.addColumn(std::move(c));
    }
}

std::vector<PgCell> pgCellsOf(const ResultData& shape) {
    std::vector<PgCell> cells;
    for (const ColumnInfo& c : shape.columns)
        cells.push_back(pgCellOf(c));
    return cells;
}

void appendPgRows(const PGresult* result, int first, int count, const std::vector<PgCell>& cells,
                  ResultData& out, MoneyForm money) {
    const int n = int(cells.size());
    for (int row = first; row < first + count; ++row) {
        for (int i = 0; i < n; ++i) {
            ColumnData& d = out.data[size_t(i)];
            if (PQgetisnull(result, row, i)) {
                d.appendNull();
                continue;
            }
            appendPgCell(d, cells[size_t(i)], out.columns[size_t(i)].intForm,
                         PQgetvalue(result, row, i), size_t(PQgetlength(result, row, i)), money);
        }
        ++out.rows;
    }
}

PgCursor::PgCursor(PgBackend* backend) : m_backend(backend), m_money(backend->moneyForm()) {
    m_backend->streamStarted(this);
}

PgCursor::~PgCursor() {
    // The session stays usable: what is left of the text is read past, and not kept.
    m_discard = true;
    if (m_backend) {
        while (readNext()) {
        }
        m_backend->streamEnded(this);
    }
}

void PgCursor::setShape(const ResultData& shape) {
    m_held.columns = shape.columns;
    m_held.clearRows();
    m_cells = pgCellsOf(shape);
    m_shaped = true;
}

void PgCursor::ended() {
    m_streaming = false;
    if (m_backend) m_backend->streamEnded(this);
}

void PgCursor::detach() {
    if (m_streaming && m_errors.empty())
        m_errors = {errors::sessionLostMidRead(QStringLiteral("Tolvan.PostgreSQL"))};
    m_streaming = false;
    m_backend = nullptr;
}

bool PgCursor::readNext() {
    if (!m_streaming || !m_backend) return false;
    PGresult* result = PQgetResult(m_backend->connection());
    if (!result) {
        ended();
        return false;
    }
    take(result);
    return true;
}

void PgCursor::take(PGresult* result) {
    takeInto(result, m_held);
}

void PgCursor::takeInto(PGresult* result, ResultData& into) {
    PGconn* conn = m_backend->connection();
    switch (PQresultStatus(result)) {
    case PGRES_SINGLE_TUPLE:
        // Rows of a later statement of the text are read past.
        if (m_shaped && !m_rowsEnded && !m_discard)
            appendPgRows(result, 0, 1, m_cells, into, m_money);
        break;
    case PGRES_TUPLES_OK:
        if (m_shaped && !m_rowsEnded && !m_discard)
            appendPgRows(result, 0, PQntuples(result), m_cells, into, m_money);
        if (m_shaped) m_rowsEnded = true;
        break;
    case PGRES_COMMAND_OK:
    case PGRES_EMPTY_QUERY:
        break;
    case PGRES_COPY_OUT: {
        // A COPY to the client among the statements: its data is read past.
        char* line = nullptr;
        while (PQgetCopyData(conn, &line, 0) > 0)
            PQfreemem(line);
        break;
    }
    case PGRES_COPY_IN:
        PQputCopyEnd(conn, "COPY FROM STDIN is not read from the query box.");
        break;
    default:
        if (m_errors.empty()) m_errors = m_backend->errorsOf(result);
        break;
    }
    PQclear(result);
}

void PgCursor::readRest() {
    try {
        while (readNext()) {
        }
    } catch (const std::bad_alloc&) {
        // The rest does not fit: the read fails, the session is freed all the same.
        m_held.clearRows();
        if (m_errors.empty()) m_errors = {errors::outOfMemory(QStringLiteral("Tolvan.PostgreSQL"))};
        m_discard = true;
        while (readNext()) {
        }
    }
}

bool PgCursor::fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) {
    done = false;
    const size_t before = out.rows;
    out.takeRowsOf(m_held);
    while (m_streaming && (out.rows - before < maxRows || !m_errors.empty())) {
        if (m_backend->interrupted() && m_errors.empty()) {
            // Asked to stop between two rows: the server ends the statement, the rest is
            // read past.
            m_backend->interrupt();
            m_errors = {errors::cancelled(QStringLiteral("Tolvan.PostgreSQL"))};
        }
        PGresult* result = PQgetResult(m_backend->connection());
        if (!result) {
            ended();
            break;
        }
        takeInto(result, out);
    }
    if (!m_streaming && !m_errors.empty()) {
        errors = m_errors;
        return m_backend ? m_backend->failed(errors) : false;
    }
    done = !m_streaming && m_held.rows == 0;
    return true;
}

} // namespace db
