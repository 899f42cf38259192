#pragma once

#include "TextEncoding.h"

#include <QString>
#include <string>
#include <string_view>

namespace db {
class Recordset;
}

// Field types whose values are written between double quotes: texts, dates and times.
bool isQuotedType(int type);
// Field types that store a quoted empty field ("") of an imported record as the empty string;
// every other empty field is Null.
bool storesEmptyString(int type);

// Every double quote doubled.
QString DoubleQuotes(const QString& text);

// Writes the rows of a record set as lines of delimited text in one encoding: every field
// in order, as it is but for the filling blanks of fixed-width text, Null as nothing (not even
// quotes, so that an empty text, "", stays apart from it), quoted types between double quotes
// with their quotes doubled, CR LF after each line.
class FieldFormatter {
public:
    FieldFormatter(const QString& separator, TextEncoding encoding);

    // Appends the text of field index of the current row; every field but the first comes
    // after the separator, so index 0 starts the line.
    void AppendField(const db::Recordset& rs, int index, std::string& line);
    // All fields of the current row and the line end.
    void appendLine(const db::Recordset& rs, std::string& out);

private:
    std::string_view fieldBytes(const db::Recordset& rs, int index, int type);

    std::string m_separator;
    TextEncoder m_encoder;
    QString m_text;
    std::string m_bytes;
};
