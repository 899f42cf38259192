#pragma once

#include "LineReader.h"
#include "TextEncoding.h"

#include <string>
#include <string_view>
#include <vector>

// Splits delimited text into records and their fields, working on bytes: the separator,
// the double quote, the blank and the line ends are ASCII, and no byte of a UTF-8 or CP932
// multi-byte character is ever one of them.
//
// A record is a line, or several when a quoted field holds line breaks (read back as CR LF).
// A field that starts with a double quote runs to the next quote that is not one of a doubled
// pair, its pairs standing for one quote; the one character after its closing quote is
// skipped, with all its bytes in the file's character set. Any other field runs to the next
// separator, unchanged. Blanks after a separator are dropped, the last field is trimmed at
// both ends, and a separator at the end of the record adds no field; blanks inside quotes are
// kept, also those at the end of a line that a quoted field goes on from. A quote left open at
// the end of the file closes there.
class RecordReader {
public:
    enum Status { Record, BlankLine, End, ReadFailed };

    RecordReader(LineReader& lines, char separator, TextEncoding encoding = TextEncoding::Utf8);

    // Reads the next line and, unless it is blank, the whole record that starts on it.
    Status next();

    int fieldCount() const { return int(m_fields.size()); }
    // The line the record read last starts on, counted from 1 with blank lines.
    qint64 recordLine() const { return m_recordLine; }
    // The line on which a quote that the end of the file closed was opened; 0 when none was.
    qint64 unclosedQuoteLine() const { return m_unclosedQuoteLine; }
    // Valid until the next call of next().
    std::string_view field(int index) const {
        const Span& s = m_fields[size_t(index)];
        return std::string_view(m_text.data() + s.offset, s.length);
    }
    // Whether the field stood between double quotes: "" is an empty text, nothing is Null.
    bool fieldQuoted(int index) const { return m_fields[size_t(index)].quoted; }
    // The record ended with a separator: what followed it was nothing, an export's Null.
    bool endsWithSeparator() const { return m_endsWithSeparator; }

private:
    struct Span {
        size_t offset;
        size_t length;
        bool quoted;
    };
    // Reads a quoted field starting at pos of line (the opening quote); moves line and pos
    // past it, to the lines that follow when it spans lines.
    bool readQuoted(std::string_view& line, size_t& pos, size_t& end);
    void addField(std::string_view bytes);

    LineReader& m_lines;
    char m_separator;
    TextEncoding m_encoding;
    std::string m_text;
    std::vector<Span> m_fields;
    qint64 m_lineNumber = 0;
    qint64 m_recordLine = 0;
    qint64 m_unclosedQuoteLine = 0;
    bool m_endsWithSeparator = false;
};
