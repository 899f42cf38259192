#include "LineReader.h"

#include <cstring>

namespace {
constexpr size_t kChunk = 256 * 1024;
}

LineReader::LineReader(Source source) : m_source(std::move(source)) {}

bool LineReader::fill() {
    // Keep only the unfinished line, then append the next chunk.
    m_size -= m_pos;
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_size);
    m_scan -= m_pos;
    m_pos = 0;
    // The buffer grows only for a longer line: a source that delivers a few bytes at a time
    // (a pipe) must not cost the clearing of a whole chunk per read.
    if (m_buffer.size() < m_size + kChunk) m_buffer.resize(m_size + kChunk);
    const qint64 got = m_source(m_buffer.data() + m_size, qint64(kChunk));
    if (got > 0) m_size += size_t(got);
    if (got < 0) m_failed = true;
    if (got <= 0) m_end = true;
    return got > 0;
}

bool LineReader::readLine(std::string_view& line) {
    if (m_failed) return false;
    for (;;) {
        if (m_skipLf && m_pos < m_size) {
            if (m_buffer[m_pos] == '\n') {
                ++m_pos;
                m_ending = "\r\n";
            }
            m_skipLf = false;
        }
        const char* data = m_buffer.data();
        const size_t size = m_size;
        size_t i = std::max(m_scan, m_pos);
        while (i < size && data[i] != '\n' && data[i] != '\r')
            ++i;
        if (i < size) {
            line = std::string_view(data + m_pos, i - m_pos);
            m_previousEnding = m_ending;
            if (data[i] == '\r') {
                if (i + 1 < size) {
                    const bool crLf = data[i + 1] == '\n';
                    m_pos = i + (crLf ? 2 : 1);
                    m_ending = crLf ? "\r\n" : "\r";
                } else {
                    m_pos = i + 1;
                    m_skipLf = true;
                    m_ending = "\r";
                }
            } else {
                m_pos = i + 1;
                m_ending = "\n";
            }
            m_scan = m_pos;
            return true;
        }
        m_scan = i;
        if (m_end) {
            if (m_failed || m_pos >= size) return false;
            line = std::string_view(data + m_pos, size - m_pos);
            m_previousEnding = m_ending;
            m_ending = {};
            m_pos = m_scan = size;
            return true;
        }
        fill();
    }
}
