#pragma once

#include "MariaTypes.h"
#include "db/Backend.h"

typedef struct st_mysql_res MYSQL_RES;
typedef struct st_mysql_stmt MYSQL_STMT;
typedef struct st_mysql_bind MYSQL_BIND;

namespace db {

class MariaBackend;

// The rest of a text sent to the server: the rows of its first statement that returns rows,
// as they stream in, then the results of the statements after it, which are read past.
class MariaCursor : public RowCursor {
public:
    // Takes the result whose rows stream (from mysql_use_result) and its description.
    MariaCursor(MariaBackend* backend, MYSQL_RES* result, const ResultData& shape);
    // Takes an executed statement whose rows stream in the server's binary form: only there
    // a FLOAT comes whole (its text has six digits).
    MariaCursor(MariaBackend* backend, MYSQL_STMT* stmt, const ResultData& shape);
    ~MariaCursor() override;
    MariaCursor(const MariaCursor&) = delete;
    MariaCursor& operator=(const MariaCursor&) = delete;

    bool streaming() const { return m_streaming; }
    // Reads the rest of the stream into memory: the session is needed for something else.
    void readRest();
    // The session went away under the cursor: what it had not read cannot be had.
    void detach();

    bool fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) override;

private:
    // Reads up to maxRows rows into into; at the end of the rows, the later results.
    void read(ResultData& into, size_t maxRows);
    // One row of the statement into into; false at the end of its rows.
    bool readStatementRow(ResultData& into);
    void bindStatement();
    void endRows();

    MariaBackend* m_backend;
    MYSQL_RES* m_result = nullptr;
    MYSQL_STMT* m_stmt = nullptr;
    // The statement's columns: a float, or text in a buffer that grows to the longest value.
    struct Bound {
        QByteArray buffer;
        float real = 0;
        unsigned long length = 0;
        char isNull = 0;
        char error = 0;
    };
    std::vector<Bound> m_bound;
    std::vector<MYSQL_BIND> m_binds;
    std::vector<MariaCell> m_cells;
    std::vector<IntForm> m_forms;
    ResultData m_held;
    ErrorList m_errors;
    bool m_streaming = true;
    bool m_discard = false;
};

// Adds the columns of a result (or of a prepared statement's result) to out.
void describeMariaResult(MYSQL_RES* result, ResultData& out);
// Reads the current result past: its rows, or the count of rows it changed, added to
// affected when given; the first failure lands in errors.
void passResult(MariaBackend* backend, qint64* affected, ErrorList& errors);
// The same for every result after the current one.
void readPastResults(MariaBackend* backend, ErrorList& errors, qint64* affected = nullptr);

} // namespace db
