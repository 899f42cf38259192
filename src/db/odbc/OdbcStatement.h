#pragma once

#include "OdbcHandle.h"
#include "OdbcTypes.h"
#include "db/Backend.h"

#include <string>
#include <vector>

namespace db {

// Results a text may give: one for each of its statements, which are never more than its
// characters, and many more for procedures that return sets of rows. A driver that lost its
// footing may hand out "more results" for ever; past this it is stopped.
qsizetype resultBudget(const QString& sql);

// A prepared statement whose parameters are the columns of one row, or of several rows one
// after the other (an INSERT of many rows): each value is bound as its column's type, the
// same way in either case.
class OdbcStatement : public PreparedStatement {
public:
    // columns: one row's parameters. refusesNul: the driver would cut a text at a NUL.
    OdbcStatement(OdbcHandle stmt, std::vector<ColumnInfo> columns, const OdbcSessionForm& form,
                  bool refusesNul)
        : m_stmt(std::move(stmt)), m_params(std::move(columns)), m_form(form),
          m_refusesNul(refusesNul) {}

    bool select(const std::vector<Value>& values, ResultData& out, ErrorList& errors) override;
    bool execute(const std::vector<Value>& values, qint64& affected, ErrorList& errors) override;
    // Runs once with the rows' values as consecutive parameters: the statement has a row of
    // parameters for each of them.
    bool executeAll(const std::vector<std::vector<Value>>& rows, qint64& affected,
                    ErrorList& errors);

private:
    void sizeBuffers(size_t parameters);
    // Binds one row's values as the parameters from first on (0-based).
    bool bindRow(const std::vector<Value>& given, size_t first, ErrorList& errors);
    // Binds one value as parameter k (0-based), in the form its column and the driver need.
    SQLRETURN bindValue(size_t k, const ColumnInfo& c, const Value& value);
    // m_bytes[k], as they are.
    SQLRETURN bindBytes(size_t k, SQLSMALLINT sqlType, SQLSMALLINT cType);
    // Text as UTF-8, for drivers that read wide text badly.
    SQLRETURN bindUtf8(size_t k, const ColumnInfo& c, const Value& value);
    // Text (or Null) as wide characters, converted by the driver to the column's type.
    SQLRETURN bindWide(size_t k, const ColumnInfo& c, const Value& value);
    bool run(qint64& affected, ErrorList& errors);

    OdbcHandle m_stmt;
    std::vector<ColumnInfo> m_params;
    // Bound by address: sized before binding, never moved while bound.
    std::vector<std::u16string> m_texts;
    std::vector<QByteArray> m_bytes;
    std::vector<std::string> m_utf8;
    std::vector<SQLLEN> m_indicators;
    std::vector<double> m_doubles;
    std::vector<Value> m_scratch;
    OdbcSessionForm m_form;
    bool m_refusesNul;
};

} // namespace db
