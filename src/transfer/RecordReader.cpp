#include "RecordReader.h"

namespace {
constexpr char kQuote = '"';
constexpr char kBlank = ' ';

void skipBlanks(std::string_view line, size_t& pos, size_t end) {
    while (pos < end && line[pos] == kBlank)
        ++pos;
}

void trim(std::string_view line, size_t& pos, size_t& end) {
    skipBlanks(line, pos, end);
    while (end > pos && line[end - 1] == kBlank)
        --end;
}

// The bytes of the character that starts at pos, within end: a UTF-8 lead byte with its
// continuation bytes, or a CP932 lead byte with its trail byte.
size_t characterLength(std::string_view line, size_t pos, size_t end, TextEncoding encoding) {
    const auto byte = [&line](size_t i) { return static_cast<unsigned char>(line[i]); };
    size_t n = 1;
    if (encoding == TextEncoding::Cp932) {
        const unsigned char lead = byte(pos);
        if (((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && pos + 1 < end)
            n = 2;
    } else if (byte(pos) >= 0xC0) {
        while (n < 4 && pos + n < end && (byte(pos + n) & 0xC0) == 0x80)
            ++n;
    }
    return n;
}
} // namespace

RecordReader::RecordReader(LineReader& lines, char separator, TextEncoding encoding)
    : m_lines(lines), m_separator(separator), m_encoding(encoding) {}

void RecordReader::addField(std::string_view bytes) {
    m_fields.push_back({m_text.size(), bytes.size(), false});
    m_text.append(bytes);
}

bool RecordReader::readQuoted(std::string_view& line, size_t& pos, size_t& end) {
    const size_t offset = m_text.size();
    const qint64 openedOn = m_lineNumber;
    size_t i = pos + 1;
    for (;;) {
        const size_t q = line.find(kQuote, i);
        if (q == std::string_view::npos || q >= end) {
            m_text.append(line.substr(i, end - i));
            std::string_view next;
            if (!m_lines.readLine(next)) {
                if (m_lines.failed()) return false;
                // The end of the file closes an open quote.
                m_unclosedQuoteLine = openedOn;
                pos = end = line.size();
                break;
            }
            ++m_lineNumber;
            // The value keeps the line end the file had there.
            m_text.append(m_lines.previousEnding());
            line = next;
            i = 0;
            end = line.size();
            continue;
        }
        m_text.append(line.substr(i, q - i));
        if (q + 1 < end && line[q + 1] == kQuote) {
            m_text.push_back(kQuote);
            i = q + 2;
            continue;
        }
        // Whatever follows the closing quote (normally the separator) is skipped.
        const bool separated = q + 1 < end && line[q + 1] == m_separator;
        pos = q + 1 < end ? q + 1 + characterLength(line, q + 1, end, m_encoding) : end;
        skipBlanks(line, pos, end);
        m_endsWithSeparator = separated && pos >= end;
        break;
    }
    m_fields.push_back({offset, m_text.size() - offset, true});
    return true;
}

RecordReader::Status RecordReader::next() {
    m_text.clear();
    m_fields.clear();
    m_endsWithSeparator = false;
    std::string_view line;
    if (!m_lines.readLine(line)) return m_lines.failed() ? ReadFailed : End;
    m_recordLine = ++m_lineNumber;
    size_t pos = 0, end = line.size();
    {
        size_t first = 0, last = end;
        trim(line, first, last);
        if (first == last) return BlankLine;
    }
    // The first field keeps its leading blanks: only the text after a separator is trimmed.
    while (pos < end) {
        if (line[pos] == kQuote) {
            if (!readQuoted(line, pos, end)) return ReadFailed;
            continue;
        }
        const size_t sep = line.find(m_separator, pos);
        if (sep == std::string_view::npos || sep >= end) {
            size_t first = pos, last = end;
            trim(line, first, last);
            addField(line.substr(first, last - first));
            m_endsWithSeparator = false;
            break;
        }
        addField(line.substr(pos, sep - pos));
        pos = sep + 1;
        // Only the blanks in front: the line's end may be inside a quoted value that goes on
        // over the next line, and the last field trims its own.
        skipBlanks(line, pos, end);
        m_endsWithSeparator = pos >= end;
    }
    return Record;
}
