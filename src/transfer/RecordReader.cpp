#include "RecordReader.h"

namespace {
constexpr char kQuote = '"';
constexpr char kBlank = ' ';

void trim(std::string_view line, size_t& pos, size_t& end) {
    while (pos < end && line[pos] == kBlank)
        ++pos;
    while (end > pos && line[end - 1] == kBlank)
        --end;
}
} // namespace

RecordReader::RecordReader(LineReader& lines, char separator)
    : m_lines(lines), m_separator(separator) {}

void RecordReader::addField(std::string_view bytes) {
    m_fields.push_back({m_text.size(), bytes.size()});
    m_text.append(bytes);
}

bool RecordReader::readQuoted(std::string_view& line, size_t& pos, size_t& end) {
    const size_t offset = m_text.size();
    size_t i = pos + 1;
    for (;;) {
        const size_t q = line.find(kQuote, i);
        if (q == std::string_view::npos || q >= end) {
            m_text.append(line.substr(i, end - i));
            std::string_view next;
            if (!m_lines.readLine(next)) {
                if (m_lines.failed()) return false;
                // The end of the file closes an open quote.
                pos = end = line.size();
                break;
            }
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
        pos = std::min(q + 2, end);
        trim(line, pos, end);
        break;
    }
    m_fields.push_back({offset, m_text.size() - offset});
    return true;
}

RecordReader::Status RecordReader::next() {
    m_text.clear();
    m_fields.clear();
    std::string_view line;
    if (!m_lines.readLine(line)) return m_lines.failed() ? ReadFailed : End;
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
            break;
        }
        addField(line.substr(pos, sep - pos));
        pos = sep + 1;
        trim(line, pos, end);
    }
    return Record;
}
