#pragma once

#include <QtGlobal>
#include <functional>
#include <string>
#include <string_view>

// Cuts a byte stream into lines at CR LF, LF or a lone CR, whichever the file uses; the line
// ends are not part of the lines. A last line without a line end is a line too.
class LineReader {
public:
    // Fills up to maxSize bytes; returns the number read, 0 at the end, -1 on a failure.
    using Source = std::function<qint64(char* data, qint64 maxSize)>;

    explicit LineReader(Source source);

    // The next line, valid until the next call; false at the end or after a read failure.
    bool readLine(std::string_view& line);
    bool failed() const { return m_failed; }
    // The line end that closed the line before the one readLine returned last ("\r\n", "\n"
    // or "\r"): a quoted value spanning lines keeps its own line ends.
    std::string_view previousEnding() const { return m_previousEnding; }

private:
    bool fill();

    Source m_source;
    std::string m_buffer;
    size_t m_size = 0; // bytes of m_buffer read so far
    size_t m_pos = 0;  // start of the next line
    size_t m_scan = 0; // where the search for its end goes on
    bool m_end = false;
    bool m_failed = false;
    bool m_skipLf = false;             // the last line ended in a CR at the end of the buffer
    std::string_view m_ending;         // of the line returned last
    std::string_view m_previousEnding; // of the line before it
};
