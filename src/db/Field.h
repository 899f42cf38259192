#pragma once

#include "Value.h"

#include <QString>

namespace db {

class Recordset;

// A field of the current row, by position; a light handle into its record set.
class Field {
public:
    Field(Recordset* rs, int index) : m_rs(rs), m_index(index) {}

    QString Name() const;
    int Type() const;
    qint64 DefinedSize() const;
    int Precision() const;
    int NumericScale() const;
    // Null, or the value's text; also the pending value while a row is being edited or added.
    Value value() const;
    // Takes a text, the empty string or Null; stored by the next Update.
    bool setValue(const Value& v) { return setValue(Value(v)); }
    bool setValue(Value&& v);

private:
    Recordset* m_rs;
    int m_index;
};

} // namespace db
