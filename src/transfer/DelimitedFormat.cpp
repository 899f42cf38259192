#include "DelimitedFormat.h"

#include "db/AdoType.h"
#include "db/Recordset.h"

namespace {
bool isTextType(int type) {
    switch (type) {
    case db::adBSTR:
    case db::adChar:
    case db::adWChar:
    case db::adVarChar:
    case db::adLongVarChar:
    case db::adVarWChar:
    case db::adLongVarWChar:
        return true;
    default:
        return false;
    }
}

std::string_view trimTrailingBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}
} // namespace

bool isQuotedType(int type) {
    switch (type) {
    case db::adDate:
    case db::adDBDate:
    case db::adDBTime:
    case db::adDBTimeStamp:
        return true;
    default:
        return isTextType(type);
    }
}

// Wide text too: the ODBC drivers report most text columns as wide.
bool storesEmptyString(int type) {
    return isTextType(type);
}

QString DoubleQuotes(const QString& text) {
    return QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\""));
}

FieldFormatter::FieldFormatter(const QString& separator, TextEncoding encoding)
    : m_encoder(encoding) {
    m_encoder.append(separator, m_separator);
}

std::string_view FieldFormatter::fieldBytes(const db::Recordset& rs, int index, int type) {
    // Stored text is UTF-8 already: written as it is, it is both fastest and exact.
    if (m_encoder.encoding() == TextEncoding::Utf8 && isTextType(type)) {
        const std::string_view bytes = rs.currentBytes(index);
        // A text column may keep its values in typed storage; then only the text form serves.
        if (!bytes.empty()) return bytes;
    }
    rs.currentTextInto(index, m_text);
    m_bytes.clear();
    m_encoder.append(m_text, m_bytes);
    return m_bytes;
}

void FieldFormatter::AppendField(const db::Recordset& rs, int index, std::string& line) {
    const db::ColumnInfo& column = rs.column(index);
    const int type = column.type;
    // Every value is written as it is, but for the blanks a database fills fixed-width text
    // with. Blanks, quotes and separators are ASCII and never part of a multi-byte character
    // in UTF-8 or CP932, so the bytes can be trimmed and quoted as they are.
    if (index > 0) line += m_separator;
    if (rs.currentIsNull(index)) return;
    std::string_view text = fieldBytes(rs, index, type);
    if (column.padded) text = trimTrailingBlanks(text);
    if (!isQuotedType(type)) {
        line += text;
        return;
    }
    line += '"';
    size_t from = 0;
    for (size_t q = text.find('"'); q != std::string_view::npos; q = text.find('"', q + 1)) {
        line.append(text.substr(from, q + 1 - from));
        line += '"';
        from = q + 1;
    }
    line.append(text.substr(from));
    line += '"';
}

void FieldFormatter::appendLine(const db::Recordset& rs, std::string& out) {
    const int count = rs.FieldCount();
    // A line of nothing would be a blank line, which an import passes over: a lone Null is
    // written as "", Null again for every type but text, which takes it as the empty text.
    if (count == 1 && rs.currentIsNull(0)) {
        out += "\"\"\r\n";
        return;
    }
    for (int i = 0; i < count; ++i)
        AppendField(rs, i, out);
    out += "\r\n";
}
