#include "MariaCursor.h"

#include "MariaBackend.h"

#include <mysql.h>
#include <new>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.MariaDB");
} // namespace

void describeMariaResult(MYSQL_RES* result, ResultData& out) {
    const unsigned int n = mysql_num_fields(result);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result);
    for (unsigned int i = 0; i < n; ++i) {
        const MYSQL_FIELD& f = fields[i];
        ColumnInfo c;
        c.name = QString::fromUtf8(f.name, qsizetype(f.name_length));
        describeMariaField(f, c);
        // The server names the table and column of a plain column; an expression has none.
        c.fromExpression = f.org_table_length == 0;
        if (!c.fromExpression) {
            c.baseTable = QString::fromUtf8(f.org_table, qsizetype(f.org_table_length));
            c.baseColumn = QString::fromUtf8(f.org_name, qsizetype(f.org_name_length));
        }
        out.addColumn(std::move(c));
    }
}

void passResult(MariaBackend* backend, qint64* affected, ErrorList& errors) {
    MYSQL* conn = backend->connection();
    if (mysql_field_count(conn) == 0) {
        const my_ulonglong n = mysql_affected_rows(conn);
        if (affected && n != my_ulonglong(-1)) *affected += qint64(n);
        return;
    }
    if (MYSQL_RES* r = mysql_use_result(conn)) {
        while (mysql_fetch_row(r)) {
        }
        if (mysql_errno(conn) && errors.empty()) errors = backend->sessionErrors();
        mysql_free_result(r);
    } else if (errors.empty()) {
        errors = backend->sessionErrors();
    }
}

void readPastResults(MariaBackend* backend, ErrorList& errors, qint64* affected) {
    for (;;) {
        const int next = mysql_next_result(backend->connection());
        if (next < 0) return;
        if (next > 0) {
            if (errors.empty()) errors = backend->sessionErrors();
            return;
        }
        passResult(backend, affected, errors);
    }
}

MariaCursor::MariaCursor(MariaBackend* backend, MYSQL_STMT* stmt, const ResultData& shape)
    : MariaCursor(backend, static_cast<MYSQL_RES*>(nullptr), shape) {
    m_stmt = stmt;
    bindStatement();
}

void MariaCursor::bindStatement() {
    m_bound.assign(m_cells.size(), Bound());
    m_binds.assign(m_cells.size(), MYSQL_BIND());
    for (size_t i = 0; i < m_cells.size(); ++i) {
        Bound& b = m_bound[i];
        MYSQL_BIND& bind = m_binds[i];
        bind.length = &b.length;
        bind.is_null = &b.isNull;
        bind.error = &b.error;
        if (m_cells[i] == MariaCell::Real && m_held.columns[i].singleFloat) {
            bind.buffer_type = MYSQL_TYPE_FLOAT;
            bind.buffer = &b.real;
            continue;
        }
        // Everything else in the library's text of it, as the text protocol gives it.
        b.buffer.resize(256);
        bind.buffer_type = MYSQL_TYPE_STRING;
        bind.buffer = b.buffer.data();
        bind.buffer_length = (unsigned long)b.buffer.size();
    }
    if (mysql_stmt_bind_result(m_stmt, m_binds.data()) && m_errors.empty())
        m_errors = m_backend->statementErrors(m_stmt);
}

bool MariaCursor::readStatementRow(ResultData& into) {
    const int rc = mysql_stmt_fetch(m_stmt);
    if (rc == MYSQL_NO_DATA) return false;
    if (rc == 1) {
        if (m_errors.empty()) m_errors = m_backend->statementErrors(m_stmt);
        return false;
    }
    if (m_discard) return true;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        ColumnData& d = into.data[i];
        Bound& b = m_bound[i];
        MYSQL_BIND& bind = m_binds[i];
        if (b.isNull) {
            d.appendNull();
        } else if (bind.buffer_type == MYSQL_TYPE_FLOAT) {
            d.appendReal(double(b.real));
        } else {
            if (b.length > bind.buffer_length) {
                // Longer than any value before: read again whole, into room that stays.
                b.buffer.resize(qsizetype(b.length));
                bind.buffer = b.buffer.data();
                bind.buffer_length = b.length;
                if (mysql_stmt_fetch_column(m_stmt, &bind, unsigned(i), 0) != 0) {
                    if (m_errors.empty()) m_errors = m_backend->statementErrors(m_stmt);
                    return false;
                }
                mysql_stmt_bind_result(m_stmt, m_binds.data());
            }
            appendMariaCell(d, m_cells[i], m_forms[i], b.buffer.constData(), size_t(b.length));
        }
    }
    ++into.rows;
    return true;
}

