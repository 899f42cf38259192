#pragma once

#include "OdbcHandle.h"
#include "OdbcTypes.h"
#include "db/Error.h"
#include "db/ResultData.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

// Describes the columns of the statement's current result.
bool describeOdbcResult(const OdbcHandle& stmt, ResultData& out, ErrorList& errors);

// Reads the rows of a statement's current result block by block: with bound row arrays
// unless a column is too long to bind or bulk is false. A bound value wider than its
// column declared is read whole from its row, so the statement never has to run again.
class OdbcRowReader {
public:
    OdbcRowReader() = default;
    ~OdbcRowReader();
    OdbcRowReader(const OdbcRowReader&) = delete;
    OdbcRowReader& operator=(const OdbcRowReader&) = delete;

    bool start(const OdbcHandle& stmt, const ResultData& out, bool bulk, ErrorList& errors,
               const OdbcSessionForm& form = {});
    // Appends at least maxRows rows (whole arrays) unless the result ends first. Stops with
    // false and no error when stop, asked before every array, says so.
    bool fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors,
               const std::function<bool()>& stop = {});
    // Unbinds the arrays; the statement can go on to its next result.
    void finish();

private:
    struct BoundColumn {
        std::unique_ptr<char[]> buffer;
        std::unique_ptr<SQLLEN[]> indicators;
    };
    bool bind(ErrorList& errors);
    bool appendArray(ResultData& out, ErrorList& errors);
    bool appendCurrentRow(ResultData& out, ErrorList& errors);

    const OdbcHandle* m_stmt = nullptr;
    std::vector<OdbcBinding> m_bindings;
    std::vector<BoundColumn> m_columns;
    bool m_bound = false;
    SQLULEN m_arrayRows = 1;
    SQLULEN m_fetched = 0;
    std::vector<SQLUSMALLINT> m_status;
    std::string m_piece;
};

// Reads every row of the current result into out (already described).
bool fetchOdbcRows(const OdbcHandle& stmt, ResultData& out, bool bulk, ErrorList& errors,
                   const OdbcSessionForm& form = {});

} // namespace db