MariaCursor::MariaCursor(MariaBackend* backend, MYSQL_RES* result, const ResultData& shape)
    : m_backend(backend), m_result(result) {
    m_held.columns = shape.columns;
    m_held.clearRows();
    for (const ColumnInfo& c : shape.columns) {
        m_cells.push_back(mariaCellOf(c));
        m_forms.push_back(c.intForm);
    }
    m_backend->streamStarted(this);
}

MariaCursor::~MariaCursor() {
    // The session stays usable: what is left of the text is read past, and not kept.
    m_discard = true;
    if (m_backend && m_streaming) {
        endRows();
        m_backend->streamEnded(this);
    }
}

void MariaCursor::detach() {
    if (m_streaming && m_errors.empty()) m_errors = {errors::sessionLostMidRead(kSource)};
    m_streaming = false;
    m_backend = nullptr;
    if (m_stmt) {
        // Closed without reading the rest: the session is closed after this.
        m_stmt->mysql = nullptr;
        mysql_stmt_close(m_stmt);
        m_stmt = nullptr;
    }
    if (m_result) {
        // Freed without reading the rest: the session is closed after this.
        m_result->handle = nullptr;
        mysql_free_result(m_result);
        m_result = nullptr;
    }
}

void MariaCursor::endRows() {
    if (m_stmt) {
        // Closing reads the rest of its rows past; a statement has no later results.
        mysql_stmt_close(m_stmt);
        m_stmt = nullptr;
        m_streaming = false;
        return;
    }
    if (m_result) {
        // Freeing a streaming result reads the rest of its rows past.
        mysql_free_result(m_result);
        m_result = nullptr;
    }
    readPastResults(m_backend, m_errors);
    m_streaming = false;
}

void MariaCursor::read(ResultData& into, size_t maxRows) {
    MYSQL* conn = m_backend->connection();
    const size_t n = m_cells.size();
    for (size_t count = 0; count < maxRows; ++count) {
        if (m_stmt) {
            if (readStatementRow(into)) continue;
            endRows();
            m_backend->streamEnded(this);
            return;
        }
        MYSQL_ROW row = mysql_fetch_row(m_result);
        if (!row) {
            if (mysql_errno(conn) && m_errors.empty()) m_errors = m_backend->sessionErrors();
            endRows();
            m_backend->streamEnded(this);
            return;
        }
        if (m_discard) continue;
        const unsigned long* lengths = mysql_fetch_lengths(m_result);
        for (size_t i = 0; i < n; ++i) {
            ColumnData& d = into.data[i];
            if (!row[i]) {
                d.appendNull();
                continue;
            }
            appendMariaCell(d, m_cells[i], m_forms[i], row[i], size_t(lengths[i]));
        }
        ++into.rows;
    }
}

void MariaCursor::readRest() {
    if (!m_streaming || !m_backend) return;
    try {
        read(m_held, size_t(-1));
    } catch (const std::bad_alloc&) {
        // The rest does not fit: the read fails, the session is freed all the same.
        m_held.clearRows();
        if (m_errors.empty()) m_errors = {errors::outOfMemory(kSource)};
        m_discard = true;
        read(m_held, size_t(-1));
    }
}

bool MariaCursor::fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) {
    done = false;
    const size_t before = out.rows;
    out.takeRowsOf(m_held);
    if (m_streaming && m_backend) {
        if (m_backend->interrupted() && m_errors.empty()) {
            // Asked to stop between two rows: the server ends the statement, the rest is
            // read past.
            m_backend->interrupt();
            m_errors = {errors::cancelled(kSource)};
            m_discard = true;
        }
        const size_t room = out.rows - before < maxRows ? maxRows - (out.rows - before) : 0;
        read(out, m_errors.empty() ? room : size_t(-1));
    }
    if (!m_streaming && !m_errors.empty()) {
        errors = m_errors;
        return m_backend ? m_backend->failed(errors) : false;
    }
    done = !m_streaming && m_held.rows == 0;
    return true;
}

} // namespace db
